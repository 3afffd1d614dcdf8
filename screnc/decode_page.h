// A page (or script file) encoded by screnc, or by the classic encoder, turned back into
// the page a person wrote: every "#@~^...^#~@" block replaced by its plain text, and the
// language names the encoder marks, `JScript.Encode` and `VBScript.Encode`, turned back
// into `JScript` and `VBScript` in `<script>` tags and in the `<%@ %>` directive.
//
// The `@LANGUAGE` directive the encoder adds to an ASP page is kept, its language turned
// back (`<%@ LANGUAGE = VBScript %>`): it may as well have been in the page before, and
// dropping it could change the language a JScript page runs in. The page is kept in its
// own bytes: the same byte order mark, encoding and line ends.
//
// Standard library only, so that the run can link it to check what an encoder wrote.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text_codec.h"

namespace screnc {

struct DecodedPage {
  std::string bytes;        // the page, decoded; empty when there is an error
  std::size_t blocks = 0;   // blocks decoded
  std::size_t damaged = 0;  // "#@~^" that starts no valid block: copied as it is
  std::string error;        // why the page could not be read at all; empty on success
  bool ok() const { return error.empty(); }
  // "2 encoded blocks are damaged (...)", for a page with damaged blocks.
  std::string DamageText() const;
};

// Decodes the bytes of a whole file. A BOM decides the encoding; without one the text is
// UTF-8 when it is valid UTF-8, else `code_page` or Windows-1252 (as the encoder reads it).
// The one error is UTF-16 of odd length. A "#@~^" that starts no valid block (its length
// or checksum does not match, or an unknown escape) is copied and counted in `damaged`:
// it may be the page's own text, so whether that is a failure is the caller's call (a
// check against the source text will see a damaged block as a difference anyway).
DecodedPage DecodePage(std::string_view bytes, std::optional<Charset> code_page = std::nullopt);

// The text of a page (after its BOM) decoded as far as the text read so far decides,
// appended to out, counts added to page; returns how many bytes are done (all with
// `final`, when text reaches the end of the page). The caller gives the rest again with
// more text after it. `wide` is set when a block holds a character from U+0080 up (its
// LEN depends on cs).
std::size_t DecodePiece(std::string_view text, bool final, Charset cs, std::string& out,
                        DecodedPage& page, bool& wide);

inline constexpr std::string_view kDecodeFlag = "--decode";

// `screnc --decode [/cp page] IN OUT`: `args` without the program name. Writes OUT in
// place of any file of that name only once complete; returns the exit status, 0 or 255,
// after one line on stderr on failure ("screnc: --decode: ..."). A page with damaged
// blocks is refused: nothing is written.
int run_decode(const std::vector<std::string_view>& args, std::string* capture = nullptr);

}  // namespace screnc
