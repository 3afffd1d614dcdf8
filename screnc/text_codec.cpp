#include "text_codec.h"

#include <array>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace screnc {
namespace {

// Lead and trail byte ranges of the double-byte code pages, as Windows defines them.
struct DbcsRanges {
  std::array<bool, 256> lead{};
  std::array<bool, 256> trail{};
};

void mark(std::array<bool, 256>& set, int from, int to) {
  for (int b = from; b <= to; ++b) set[static_cast<std::size_t>(b)] = true;
}

DbcsRanges make_ranges(Charset cs) {
  DbcsRanges r;
  switch (cs) {
    case Charset::Cp932:
      mark(r.lead, 0x81, 0x9F), mark(r.lead, 0xE0, 0xFC);
      mark(r.trail, 0x40, 0x7E), mark(r.trail, 0x80, 0xFC);
      break;
    case Charset::Cp936:
      mark(r.lead, 0x81, 0xFE);
      mark(r.trail, 0x40, 0x7E), mark(r.trail, 0x80, 0xFE);
      break;
    case Charset::Cp949:
      mark(r.lead, 0x81, 0xFE);
      mark(r.trail, 0x41, 0x5A), mark(r.trail, 0x61, 0x7A), mark(r.trail, 0x81, 0xFE);
      break;
    case Charset::Cp950:
      mark(r.lead, 0x81, 0xFE);
      mark(r.trail, 0x40, 0x7E), mark(r.trail, 0xA1, 0xFE);
      break;
    default:
      break;
  }
  return r;
}

const DbcsRanges& ranges(Charset cs) {
  static const DbcsRanges k932 = make_ranges(Charset::Cp932);
  static const DbcsRanges k936 = make_ranges(Charset::Cp936);
  static const DbcsRanges k949 = make_ranges(Charset::Cp949);
  static const DbcsRanges k950 = make_ranges(Charset::Cp950);
  switch (cs) {
    case Charset::Cp932: return k932;
    case Charset::Cp936: return k936;
    case Charset::Cp949: return k949;
    default: return k950;
  }
}

// The first '<' at or after p, before the last character, for which `accept` holds; end
// when there is none. The tail the sixteen-at-a-time loops leave, and all of it elsewhere.
template <class Accept>
const char* next_lt_where(const char* p, const char* end, Accept accept) {
  for (; end - p > 1; ++p) {
    const void* hit = std::memchr(p, '<', static_cast<std::size_t>(end - p - 1));
    if (!hit) break;
    p = static_cast<const char*>(hit);
    if (accept(p)) return p;
  }
  return end;
}

}  // namespace

// The first '<' at or after p followed by `next` or by an 's' in any case (what may start
// a <script> tag), or end. Pages hold a '<' every few characters and few of them matter,
// so sixteen characters are looked at a time where the processor can.
const char* find_tag_start(const char* p, const char* end, char next) {
#ifdef __SSE2__
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i want = _mm_set1_epi8(next);
  const __m128i s = _mm_set1_epi8('s');
  const __m128i lower = _mm_set1_epi8(0x20);
  while (end - p > 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i second = _mm_or_si128(_mm_cmpeq_epi8(after, want),
                                        _mm_cmpeq_epi8(_mm_or_si128(after, lower), s));
    const auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, lt), second)));
    if (hits) return p + std::countr_zero(hits);
    p += 16;
  }
#endif
  return next_lt_where(p, end, [next](const char* at) { return at[1] == next || (at[1] | 0x20) == 's'; });
}

const char16_t* find_tag_start(const char16_t* p, const char16_t* end, char next) {
  for (; end - p > 1; ++p)
    if (p[0] == u'<' && (p[1] == static_cast<char16_t>(next) || (p[1] | 0x20) == u's')) return p;
  return end;
}

