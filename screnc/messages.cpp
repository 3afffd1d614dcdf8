#include "messages.h"

#include <cstdio>

#include "console_out.h"

namespace screnc {
namespace {

constexpr std::string_view kHelp =
    "Script Encoder: encodes the script in web pages and script files so that it\n"
    "cannot be read, while Windows Script Host, IIS and browsers still run it.\n"
    "\n"
    "  /?              Show this help\n"
    "  /s              Silent: print no message (a system error still gets its\n"
    "                  line on stderr)\n"
    "  /f              Overwrite the source file with the encoded one (no destination)\n"
    "  /xl             Do not add the @LANGUAGE directive at the top of .asp pages\n"
    "  /l ScriptLanguage\n"
    "                  Default script language: JScript or VBScript\n"
    "  /e DefaultExtension\n"
    "                  Encode the files as if they had this extension: asa, asp, cdx,\n"
    "                  htm, html, js, sct or vbs\n"
    "  /cp CodePage    Code page of files without a byte order mark: 1252, 65001, 932,\n"
    "                  936, 949, 950 (default: UTF-8 when the file is valid UTF-8,\n"
    "                  else 1252)\n"
    "  /nl crlf|lf     Line break after an added @LANGUAGE directive (default lf)\n"
    "  --              Everything after is a file name\n"
    "\n"
    "The source may hold the wildcards * and ? in its file name; the destination is\n"
    "then a folder. A source that exists is always taken as it is, never as a\n"
    "pattern. Switches start with / or -; a file name starting with / is never\n"
    "taken for a switch unless it is / followed by letters only (write /srv/ or use --).\n"
    "Exit status 0 when at least one file was encoded, else 255.\n"
    "\n"
    "Examples:\n"
    "  screnc test.html encode.html\n"
    "  screnc /f test.html\n"
    "  screnc /e html test.txt test1.txt\n"
    "  screnc test.asp /srv/myDir/test.asp\n"
    "  screnc *.asp /srv/myDir\n"
    "  screnc -s -f *.sct\n"
    "  screnc -e asp *.* /srv/myDir\n"
    "  screnc -e asp -xl *.inc /srv/myDir\n"
    "  screnc -l vbscript test.html encode.html\n";

std::string_view pattern(Msg id) {
  switch (id) {
    case Msg::Usage:
      return "Usage:   screnc [/?] [/s] [/f] [/xl] [/l ScriptLanguage] [/e DefaultExtension]\n"
             "\t\t<source> <destination>\n\n";
    case Msg::Unrecognized: return "Unrecognized flag: %1\n";
    case Msg::SameFile:
      return "Source and destination are the same ('%1').\nUse -f switch to override\n";
    case Msg::CannotRead: return "Cannot open file '%1' for reading\n";
    case Msg::CannotWrite: return "Cannot open file '%1' for writing\n";
    case Msg::BadFormat: return "Bad format for file '%1'\n";
    case Msg::EncoderFailed:
      return "Scripting encoder object (\"Scripting.Encoder\") failed on %1\n";
    case Msg::NoExtension:
      return "Input file (%1) does not specify a valid extension, use -e option\n";
    case Msg::SpecialFile:
      return "File %1 has a special attribute (read-only, hidden, sysytem), it will not be "
             "encoded\n";
    case Msg::MissingSource: return "Missing <source>\n";
    case Msg::MissingDestination: return "Missing <destination>\n";
    case Msg::Help: return kHelp;
    case Msg::Incomplete: return "Incomplete flag: %1\n";
  }
  return "Internal error\n";
}

}  // namespace

std::string message_text(Msg id, std::string_view arg) {
  const std::string_view p = pattern(id);
  std::string text;
  const std::size_t at = p.find("%1");
  if (at == std::string_view::npos) return std::string(p);
  text.append(p.substr(0, at)).append(arg).append(p.substr(at + 2));
  return text;
}

void Console::say(Msg id, std::string_view arg) const {
  if (silent_) return;
  put(stdout, "\n");
  put(stdout, message_text(id, arg));
}

void Console::usage(Msg id, std::string_view arg) const {
  say(Msg::Usage);
  say(id, arg);
}

void Console::system_failure(bool writing, std::string_view path, std::string_view reason) const {
  std::string line = "screnc: cannot ";
  line.append(writing ? "write '" : "read '").append(path).append("': ").append(reason);
  line += '\n';
  if (!capture_) std::fflush(stdout);
  put(stderr, line);
}

void Console::put(std::FILE* stream, std::string_view text) const {
  if (capture_) capture_->append(text);
  else write_text(stream, text);
}

}  // namespace screnc
