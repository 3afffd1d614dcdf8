#include "block.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

#include "block_tables.h"

namespace screnc {
namespace {

using namespace blocks;

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

// Whether the 8-character field at p is the canonical form of v (what read_u32 reads as
// v): the same test as reading it, without decoding it.
template <class C>
inline bool field_is(const C* p, std::uint32_t v) {
  C want[8];
  put_base64(v, want);
  return std::equal(want, want + 8, p);
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
  C buf[kRoom + 16];  // 16 more: zeros after what is made, for summing it whole vectors
  C* o = buf;
  C* const full = buf + kRoom - 16;  // room for the largest step: sixteen plain characters
  // In UTF-16 each plain character is added to sum as it is made. In bytes, the plain
  // characters are the bytes below 0x80 of what is made, less those copied as the second
  // byte of a double-byte character (not_summed): they are summed where they stand, once
  // made, rather than sixteen at a time as they are written (reading back bytes just
  // written one by one waits for the writes).
  std::uint32_t sum = 0;
  std::uint32_t not_summed = 0;
  auto sum_made = [&] {
    if constexpr (sizeof(C) == 1) {
      std::memset(o, 0, 16);  // o <= buf + kRoom
      sum += ascii_sum(reinterpret_cast<const unsigned char*>(buf),
                       static_cast<std::size_t>(o - buf + 15) & ~std::size_t(15));
    }
  };
  std::uint32_t pos = 0;
  std::size_t units = 0;
  bool ok = true;
  while (ok && units < *len && q < limit) {
    if (o > full) {
      sum_made();
      out.append(buf, static_cast<std::size_t>(o - buf));
      o = buf;
    }
    if constexpr (sizeof(C) == 1) {
      // A run of bytes that go through the table, up to sixteen (and no further than LEN
      // and the body can reach); the 16 bytes read may run into SUM and "^#~@".
      if (end - q >= 16) {
        const auto* u = reinterpret_cast<const unsigned char*>(q);
        const unsigned bits = stop_bits16<false>(u);
        std::size_t n = bits ? static_cast<unsigned>(std::countr_zero(bits)) : 16;
        n = std::min({n, *len - units, static_cast<std::size_t>(limit - q)});
        const std::uint8_t* row = kDecode.row(pos & 63);
        auto* v = reinterpret_cast<unsigned char*>(o);  // 16 written, n kept
        look_up16(row, u, v);
        o += n, q += n, pos += static_cast<std::uint32_t>(n), units += n;
        if (n > 0) continue;
      }
    }
    const U c = static_cast<U>(*q);
    if (c >= 0x80) {
      wide = true;
      const Step s = non_ascii_step(q, limit, cs);
      for (unsigned k = 0; k < s.size; ++k) {
        if (static_cast<U>(q[k]) < 0x80) not_summed += static_cast<U>(q[k]);
        *o++ = q[k];
      }
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
      plain = static_cast<C>(kDecode.row(pos & 63)[c]);
      ++q;
      ++units;
    }
    *o++ = plain;
    if constexpr (sizeof(C) != 1) sum += static_cast<std::uint32_t>(static_cast<U>(plain));
    ++pos;
  }
  sum_made();
  sum -= not_summed;
  if (ok && units == *len && q <= limit) {
    if (field_is(q, sum) && has_literal(q + 8, end, kBlockEnd)) {
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

}  // namespace

// UTF-16 text (a byte page goes through block_bytes.cpp). The body is made in a buffer on
// the stack and appended piece by piece, so that out is never grown by the worst case (and
// filled) only to be cut back.
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
    C* const full = buf + kRoom - kLargestStep;
    while (p < end && q <= full) p = encode_one_char(p, end, cs, q, st);
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

template bool encode_block<char16_t>(const char16_t*, const char16_t*, Charset, std::u16string&);
template DecodeResult decode_blocks<char>(const char*, const char*, Charset, std::string&,
                                          const BlockDrain<char>*, bool);
template DecodeResult decode_blocks<char16_t>(const char16_t*, const char16_t*, Charset,
                                              std::u16string&, const BlockDrain<char16_t>*, bool);

}  // namespace screnc