// As find_tag_start, for the '<' followed by an 's' in any case or by "%@"; a "<%" in the
// last two characters may be one.
const char* find_script_or_directive(const char* p, const char* end) {
#ifdef __SSE2__
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i s = _mm_set1_epi8('s');
  const __m128i lower = _mm_set1_epi8(0x20);
  const __m128i percent = _mm_set1_epi8('%');
  const __m128i at = _mm_set1_epi8('@');
  while (end - p >= 18) {
    const auto* v = reinterpret_cast<const __m128i*>(p);
    const __m128i here = _mm_loadu_si128(v);
    const __m128i one = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
    const __m128i directive = _mm_and_si128(_mm_cmpeq_epi8(one, percent), _mm_cmpeq_epi8(two, at));
    const __m128i second = _mm_or_si128(directive, _mm_cmpeq_epi8(_mm_or_si128(one, lower), s));
    const auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, lt), second)));
    if (hits) return p + std::countr_zero(hits);
    p += 16;
  }
#endif
  return next_lt_where(p, end, [end](const char* at) {
    return (at[1] | 0x20) == 's' || (at[1] == '%' && (end - at == 2 || at[2] == '@'));
  });
}

const char16_t* find_script_or_directive(const char16_t* p, const char16_t* end) {
  for (; end - p > 1; ++p) {
    if (p[0] != u'<') continue;
    if ((p[1] | 0x20) == u's' || (p[1] == u'%' && (end - p == 2 || p[2] == u'@'))) return p;
  }
  return end;
}

Step non_ascii_step(const unsigned char* p, const unsigned char* end, Charset cs) {
  switch (cs) {
    case Charset::Utf8: {
      // Valid UTF-8 is guaranteed by the caller for files; a stray byte counts one.
      const unsigned char b = *p;
      const std::size_t want = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      std::size_t n = 1;
      while (n < want && p + n < end && (p[n] & 0xC0) == 0x80) ++n;
      const std::uint8_t units = (want == 4 && n == 4) ? 2 : 1;
      return {static_cast<std::uint8_t>(n), units};
    }
    case Charset::Cp932:
    case Charset::Cp936:
    case Charset::Cp949:
    case Charset::Cp950: {
      const DbcsRanges& r = ranges(cs);
      if (r.lead[*p] && p + 1 < end && r.trail[p[1]]) return {2, 1};
      return {1, 1};
    }
    default:
      return {1, 1};
  }
}

std::optional<Charset> charset_from_code_page(std::string_view name) {
  int cp = 0;
  if (name.empty() || name.size() > 6) return std::nullopt;
  for (char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    cp = cp * 10 + (c - '0');
  }
  switch (cp) {
    case 65001: return Charset::Utf8;
    case 932: return Charset::Cp932;
    case 936: return Charset::Cp936;
    case 949: return Charset::Cp949;
    case 950: return Charset::Cp950;
    case 874: return Charset::SingleByte;
    default:
      if (cp >= 1250 && cp <= 1258) return Charset::SingleByte;
      return std::nullopt;
  }
}

Bom detect_bom(std::string_view b) {
  if (b.size() >= 3 && b.substr(0, 3) == std::string_view("\xEF\xBB\xBF", 3)) return Bom::Utf8;
  if (b.size() >= 2 && b.substr(0, 2) == std::string_view("\xFF\xFE", 2)) return Bom::Utf16LE;
  if (b.size() >= 2 && b.substr(0, 2) == std::string_view("\xFE\xFF", 2)) return Bom::Utf16BE;
  return Bom::None;
}

std::size_t bom_size(Bom bom) { return bom_bytes(bom).size(); }

std::string_view bom_bytes(Bom bom) {
  switch (bom) {
    case Bom::Utf8: return {"\xEF\xBB\xBF", 3};
    case Bom::Utf16LE: return {"\xFF\xFE", 2};
    case Bom::Utf16BE: return {"\xFE\xFF", 2};
    default: return {};
  }
}

