// A block of a byte page (any character set but UTF-16), written straight into the output
// string: sixteen characters a step while none of them is escaped or from U+0080 up.
#include <algorithm>
#include <bit>
#include <cstring>

#include "block.h"
#include "block_tables.h"

namespace screnc {
namespace {

using namespace blocks;

// The one output byte of a character below U+0080 that is not escaped, at each position
// mod 64; rows 64 to 79 repeat rows 0 to 15, so that sixteen positions from any row are
// sixteen rows in a row. `plain` is 1 for a byte that goes through the table.
struct ByteTable {
  std::uint8_t at[80 * 128]{};  // row r from at + 128 * r
  std::uint8_t plain[256]{};
  // Row r; 16 bytes of any value looked up from rows r to r + 15 stay inside the table.
  constexpr const std::uint8_t* row(std::uint32_t r) const { return at + 128 * r; }
};

constexpr ByteTable make_byte_table() {
  ByteTable t{};
  for (int c = 0; c < 128; ++c) {
    t.plain[c] = kTables.cls[c] == kEscape ? 0 : 1;
    for (int row = 0; row < 80; ++row)
      t.at[128 * row + c] = kTables.cls[c] == kEscape ? 0 : kEncode.at[row & 63][c].bytes[0];
  }
  return t;
}

constexpr ByteTable kBytes = make_byte_table();

// Input bytes encoded between two growths of the output; each gives at most two bytes.
constexpr std::size_t kChunk = std::size_t(16) << 10;
// Room beyond twice the input: "#@~^" and LEN, the rest of a character cut at the end of
// a chunk, the sixteen bytes a run always writes, and SUM with "^#~@".
constexpr std::size_t kSlack = 12 + 4 + 16 + 12;

}  // namespace

namespace blocks {

[[gnu::noinline]] void look_up16(const std::uint8_t* row, const unsigned char* from,
                                 unsigned char* to) {
#pragma GCC unroll 16
  for (unsigned k = 0; k < 16; ++k) to[k] = row[k * 128 + from[k]];
}

}  // namespace blocks

template <>
bool encode_block<char>(const char* begin, const char* end, Charset cs, std::string& out) {
  return encode_block(begin, end, end, cs, out);
}

bool encode_block(const char* begin, const char* end, const char* readable, Charset cs,
                  std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(begin);
  const auto* const last = reinterpret_cast<const unsigned char*>(readable);
  const auto* const e = reinterpret_cast<const unsigned char*>(end);
  const std::size_t head = out.size();
  std::uint32_t sum = 0;
  std::uint32_t pos = 0;
  std::size_t units = 0;  // what LEN counts: UTF-16 units of the body
  bool wide = false;

  std::size_t at = head;  // where the next output byte goes
  auto room = [&](std::size_t input) {
    out.resize(at + 2 * input + kSlack);
    return reinterpret_cast<unsigned char*>(out.data() + at);
  };
  unsigned char* q = room(std::min<std::size_t>(static_cast<std::size_t>(e - p), kChunk));
  std::memcpy(q, kBlockStart, 4);
  q += 12;  // LEN is written at the end
  for (;;) {
    const unsigned char* const stop = p + std::min<std::size_t>(static_cast<std::size_t>(e - p), kChunk);
    while (p < stop) {
      // A run of characters below U+0080 that are not escaped: up to sixteen at a time
      // while sixteen bytes can be read, then one at a time.
      const auto left = static_cast<std::size_t>(stop - p);
      const std::uint8_t* row = kBytes.row(pos & 63);
      std::size_t n = 0;
      if (last - p >= 16) {
        const unsigned bits = stop_bits16<true>(p);
        n = std::min<std::size_t>(bits ? static_cast<unsigned>(std::countr_zero(bits)) : 16, left);
        look_up16(row, p, q);  // 16 written, n kept
        sum += sum16(p, static_cast<unsigned>(n));
      } else {
        for (; n < left && kBytes.plain[p[n]]; ++n) {
          q[n] = row[128 * n + p[n]];
          sum += p[n];
        }
      }
      q += n, p += n, pos += static_cast<std::uint32_t>(n), units += n;
      if (p == stop || n == 16) continue;
      // The character that stopped the run: escaped or from U+0080 up.
      const unsigned c = *p;
      if (c < 0x80) {
        q[0] = '@';
        q[1] = kTables.escape[c];
        q += 2, units += 2;
        sum += c, ++pos, ++p;
      } else {
        const Step s = non_ascii_step(p, e, cs);  // may end past the chunk (kSlack)
        for (unsigned k = 0; k < s.size; ++k) *q++ = p[k];
        p += s.size, units += s.units;
        wide = true;
      }
    }
    at = static_cast<std::size_t>(reinterpret_cast<char*>(q) - out.data());
    if (p >= e) break;
    q = room(std::min<std::size_t>(static_cast<std::size_t>(e - p), kChunk));
  }
  put_base64(sum, reinterpret_cast<char*>(q));
  std::memcpy(q + 8, kBlockEnd, 4);
  out.resize(at + 12);
  put_base64(static_cast<std::uint32_t>(units), out.data() + head + 4);
  return wide;
}

}  // namespace screnc
