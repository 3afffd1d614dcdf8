// The tables of the block codec, shared by block.cpp and block_bytes.cpp (internal to the
// encoder): the column of each position, each character's class, and the per-position
// tables the encoder and the decoder look characters up in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace screnc::blocks {

// Column (0, 1 or 2) used for the character at position i, as PICK[i mod 64].
inline constexpr std::uint8_t kPick[64] = {
    1, 2, 0, 1, 2, 0, 2, 0, 0, 2, 0, 2, 1, 0, 2, 0, 1, 0, 2, 0, 1, 1, 2, 0, 0, 2, 1, 0, 2, 0, 0, 2,
    1, 1, 0, 2, 0, 2, 0, 1, 0, 1, 1, 2, 0, 1, 0, 2, 1, 0, 2, 0, 1, 1, 2, 0, 0, 1, 1, 2, 0, 1, 0, 2,
};

// For each encoded character, the plain character it stands for in columns 0, 1, 2.
inline constexpr std::uint8_t kDecodeRows[94][4] = {
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

inline constexpr Tables kTables = make_tables();

// What the encoder writes for each character below U+0080 at each position mod 64: one
// or two output characters (`size`), the second one of an escape pair.
struct Written {
  std::uint8_t bytes[2];
};

struct EncodeTable {
  Written at[64][128]{};
  std::uint8_t size[128]{};
};

constexpr EncodeTable make_encode_table() {
  EncodeTable t{};
  for (int c = 0; c < 128; ++c) t.size[c] = kTables.cls[c] == kEscape ? 2 : 1;
  for (int pos = 0; pos < 64; ++pos) {
    for (int c = 0; c < 128; ++c) {
      Written& w = t.at[pos][c];
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

inline constexpr EncodeTable kEncode = make_encode_table();

// The plain character for each encoded byte below 0x80 at each position mod 64, or kStop
// for '@' (an escape), '<' and '>' (never in a block). Rows 64 to 79 repeat rows 0 to 15,
// so that sixteen positions from any row are sixteen rows in a row.
inline constexpr std::uint8_t kStop = 0x80;

struct DecodeTable {
  std::uint8_t at[80 * 128]{};  // row r from at + 128 * r
  // Row r; 16 bytes of any value looked up from rows r to r + 15 stay inside the table.
  constexpr const std::uint8_t* row(std::uint32_t r) const { return at + 128 * r; }
};

constexpr DecodeTable make_decode_table() {
  DecodeTable t{};
  for (int row = 0; row < 80; ++row) {
    for (int c = 0; c < 128; ++c) {
      std::uint8_t& v = t.at[128 * row + c];
      if (c == '@' || c == '<' || c == '>') v = kStop;
      else if (c == '\t' || c >= 0x20) v = kTables.decode[kPick[row & 63]][c];
      else v = static_cast<std::uint8_t>(c);
    }
  }
  return t;
}

inline constexpr DecodeTable kDecode = make_decode_table();

// Bit k set when p[k] (k below 16) stops a run that goes through the tables sixteen at a
// time: a byte from 0x80 up, '@', '<' or '>', and with kCrLf also CR and LF (what the
// encoder escapes; '@' starts the decoder's escapes, '<' and '>' are never in a block).
template <bool kCrLf>
inline unsigned stop_bits16(const unsigned char* p) {
#ifdef __SSE2__
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // '<' and '>' are the two bytes that give '>' with bit 1 set.
  const __m128i angle = _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(2)), _mm_set1_epi8('>'));
  __m128i stop = _mm_or_si128(_mm_or_si128(angle, _mm_cmpeq_epi8(v, _mm_set1_epi8('@'))), v);
  if constexpr (kCrLf)
    stop = _mm_or_si128(stop, _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                           _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
  return static_cast<unsigned>(_mm_movemask_epi8(stop));
#else
  unsigned bits = 0;
  for (unsigned k = 0; k < 16; ++k) {
    const unsigned c = p[k];
    const bool stop = c >= 0x80 || c == '@' || c == '<' || c == '>' ||
                      (kCrLf && (c == '\r' || c == '\n'));
    bits |= static_cast<unsigned>(stop) << k;
  }
  return bits;
#endif
}

// The sum of the first n (at most 16) of the sixteen bytes at p.
inline std::uint32_t sum16(const unsigned char* p, unsigned n) {
#ifdef __SSE2__
  // n bytes of 0xFF from kOnes + 16 - n on.
  alignas(16) static constexpr unsigned char kOnes[32] = {
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kOnes + 16 - n));
  const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), keep);
  const __m128i s = _mm_sad_epu8(v, _mm_setzero_si128());
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(s) + _mm_extract_epi16(s, 4));
#else
  std::uint32_t s = 0;
  for (unsigned k = 0; k < n; ++k) s += p[k];
  return s;
#endif
}

// to[k] = row[128 * k + from[k]] for k below 16: one load and one store a byte. Kept out
// of line (block_bytes.cpp): inlined where `to` is known not to overlap `from`, the
// compiler gathers the bytes into words with shifts, twice the instructions.
void look_up16(const std::uint8_t* row, const unsigned char* from, unsigned char* to);

// The sum of the bytes below 0x80 among the n at p.
inline std::uint32_t ascii_sum(const unsigned char* p, std::size_t n) {
  std::uint64_t s = 0;
  std::size_t k = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  __m128i acc = zero;
  for (; n - k >= 16; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
    const __m128i low = _mm_andnot_si128(_mm_cmplt_epi8(v, zero), v);  // 0x80 up as 0
    acc = _mm_add_epi64(acc, _mm_sad_epu8(low, zero));
  }
  alignas(16) std::uint64_t halves[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(halves), acc);
  s = halves[0] + halves[1];
#endif
  for (; k < n; ++k)
    if (p[k] < 0x80) s += p[k];
  return static_cast<std::uint32_t>(s);
}

inline constexpr char kBase64[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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

}  // namespace screnc::blocks