namespace {

constexpr std::uint64_t kHigh = 0x8080808080808080ULL;

// The first byte at or above 0x80 in [p, end), or end. Runs of ASCII go 32 bytes at a
// time (with SSE2 the byte is found among them at once), then eight; the byte itself is
// found in its word without a loop.
const unsigned char* skip_ascii(const unsigned char* p, const unsigned char* end) {
#ifdef __SSE2__
  while (end - p >= 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(a)) |
                      static_cast<unsigned>(_mm_movemask_epi8(b)) << 16;
    if (high) return p + std::countr_zero(high);
    p += 32;
  }
#endif
  while (end - p >= 32) {
    std::uint64_t w[4];
    std::memcpy(w, p, 32);
    if ((w[0] | w[1] | w[2] | w[3]) & kHigh) break;
    p += 32;
  }
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (const std::uint64_t high = w & kHigh) {
      if constexpr (std::endian::native == std::endian::little)
        return p + std::countr_zero(high) / 8;
      else
        return p + std::countl_zero(high) / 8;
    }
    p += 8;
  }
  while (p < end && *p < 0x80) ++p;
  return p;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    p = skip_ascii(p, end);
    if (p == end) break;
    const unsigned char b = *p;
    std::size_t n;
    unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 3;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 4;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) < n) return false;
    if (p[1] < lo || p[1] > hi) return false;
    for (std::size_t k = 2; k < n; ++k)
      if ((p[k] & 0xC0) != 0x80) return false;
    p += n;
  }
  return true;
}

bool is_valid_text(std::string_view bytes, Charset cs) {
  switch (cs) {
    case Charset::Utf8: return is_valid_utf8(bytes);
    case Charset::Cp932:
    case Charset::Cp936:
    case Charset::Cp949:
    case Charset::Cp950: {
      const DbcsRanges& r = ranges(cs);
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
      const auto* end = p + bytes.size();
      for (; p < end; ++p) {
        if (!r.lead[*p]) continue;
        if (p + 1 == end || !r.trail[p[1]]) return false;
        ++p;
      }
      return true;
    }
    default: return true;
  }
}

namespace {

std::size_t utf8_length(unsigned char lead) { return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2; }

}  // namespace

bool TextCheck::feed(std::string_view piece, bool last) {
  if (!ok_) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
  std::size_t n = piece.size();
  if (cs_ == Charset::Utf8) {
    if (carried_ > 0) {  // the rest of a character cut at the end of the last piece
      const std::size_t want = utf8_length(carry_[0]);
      while (carried_ < want && n > 0) carry_[carried_++] = *p++, --n;
      if (carried_ < want) {
        if (last) ok_ = false;
        return ok_;
      }
      ok_ = is_valid_utf8({reinterpret_cast<const char*>(carry_), carried_});
      carried_ = 0;
      if (!ok_) return false;
    }
    std::size_t cut = n;
    if (!last) {  // a character whose lead byte is among the last three may go on
      for (std::size_t k = 1; k <= 3 && k <= n; ++k) {
        const unsigned char b = p[n - k];
        if (b < 0x80) break;
        if (b >= 0xC0) {
          if (utf8_length(b) > k) cut = n - k;
          break;
        }
      }
    }
    ok_ = is_valid_utf8({reinterpret_cast<const char*>(p), cut});
    for (std::size_t k = cut; k < n; ++k) carry_[carried_++] = p[k];
    return ok_;
  }
  if (cs_ == Charset::Cp932 || cs_ == Charset::Cp936 || cs_ == Charset::Cp949 ||
      cs_ == Charset::Cp950) {
    const DbcsRanges& r = ranges(cs_);
    std::size_t k = 0;
    if (carried_ > 0 && n > 0) {  // a lead byte at the end of the last piece
      carried_ = 0;
      if (!r.trail[p[0]]) return ok_ = false;
      k = 1;
    }
    for (; k < n; ++k) {
      if (!r.lead[p[k]]) continue;
      if (k + 1 == n) {
        carry_[0] = p[k];
        carried_ = 1;
        break;
      }
      if (!r.trail[p[k + 1]]) return ok_ = false;
      ++k;
    }
    if (last && carried_ > 0) ok_ = false;
    return ok_;
  }
  return true;
}

std::u16string utf16_from_bytes(std::string_view bytes, bool big_endian) {
  std::u16string text(bytes.size() / 2, u'\0');
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < text.size(); ++i, p += 2) {
    text[i] = big_endian ? static_cast<char16_t>(p[0] << 8 | p[1])
                         : static_cast<char16_t>(p[1] << 8 | p[0]);
  }
  return text;
}

void append_utf16_bytes(std::string& out, std::u16string_view text, bool big_endian) {
  const std::size_t at = out.size();
  out.resize(at + text.size() * 2);
  char* q = out.data() + at;
  for (char16_t u : text) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    *q++ = big_endian ? hi : lo;
    *q++ = big_endian ? lo : hi;
  }
}

}  // namespace screnc
