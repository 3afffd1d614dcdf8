// The command line of the classic tool:
//   screnc [/?] [/s] [/f] [/xl] [/l ScriptLanguage] [/e DefaultExtension] <source> <destination>
//
// A switch starts with "/" or "-" and only its second character counts, in any case
// (/silent is /s); /xl must be spelt exactly so. Two switches of this program's own:
// /cp <code page> for files without a byte order mark, /nl crlf to end an added ASP
// directive with CR LF.
//
// File names on POSIX start with "/" too, so an argument starting with "/" is a switch
// only when it is spelt as one: "/" followed by letters only, or "/?". "/srv/a.asp" and
// "/x.asp" are file names; a top-level name made of letters only ("/srv") can be given
// as "/srv/" or after "--", which ends the switches.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace screnc {

struct CommandLine {
  bool help = false;
  bool silent = false;
  bool force = false;         // /f: encode in place when there is no destination
  bool no_directive = false;  // /xl
  std::optional<std::string> language;   // /l
  std::optional<std::string> extension;  // /e, with its leading "."
  std::optional<std::string> code_page;  // /cp
  bool crlf_after_directive = false;     // /nl crlf
  std::vector<std::string> files;        // source, destination
};

enum class ParseError {
  None,
  Unrecognized,  // "Unrecognized flag: %1"
  Incomplete,    // "Incomplete flag: %1"
  TooMany,       // a third file name: usage
};

struct ParseResult {
  CommandLine line;
  ParseError error = ParseError::None;
  std::string culprit;  // the argument the error is about
};

// Parses argv[1..]. Stops at /? (help) or at the first error; `line.silent` then tells
// whether a /s came before.
ParseResult parse_command_line(const std::vector<std::string_view>& args);

}  // namespace screnc
