#include "block.h"

#include <algorithm>
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

// What the encoder writes for each character below U+0080 at each position mod 64: one
// or two output characters (`size`), the second one of an escape pair. Rows 64 to 71
// repeat rows 0 to 7, so that eight positions from any row are eight rows in a row.
struct Written {
  std::uint8_t bytes[2];
};

struct EncodeTable {
  Written at[72][128]{};
  std::uint8_t size[128]{};
};

constexpr EncodeTable make_encode_table() {
  EncodeTable t{};
  for (int c = 0; c < 128; ++c) t.size[c] = kTables.cls[c] == kEscape ? 2 : 1;
  for (int row = 0; row < 72; ++row) {
    const int pos = row & 63;
    for (int c = 0; c < 128; ++c) {
      Written& w = t.at[row][c];
      if (kTables.cls[c] == kEscape) {
        w = {{'@', kTables.escape[c]}};
      } else {
        const auto v = kTables.cls[c] == kSubstitute ? kTables.encode[kPick[pos]][c]
                                                     : static_cast<std::uint8_t>(c);
        w = {{v, 0}};
      }
    }
  }
  return t;
}

constexpr EncodeTable kEncode = make_encode_table();

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The plain character for each encoded byte at each position mod 64, or kStop for a byte
// the fast path leaves to the careful one: '@' (an escape), '<' and '>' (never in a
// block), and bytes from 0x80 up. Rows 64 to 71 repeat rows 0 to 7.
constexpr std::uint8_t kStop = 0x80;

struct DecodeTable {
  std::uint8_t at[72][256]{};
};

constexpr DecodeTable make_decode_table() {
  DecodeTable t{};
  for (int row = 0; row < 72; ++row) {
    for (int c = 0; c < 256; ++c) {
      std::uint8_t& v = t.at[row][c];
      if (c >= 0x80 || c == '@' || c == '<' || c == '>') v = kStop;
      else if (c == '\t' || c >= 0x20) v = kTables.decode[kPick[row & 63]][c];
      else v = static_cast<std::uint8_t>(c);
    }
  }
  return t;
}

constexpr DecodeTable kDecode = make_decode_table();

