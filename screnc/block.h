// The encoded block: "#@~^" LEN BODY SUM "^#~@".
//
// LEN and SUM are 32-bit little-endian values in standard base64 (six characters and
// "=="). In BODY each character of the plain text below U+0080 is either escaped
// (CR LF < > @ become @# @& @! @* @$) or, for TAB and 0x20-0x7F, substituted through
// one of three columns picked by its position; other control characters are copied.
// Characters from U+0080 up are copied, do not move the position and are not summed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "text_codec.h"

namespace screnc {

inline constexpr char kBlockStart[] = "#@~^";
inline constexpr char kBlockEnd[] = "^#~@";

// Appends the block for the plain text [begin, end) to out; true when the text holds a
// character from U+0080 up (whose LEN depends on cs).
template <class C>
bool encode_block(const C* begin, const C* end, Charset cs, std::basic_string<C>& out);
// Bytes (block_bytes.cpp): written straight into out, sixteen characters a step.
template <>
bool encode_block<char>(const char* begin, const char* end, Charset cs, std::string& out);
// The same, where the bytes from end up to `readable` may be read too (the rest of the
// page held), so that the last characters of a block also go sixteen at a time.
bool encode_block(const char* begin, const char* end, const char* readable, Charset cs,
                  std::string& out);

struct DecodeResult {
  std::size_t blocks = 0;     // well-formed blocks replaced by their plain text
  std::size_t malformed = 0;  // "#@~^" starts that were not a valid block (copied)
  std::size_t done = 0;       // units of the input handled; the rest needs more text
  bool wide = false;          // a block's body held a character from U+0080 up
};

// Takes what was written to out so far and empties out.
template <class C>
using BlockDrain = std::function<void(std::basic_string<C>& out)>;

inline constexpr std::size_t kBlockDrainAt = std::size_t(1) << 20;

// Copies [begin, end) to out with every well-formed block replaced by its plain text.
// A block is well formed when its escapes are known and its LEN and SUM fields match.
// With a drain, out is handed to it whenever about kBlockDrainAt units have gathered (the
// caller drains the rest at the end). Without `final`, end is only where the text read so
// far stops: the scan stops (at `done`) before a block that may run past it, or before a
// "#@~^" that may begin in the last three units.
template <class C>
DecodeResult decode_blocks(const C* begin, const C* end, Charset cs, std::basic_string<C>& out,
                           const BlockDrain<C>* drain = nullptr, bool final = true);

// The base64 form of a 32-bit little-endian value, "DgAAAA==" for 14.
void base64_u32(std::uint32_t value, char out[8]);

}  // namespace screnc
