#include "block.h"

#include <array>
#include <bit>
#include <cstring>
#include <optional>

namespace screnc {
namespace {

// Column (0, 1 or 2) used for the character at position i, as PICK[i mod 64].
constexpr std::uint8_t kPick[64] = {
    1, 2, 0, 1, 2, 0, 2, 0, 0, 2, 0, 2, 1, 0, 2, 0, 1, 0, 2, 0, 1, 1, 2, 0, 0, 2, 1, 0, 2, 0, 0, 2,
    1, 1, 0, 2, 0, 2, 0, 1, 0, 1, 1, 2, 0, 1, 0, 2, 1, 0, 2, 0, 1, 1, 2, 0, 0, 1, 1, 2, 0, 1, 0, 2,
};

// For each encoded character, the plain character it stands for in columns 0, 1, 2.
constexpr std::uint8_t kDecodeRows[94][4] = {
    {0x09, 0x7B, 0x57, 0x6E}, {0x20, 0x32, 0x2E, 0x2D}, {0x21, 0x30, 0x47, 0x75},
    {0x22, 0x21, 0x7A, 0x52}, {0x23, 0x29, 0x56, 0x60}, {0x24, 0x5B, 0x42, 0x71},
    {0x25, 0x38, 0x6A, 0x5E}, {0x26, 0x33, 0x2F, 0x49}, {0x27, 0x3D, 0x26, 0x5C},
    {0x28, 0x58, 0x49, 0x62}, {0x29, 0x3A, 0x41, 0x7D}, {0x2A, 0x35, 0x34, 0x29},
    {0x2B, 0x65, 0x32, 0x36}, {0x2C, 0x39, 0x5B, 0x20}, {0x2D, 0x5C, 0x76, 0x7C},
    {0x2E, 0x56, 0x72, 0x7A}, {0x2F, 0x73, 0x43, 0x7F}, {0x30, 0x66, 0x38, 0x6B},
    {0x31, 0x4E, 0x39, 0x63}, {0x32, 0x45, 0x70, 0x33}, {0x33, 0x6B, 0x45, 0x2B},
    {0x34, 0x62, 0x68, 0x68}, {0x35, 0x59, 0x71, 0x51}, {0x36, 0x78, 0x4F, 0x66},
    {0x37, 0x5E, 0x09, 0x76}, {0x38, 0x7D, 0x62, 0x31}, {0x39, 0x4A, 0x44, 0x64},
    {0x3A, 0x6D, 0x23, 0x54}, {0x3B, 0x71, 0x75, 0x43}, {0x3D, 0x60, 0x7E, 0x3A},
    {0x3F, 0x53, 0x5E, 0x7E}, {0x41, 0x42, 0x77, 0x45}, {0x42, 0x27, 0x4A, 0x2C},
    {0x43, 0x48, 0x61, 0x2A}, {0x44, 0x72, 0x5D, 0x74}, {0x45, 0x75, 0x22, 0x27},
    {0x46, 0x31, 0x4B, 0x37}, {0x47, 0x37, 0x6F, 0x44}, {0x48, 0x4D, 0x4E, 0x79},
    {0x49, 0x52, 0x3B, 0x59}, {0x4A, 0x22, 0x4C, 0x2F}, {0x4B, 0x54, 0x50, 0x6F},
    {0x4C, 0x6A, 0x67, 0x26}, {0x4D, 0x47, 0x2A, 0x72}, {0x4E, 0x64, 0x7D, 0x6A},
    {0x4F, 0x2D, 0x74, 0x39}, {0x50, 0x20, 0x54, 0x7B}, {0x51, 0x7F, 0x2B, 0x3F},
    {0x52, 0x2E, 0x2D, 0x38}, {0x53, 0x4C, 0x2C, 0x77}, {0x54, 0x5D, 0x30, 0x67},
    {0x55, 0x7E, 0x6E, 0x53}, {0x56, 0x6C, 0x6B, 0x47}, {0x57, 0x6F, 0x66, 0x34},
    {0x58, 0x79, 0x35, 0x78}, {0x59, 0x74, 0x25, 0x5D}, {0x5A, 0x43, 0x21, 0x30},
    {0x5B, 0x26, 0x64, 0x23}, {0x5C, 0x76, 0x4D, 0x5A}, {0x5D, 0x25, 0x52, 0x5B},
    {0x5E, 0x24, 0x63, 0x6C}, {0x5F, 0x2B, 0x3F, 0x48}, {0x60, 0x28, 0x7B, 0x55},
    {0x61, 0x23, 0x78, 0x70}, {0x62, 0x41, 0x29, 0x69}, {0x63, 0x34, 0x28, 0x2E},
    {0x64, 0x09, 0x73, 0x4C}, {0x65, 0x2A, 0x59, 0x21}, {0x66, 0x44, 0x33, 0x24},
    {0x67, 0x3F, 0x7F, 0x4E}, {0x68, 0x77, 0x6D, 0x50}, {0x69, 0x3B, 0x55, 0x09},
    {0x6A, 0x55, 0x53, 0x56}, {0x6B, 0x69, 0x7C, 0x73}, {0x6C, 0x61, 0x3A, 0x35},
    {0x6D, 0x63, 0x5F, 0x61}, {0x6E, 0x50, 0x65, 0x4B}, {0x6F, 0x67, 0x46, 0x58},
    {0x70, 0x51, 0x58, 0x3B}, {0x71, 0x49, 0x31, 0x57}, {0x72, 0x4F, 0x69, 0x22},
    {0x73, 0x46, 0x6C, 0x6D}, {0x74, 0x68, 0x5A, 0x4D}, {0x75, 0x7C, 0x48, 0x25},
    {0x76, 0x36, 0x27, 0x28}, {0x77, 0x70, 0x5C, 0x46}, {0x78, 0x6E, 0x3D, 0x4A},
    {0x79, 0x7A, 0x24, 0x32}, {0x7A, 0x2F, 0x79, 0x41}, {0x7B, 0x5F, 0x37, 0x3D},
    {0x7C, 0x4B, 0x60, 0x5F}, {0x7D, 0x5A, 0x51, 0x4F}, {0x7E, 0x2C, 0x20, 0x42},
    {0x7F, 0x57, 0x36, 0x65},
};

// What happens to a plain character below U+0080.
enum Class : std::uint8_t { kCopy, kSubstitute, kEscape };

struct Tables {
  std::uint8_t cls[128]{};
  std::uint8_t escape[128]{};  // second character of the escape pair
  std::uint8_t unescape[128]{};  // plain character for the second character of a pair
  std::uint8_t encode[3][128]{};
  std::uint8_t decode[3][128]{};
};

constexpr Tables make_tables() {
  Tables t{};
  for (int c = 0; c < 128; ++c) t.cls[c] = kCopy;
  for (const auto& row : kDecodeRows) {
    for (int col = 0; col < 3; ++col) {
      t.decode[col][row[0]] = row[col + 1];
      t.encode[col][row[col + 1]] = row[0];
    }
    t.cls[row[1]] = kSubstitute;  // column 0 is a permutation of the same set
  }
  const std::uint8_t escapes[5][2] = {{'\r', '#'}, {'\n', '&'}, {'<', '!'}, {'>', '*'}, {'@', '$'}};
  for (const auto& e : escapes) {
    t.cls[e[0]] = kEscape;
    t.escape[e[0]] = e[1];
    t.unescape[e[1]] = e[0];
  }
  return t;
}

constexpr Tables kTables = make_tables();

// What the encoder writes for each byte at each position mod 64: the one output character
// of a substituted or copied character, or kSpecial for a character that is escaped or at
// or above U+0080 (no output character has that bit). Rows 64 to 71 repeat rows 0 to 7,
// so that eight positions from any row are eight rows in a row.
constexpr std::uint8_t kSpecial = 0x80;

struct EncodeTable {
  std::uint8_t at[72][256]{};
};

constexpr EncodeTable make_encode_table() {
  EncodeTable t{};
  for (int row = 0; row < 72; ++row) {
    const int pos = row & 63;
    for (int c = 0; c < 256; ++c)
      t.at[row][c] = c >= 0x80 || kTables.cls[c] == kEscape ? kSpecial
                     : kTables.cls[c] == kSubstitute
                         ? kTables.encode[kPick[pos]][c]
                         : static_cast<std::uint8_t>(c);
  }
  return t;
}

constexpr EncodeTable kEncode = make_encode_table();

// The sum of the eight bytes in w, each below 0x80.
inline std::uint32_t byte_sum(std::uint64_t w) {
  constexpr std::uint64_t kEven = 0x00FF00FF00FF00FFULL;
  const std::uint64_t pairs = (w & kEven) + ((w >> 8) & kEven);
  return static_cast<std::uint32_t>((pairs * 0x0001000100010001ULL) >> 48);
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_value(unsigned c) {
  if (c >= 'A' && c <= 'Z') return static_cast<int>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0' + 52);
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Reads the 8-character field at p, which must be the canonical form of its value.
template <class C>
std::optional<std::uint32_t> read_u32(const C* p) {
  std::uint64_t bits = 0;
  for (int k = 0; k < 6; ++k) {
    const int v = base64_value(static_cast<unsigned>(p[k]));
    if (v < 0) return std::nullopt;
    bits = bits << 6 | static_cast<unsigned>(v);
  }
  if (p[6] != C('=') || p[7] != C('=')) return std::nullopt;
  if (bits & 0xF) return std::nullopt;  // 36 bits hold 32; the last four are padding
  const auto b = static_cast<std::uint32_t>(bits >> 4);
  // The field is little-endian: b holds the bytes in file order.
  return (b >> 24) | ((b >> 8) & 0xFF00) | ((b << 8) & 0xFF0000) | (b << 24);
}

template <class C>
bool has_literal(const C* p, const C* end, const char* lit) {
  const std::size_t n = std::strlen(lit);
  if (static_cast<std::size_t>(end - p) < n) return false;
  for (std::size_t k = 0; k < n; ++k)
    if (p[k] != static_cast<C>(static_cast<unsigned char>(lit[k]))) return false;
  return true;
}

// Decodes the block that starts at p ("#@~^"); returns its end, or nullptr. LEN counts
// UTF-16 units, so the body is walked until that many units are read.
template <class C>
const C* decode_one(const C* p, const C* end, Charset cs, std::basic_string<C>& out) {
  using U = std::make_unsigned_t<C>;
  if (end - p < 4 + 8 + 8 + 4) return nullptr;
  const std::optional<std::uint32_t> len = read_u32(p + 4);
  if (!len) return nullptr;
  const C* const limit = end - 12;  // room for SUM and the trailer
  const std::size_t mark = out.size();
  std::uint32_t sum = 0;
  std::uint32_t pos = 0;
  std::size_t units = 0;
  const C* q = p + 12;
  bool ok = true;
  while (ok && units < *len && q < limit) {
    const U c = static_cast<U>(*q);
    if (c >= 0x80) {
      const Step s = non_ascii_step(q, limit, cs);
      out.append(q, s.size);
      q += s.size;
      units += s.units;
      continue;
    }
    C plain = static_cast<C>(c);
    if (c == '@') {
      const U e = q + 1 < limit ? static_cast<U>(q[1]) : 0;
      ok = e < 0x80 && kTables.unescape[e] != 0;
      plain = static_cast<C>(ok ? kTables.unescape[e] : 0);
      q += 2;
      units += 2;
    } else if (c == '<' || c == '>') {
      ok = false;
    } else {
      if (c == '\t' || c >= 0x20) plain = static_cast<C>(kTables.decode[kPick[pos & 63]][c]);
      ++q;
      ++units;
    }
    out.push_back(plain);
    sum += static_cast<std::uint32_t>(static_cast<U>(plain));
    ++pos;
  }
  if (ok && units == *len && q <= limit) {
    const std::optional<std::uint32_t> sum_field = read_u32(q);
    if (sum_field && *sum_field == sum && has_literal(q + 8, end, kBlockEnd)) return q + 12;
  }
  out.resize(mark);
  return nullptr;
}

}  // namespace

// base64_u32 written straight into the output.
template <class C>
inline void put_base64(std::uint32_t v, C* out) {
  const std::uint32_t b0 = v & 0xFF, b1 = (v >> 8) & 0xFF, b2 = (v >> 16) & 0xFF, b3 = v >> 24;
  out[0] = static_cast<C>(kBase64[b0 >> 2]);
  out[1] = static_cast<C>(kBase64[((b0 & 3) << 4) | (b1 >> 4)]);
  out[2] = static_cast<C>(kBase64[((b1 & 15) << 2) | (b2 >> 6)]);
  out[3] = static_cast<C>(kBase64[b2 & 63]);
  out[4] = static_cast<C>(kBase64[b3 >> 2]);
  out[5] = static_cast<C>(kBase64[(b3 & 3) << 4]);
  out[6] = static_cast<C>('=');
  out[7] = static_cast<C>('=');
}

// Bytes in little-endian order, then standard base64 of 4 bytes: 6 chars and "==".
void base64_u32(std::uint32_t v, char out[8]) { put_base64(v, out); }

// The body is made in a buffer on the stack and appended piece by piece, so that out is
// never grown by the worst case (and filled) only to be cut back. Bytes go eight at a
// time while none of the eight is special; a group with one goes one at a time.
template <class C>
void encode_block(const C* begin, const C* end, Charset cs, std::basic_string<C>& out) {
  using U = std::make_unsigned_t<C>;
  constexpr std::size_t kRoom = 4096;
  constexpr std::size_t kLargestStep = 4;  // output units for one input character, at most
  C buf[kRoom];

  const std::size_t head = out.size();
  out.append({C('#'), C('@'), C('~'), C('^'), C(), C(), C(), C(), C(), C(), C(), C()});
  std::uint32_t sum = 0;
  std::uint32_t pos = 0;
  std::size_t units = 0;  // what LEN counts: UTF-16 units of the body
  for (const C* p = begin; p < end;) {
    C* q = buf;
    C* const full = buf + kRoom - 8 * kLargestStep;
    while (p < end && q <= full) {
      if constexpr (sizeof(C) == 1 && std::endian::native == std::endian::little) {
        if (end - p >= 8) {
          const std::uint8_t* row = kEncode.at[pos & 63];
          const auto* u = reinterpret_cast<const unsigned char*>(p);
          std::uint8_t mark = 0;
#pragma GCC unroll 8
          for (unsigned k = 0; k < 8; ++k) {
            const std::uint8_t v = row[k * 256 + u[k]];
            q[k] = static_cast<C>(v);
            mark |= v;
          }
          if (!(mark & kSpecial)) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            sum += byte_sum(w);
            pos += 8, units += 8, p += 8, q += 8;
            continue;
          }
        }
      }
      for (const C* stop = p + 8; p < stop && p < end;) {
        const U c = static_cast<U>(*p);
        const std::uint8_t v = c < 0x80 ? kEncode.at[pos & 63][c] : kSpecial;
        if (v != kSpecial) {
          *q++ = static_cast<C>(v);
          sum += c, ++pos, ++p, ++units;
        } else if (c < 0x80) {
          *q++ = static_cast<C>('@');
          *q++ = static_cast<C>(kTables.escape[c]);
          sum += c, ++pos, ++p, units += 2;
        } else {
          const Step s = non_ascii_step(p, end, cs);
          for (unsigned k = 0; k < s.size; ++k) *q++ = p[k];
          p += s.size;
          units += s.units;
        }
      }
    }
    out.append(buf, static_cast<std::size_t>(q - buf));
  }
  C tail[12];
  put_base64(sum, tail);
  tail[8] = C('^'), tail[9] = C('#'), tail[10] = C('~'), tail[11] = C('@');
  out.append(tail, 12);
  put_base64(static_cast<std::uint32_t>(units), out.data() + head + 4);
}

template <class C>
DecodeResult decode_blocks(const C* begin, const C* end, Charset cs, std::basic_string<C>& out) {
  DecodeResult r;
  const C* p = begin;
  while (p < end) {
    const C* hit = p;
    while (hit < end && !has_literal(hit, end, kBlockStart)) ++hit;
    out.append(p, static_cast<std::size_t>(hit - p));
    if (hit == end) break;
    if (const C* after = decode_one(hit, end, cs, out)) {
      ++r.blocks;
      p = after;
    } else {
      ++r.malformed;
      out.append(hit, 4);
      p = hit + 4;
    }
  }
  return r;
}

template void encode_block<char>(const char*, const char*, Charset, std::string&);
template void encode_block<char16_t>(const char16_t*, const char16_t*, Charset, std::u16string&);
template DecodeResult decode_blocks<char>(const char*, const char*, Charset, std::string&);
template DecodeResult decode_blocks<char16_t>(const char16_t*, const char16_t*, Charset,
                                              std::u16string&);

}  // namespace screnc