// The sum of the eight bytes in w, each below 0x80.
inline std::uint32_t byte_sum(std::uint64_t w) {
  constexpr std::uint64_t kEven = 0x00FF00FF00FF00FFULL;
  const std::uint64_t pairs = (w & kEven) + ((w >> 8) & kEven);
  return static_cast<std::uint32_t>((pairs * 0x0001000100010001ULL) >> 48);
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct Base64Values {
  std::int8_t of[128]{};
};

constexpr Base64Values make_base64_values() {
  Base64Values t{};
  for (auto& v : t.of) v = -1;
  for (int k = 0; k < 64; ++k) t.of[static_cast<unsigned char>(kBase64[k])] = static_cast<std::int8_t>(k);
  return t;
}

constexpr Base64Values kBase64Values = make_base64_values();

inline int base64_value(unsigned c) { return c < 128 ? kBase64Values.of[c] : -1; }

// Reads the 8-character field at p, which must be the canonical form of its value.
template <class C>
inline std::optional<std::uint32_t> read_u32(const C* p) {
  if (p[6] != C('=') || p[7] != C('=')) return std::nullopt;
  std::uint64_t bits = 0;
  int bad = 0;  // negative once a character is not base64
#pragma GCC unroll 6
  for (int k = 0; k < 6; ++k) {
    const int v = base64_value(static_cast<unsigned>(p[k]));
    bad |= v;
    bits = bits << 6 | static_cast<unsigned>(v & 63);
  }
  if (bad < 0) return std::nullopt;
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

// Decodes the block that starts at p ("#@~^") to the end of out; returns its end, or
// nullptr (out as it was). LEN counts UTF-16 units, so the body is walked until that many
// units are read. The plain text is made in a buffer on the stack and appended piece by
// piece, so that a damaged LEN never grows out by more than what was read.
//
// `short_input` is set when the answer may change with text past `end` (the block runs into
// it), `wide` when a character from U+0080 up was met, whose size depends on cs.
template <class C>
const C* decode_one(const C* p, const C* end, Charset cs, std::basic_string<C>& out,
                    bool& short_input, bool& wide) {
  using U = std::make_unsigned_t<C>;
  short_input = false;
  if (end - p < 4 + 8 + 8 + 4) {
    short_input = true;
    return nullptr;
  }
  const std::optional<std::uint32_t> len = read_u32(p + 4);
  if (!len) return nullptr;
  const C* const limit = end - 12;  // room for SUM and the trailer
  const std::size_t mark = out.size();
  const C* q = p + 12;
  constexpr std::size_t kRoom = 4096;
  C buf[kRoom];
  C* o = buf;
  C* const full = buf + kRoom - 8;  // room for the largest step: eight plain characters
  std::uint32_t sum = 0;
  std::uint32_t pos = 0;
  std::size_t units = 0;
  bool ok = true;
  while (ok && units < *len && q < limit) {
    if (o > full) {
      out.append(buf, static_cast<std::size_t>(o - buf));
      o = buf;
    }
    if constexpr (sizeof(C) == 1) {
      if (limit - q >= 8 && *len - units >= 8) {
        const std::uint8_t* row = kDecode.at[pos & 63];
        const auto* u = reinterpret_cast<const unsigned char*>(q);
        std::uint8_t plain[8];
        std::uint8_t stop = 0;
#pragma GCC unroll 8
        for (unsigned k = 0; k < 8; ++k) {
          plain[k] = row[k * 256 + u[k]];
          stop |= plain[k];
        }
        if (!(stop & kStop)) {
          std::memcpy(o, plain, 8);
          std::uint64_t w;
          std::memcpy(&w, plain, 8);
          sum += byte_sum(w);
          o += 8, q += 8, pos += 8, units += 8;
          continue;
        }
      }
    }
    const U c = static_cast<U>(*q);
    if (c >= 0x80) {
      wide = true;
      const Step s = non_ascii_step(q, limit, cs);
      for (unsigned k = 0; k < s.size; ++k) *o++ = q[k];
      q += s.size;
      units += s.units;
      continue;
    }
    C plain = static_cast<C>(c);
    if (c == '@') {
      if (q + 1 >= limit) short_input = true;
      const U e = q + 1 < limit ? static_cast<U>(q[1]) : 0;
      ok = e < 0x80 && kTables.unescape[e] != 0;
      plain = static_cast<C>(ok ? kTables.unescape[e] : 0);
      q += 2;
      units += 2;
    } else if (c == '<' || c == '>') {
      ok = false;
    } else {
      plain = static_cast<C>(kDecode.at[pos & 63][c]);
      ++q;
      ++units;
    }
    *o++ = plain;
    sum += static_cast<std::uint32_t>(static_cast<U>(plain));
    ++pos;
  }
  if (ok && units == *len && q <= limit) {
    const std::optional<std::uint32_t> sum_field = read_u32(q);
    if (sum_field && *sum_field == sum && has_literal(q + 8, end, kBlockEnd)) {
      out.append(buf, static_cast<std::size_t>(o - buf));
      return q + 12;
    }
  }
  if (ok && units < *len && q >= limit) short_input = true;
  out.resize(mark);
  return nullptr;
}

// The first "#@~^" at or after p, or end.
const char* find_block_start(const char* p, const char* end) {
  while (end - p >= 4) {
    const void* hit = std::memchr(p, '#', static_cast<std::size_t>(end - p - 3));
    if (!hit) break;
    p = static_cast<const char*>(hit);
    if (std::memcmp(p, kBlockStart, 4) == 0) return p;
    ++p;
  }
  return end;
}

const char16_t* find_block_start(const char16_t* p, const char16_t* end) {
  for (; end - p >= 4; ++p)
    if (p[0] == u'#' && p[1] == u'@' && p[2] == u'~' && p[3] == u'^') return p;
  return end;
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

namespace {

// The running state of one block's body.
struct BodyState {
  std::uint32_t sum = 0;
  std::uint32_t pos = 0;
  std::size_t units = 0;  // what LEN counts: UTF-16 units of the body
  bool wide = false;      // a character from U+0080 up was met
};

// Encodes one character at p (p < end) to q; returns the position after it.
template <class C>
const C* encode_one_char(const C* p, const C* end, Charset cs, C*& q, BodyState& st) {
  using U = std::make_unsigned_t<C>;
  const U c = static_cast<U>(*p);
  if (c < 0x80) {
    const Written& w = kEncode.at[st.pos & 63][c];
    const unsigned n = kEncode.size[c];
    q[0] = static_cast<C>(w.bytes[0]);
    if (n == 2) q[1] = static_cast<C>(w.bytes[1]);
    q += n;
    st.sum += c, ++st.pos, st.units += n;
    return p + 1;
  }
  const Step s = non_ascii_step(p, end, cs);
  for (unsigned k = 0; k < s.size; ++k) *q++ = p[k];
  st.units += s.units;
  st.wide = true;
  return p + s.size;
}

// Eight characters below U+0080 at p, bytes in w, to q: each writes its one or two
// output bytes (two are always stored, the next character's overwrites the spare one).
inline void encode_ascii8(const unsigned char* p, std::uint64_t w, char*& q, BodyState& st) {
  const Written* row = kEncode.at[st.pos & 63];
  char* o = q;
#pragma GCC unroll 8
  for (unsigned k = 0; k < 8; ++k) {
    const unsigned c = p[k];
    std::memcpy(o, row[k * 128 + c].bytes, 2);
    o += kEncode.size[c];
  }
  st.units += static_cast<std::size_t>(o - q);
  q = o;
  st.sum += byte_sum(w);
  st.pos += 8;
}

}  // namespace

// The body is made in a buffer on the stack and appended piece by piece, so that out is
// never grown by the worst case (and filled) only to be cut back. Bytes go eight at a
// time while none of the eight is at or above 0x80, escapes included; a group with such a
// byte goes one character at a time.
template <class C>
bool encode_block(const C* begin, const C* end, Charset cs, std::basic_string<C>& out) {
  constexpr std::size_t kRoom = 8192;
  constexpr std::size_t kLargestStep = 4;  // output units for one input character, at most
  C buf[kRoom];

  const std::size_t head = out.size();
  out.append({C('#'), C('@'), C('~'), C('^'), C(), C(), C(), C(), C(), C(), C(), C()});
  BodyState st;
  for (const C* p = begin; p < end;) {
    C* q = buf;
    // Room for the largest output of a group of eight, and one spare byte.
    C* const full = buf + kRoom - 8 * kLargestStep - 1;
    while (p < end && q <= full) {
      if constexpr (sizeof(C) == 1) {
        if (end - p >= 8) {
          const auto* u = reinterpret_cast<const unsigned char*>(p);
          std::uint64_t w;
          std::memcpy(&w, u, 8);
          if (!(w & kHighBits)) {
            encode_ascii8(u, w, q, st);
            p += 8;
            continue;
          }
        }
      }
      for (const C* stop = p + 8; p < stop && p < end;) p = encode_one_char(p, end, cs, q, st);
    }
    out.append(buf, static_cast<std::size_t>(q - buf));
  }
  C tail[12];
  put_base64(st.sum, tail);
  tail[8] = C('^'), tail[9] = C('#'), tail[10] = C('~'), tail[11] = C('@');
  out.append(tail, 12);
  put_base64(static_cast<std::uint32_t>(st.units), out.data() + head + 4);
  return st.wide;
}

template <class C>
DecodeResult decode_blocks(const C* begin, const C* end, Charset cs, std::basic_string<C>& out,
                           const BlockDrain<C>* drain, bool final) {
  DecodeResult r;
  const C* p = begin;
  bool short_input = false;
  while (p < end) {
    const C* hit = find_block_start(p, end);
    if (hit == end && !final) {
      // A "#@~^" may begin in the last three units.
      hit = end - std::min<std::ptrdiff_t>(end - p, 3);
      out.append(p, static_cast<std::size_t>(hit - p));
      r.done = static_cast<std::size_t>(hit - begin);
      return r;
    }
    out.append(p, static_cast<std::size_t>(hit - p));
    if (hit == end) break;
    if (const C* after = decode_one(hit, end, cs, out, short_input, r.wide)) {
      ++r.blocks;
      p = after;
    } else if (short_input && !final) {
      r.done = static_cast<std::size_t>(hit - begin);
      return r;
    } else {
      ++r.malformed;
      out.append(hit, 4);
      p = hit + 4;
    }
    if (drain && out.size() >= kBlockDrainAt) (*drain)(out);
  }
  r.done = static_cast<std::size_t>(end - begin);
  return r;
}

template bool encode_block<char>(const char*, const char*, Charset, std::string&);
template bool encode_block<char16_t>(const char16_t*, const char16_t*, Charset, std::u16string&);
template DecodeResult decode_blocks<char>(const char*, const char*, Charset, std::string&,
                                          const BlockDrain<char>*, bool);
template DecodeResult decode_blocks<char16_t>(const char16_t*, const char16_t*, Charset,
                                              std::u16string&, const BlockDrain<char16_t>*, bool);

}  // namespace screnc
