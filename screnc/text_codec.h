// How the bytes of a file become the text the encoder works on, and back.
//
// The encoder never needs the characters above U+007F themselves: they are copied into
// the output unchanged and only counted. So a file is kept in its own code units (bytes,
// or 16-bit units for UTF-16) and this header says how many units one character spans
// and how many UTF-16 units it counts for in a block's length field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace screnc {

// The character set of the text, as far as the encoder cares.
enum class Charset : std::uint8_t {
  SingleByte,  // Windows-1252 and the other single-byte ANSI pages
  Utf8,
  Cp932,  // Shift-JIS
  Cp936,  // GBK
  Cp949,  // Unified Hangul Code
  Cp950,  // Big5
  Utf16,  // text held as char16_t
};

enum class Bom : std::uint8_t { None, Utf8, Utf16LE, Utf16BE };

// One character at or above U+0080: `size` code units in the text, `units` UTF-16 units
// in the length field.
struct Step {
  std::uint8_t size;
  std::uint8_t units;
};

// The character that starts with the byte at p (*p >= 0x80); p < end.
Step non_ascii_step(const unsigned char* p, const unsigned char* end, Charset cs);

inline Step non_ascii_step(const char* p, const char* end, Charset cs) {
  return non_ascii_step(reinterpret_cast<const unsigned char*>(p),
                        reinterpret_cast<const unsigned char*>(end), cs);
}
inline Step non_ascii_step(const char16_t*, const char16_t*, Charset) { return {1, 1}; }

// The first '<' in [p, end) followed by `next` or by an 's' in any case (what may start a
// <script> tag), or end. Pages hold a '<' every few characters and few of them matter, so
// sixteen characters are looked at a time where the processor can.
const char* find_tag_start(const char* p, const char* end, char next);
const char16_t* find_tag_start(const char16_t* p, const char16_t* end, char next);
// The same for a '<' followed by an 's' in any case or by "%@" (a <script> tag or a <%@ %>
// directive); a "<%" in the last two units may be one.
const char* find_script_or_directive(const char* p, const char* end);
const char16_t* find_script_or_directive(const char16_t* p, const char16_t* end);

// Code page chosen with the /cp switch: "1252", "65001", "932", "936", "949", "950" and
// the other single-byte Windows pages (874, 1250-1258).
std::optional<Charset> charset_from_code_page(std::string_view name);

Bom detect_bom(std::string_view bytes);
std::size_t bom_size(Bom bom);
std::string_view bom_bytes(Bom bom);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// Whether the bytes are well formed in the character set: valid UTF-8, or every lead
// byte of a double-byte page followed by a trail byte. A stray lead byte would pair with
// whatever the encoder writes after it, so such text is refused.
bool is_valid_text(std::string_view bytes, Charset cs);

// is_valid_text for a text that comes in pieces: the same answer once the last piece is
// in, whatever the cuts (a character or a pair cut in two waits for its other part).
class TextCheck {
 public:
  explicit TextCheck(Charset cs) : cs_(cs) {}
  // False from the first piece on that makes the text not well formed.
  bool feed(std::string_view piece, bool last);
  bool ok() const { return ok_; }

 private:
  Charset cs_;
  unsigned char carry_[4]{};
  std::size_t carried_ = 0;
  bool ok_ = true;
};

// UTF-16 bytes (without BOM, even length) to native units, and back.
std::u16string utf16_from_bytes(std::string_view bytes, bool big_endian);
void append_utf16_bytes(std::string& out, std::u16string_view text, bool big_endian);

}  // namespace screnc
