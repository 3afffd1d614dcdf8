// What gets encoded in each kind of file.
//
//   Plain (.js, .vbs): the whole text is one block.
//   HTML (.htm, .html, .sct): the body of each <script> element in JScript or VBScript.
//   ASP (.asp, .asa, .cdx, or any file with /e asp): every <% %> body, and the body of
//     each <script runat=server> element; the page gets a LANGUAGE directive.
//
// In every kind a "**Start Encode**" marker comment keeps the text up to and including
// it plain; the block starts with the next character.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "text_codec.h"

namespace screnc {

enum class Kind { Plain, Html, Asp };
enum class Lang { None, VBScript, JScript };

struct KindOptions {
  Kind kind = Kind::Plain;
  Lang default_lang = Lang::JScript;  // for script that names no language
  bool add_directive = true;          // ASP: add or complete the LANGUAGE directive (no /xl)
  bool crlf_after_directive = false;  // ASP: the added directive ends with CR LF, not LF
};

// ".asp" -> Asp, ".htm" -> Html, ".js" -> Plain ...; case-insensitive; nullopt if unknown.
std::optional<Kind> kind_for_extension(std::string_view ext);

// The language a plain file's extension implies when no /l is given.
Lang default_lang_for(Kind kind, std::string_view ext);

// "VBScript" / "JScript" / "JavaScript" (any case, with or without ".Encode").
Lang lang_from_name(std::string_view name);

// Takes what was written to out so far and empties out, so that a large file's output
// need not be held whole.
template <class C>
using Drain = std::function<void(std::basic_string<C>& out)>;

// Encodes the text [begin, end) as a file of the given kind, appending to out. With a
// drain, out is handed to it whenever about kDrainAt units have gathered (the caller
// drains the rest at the end).
template <class C>
void encode_text(const C* begin, const C* end, Charset cs, const KindOptions& opt,
                 std::basic_string<C>& out, const Drain<C>* drain = nullptr);

inline constexpr std::size_t kDrainAt = std::size_t(1) << 20;

// Where a page encoded piece by piece (encode_piece) stands between two pieces.
struct PageState {
  std::uint64_t offset = 0;     // units of the text before the next piece
  bool begun = false;           // ASP: the directive has been looked for
  bool has_directive = false;   // ASP: the first <% %> block is a "<%@" directive, at
  std::uint64_t directive_at = 0;
  bool directive_read = false;  // its attributes could be read
  bool language_found = false;  // it names a language: [begin, end) from its "<%@"
  std::size_t language_begin = 0, language_end = 0;
  Lang lang = Lang::None;       // the language of script that names none
  bool wide = false;            // a block held a character from U+0080 up
};

// Encodes the page's text [begin, end) as encode_text does, as far as the text read so far
// decides, appending to out; returns how many units are done. The caller gives the rest
// again, followed by more text; with `final` (end is the end of the page) all is done.
// The first piece starts at the page's text; a piece may need to be longer than the last
// one for anything to be done (the end of a tag or block is not yet in it).
template <class C>
std::size_t encode_piece(const C* begin, const C* end, bool final, Charset cs,
                         const KindOptions& opt, PageState& state, std::basic_string<C>& out,
                         const Drain<C>* drain = nullptr);

}  // namespace screnc
