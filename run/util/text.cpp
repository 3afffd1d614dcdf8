#include "run/util/text.h"

#include <cstdint>
#include <cstring>

#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

template <typename Unit>
void AppendUtf16(std::basic_string<Unit>& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<Unit>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<Unit>(0xD800 + (cp >> 10));
    out += static_cast<Unit>(0xDC00 + (cp & 0x3FF));
  }
}

template <typename Unit>
std::string Utf8FromUnits(std::basic_string_view<Unit> units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t cp = static_cast<char32_t>(units[i]) & 0xFFFF;
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size()) {
      const char32_t low = static_cast<char32_t>(units[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (cp >= 0xD800 && cp < 0xE000) cp = kReplacementCharacter;
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace

bool DecodeUtf8(std::string_view text, std::size_t at, char32_t& cp, std::size_t& length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    length = 1;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (at + length > text.size()) return false;
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byte(at + i))) return false;
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  return cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp < 0xE000);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

// Calls `each(cp, bytes, valid)` for every code point of `utf8` in turn; a byte that
// begins no valid sequence comes alone, as the replacement character with `valid` false.
template <typename Each>
void ForEachCodePoint(std::string_view utf8, Each each) {
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp;
    std::size_t n;
    const bool valid = DecodeUtf8(utf8, i, cp, n);
    if (!valid) cp = kReplacementCharacter, n = 1;
    each(cp, utf8.substr(i, n), valid);
    i += n;
  }
}

}  // namespace

namespace {
// Whether every byte is ASCII, eight at a time: most names and paths are, and need no
// decoding.
bool AllAscii(std::string_view bytes) {
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    if (word & 0x8080808080808080ULL) return false;
  }
  for (; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
  }
  return true;
}
}  // namespace

std::string ValidUtf8(std::string_view bytes) {
  if (AllAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  ForEachCodePoint(bytes, [&out](char32_t cp, std::string_view sequence, bool valid) {
    if (valid) out.append(sequence);
    else AppendUtf8(out, cp);
  });
  return out;
}

std::string Utf8FromUtf16(std::u16string_view utf16) { return Utf8FromUnits(utf16); }

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  ForEachCodePoint(utf8, [&out](char32_t cp, std::string_view, bool) { AppendUtf16(out, cp); });
  return out;
}

std::string Utf8FromWide(std::wstring_view wide) {
  if constexpr (sizeof(wchar_t) == 2) {
    return Utf8FromUnits(wide);
  } else {
    std::string out;
    for (wchar_t c : wide) {
      const auto cp = static_cast<char32_t>(c);
      AppendUtf8(out, cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000) ? kReplacementCharacter : cp);
    }
    return out;
  }
}

std::wstring WideFromUtf8(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  ForEachCodePoint(utf8, [&out](char32_t cp, std::string_view, bool) {
    if constexpr (sizeof(wchar_t) == 2) {
      AppendUtf16(out, cp);
    } else {
      out += static_cast<wchar_t>(cp);
    }
  });
  return out;
}

namespace {

// Chosen by the type of the platform's path strings; the other branch is never built.
template <typename Native>
std::string TextOf(const Native& native) {
  if constexpr (std::is_same_v<typename Native::value_type, char>) {
    return ValidUtf8(native);
  } else {
    return Utf8FromWide(native);
  }
}

template <typename Native>
Native NativeOf(std::string_view utf8) {
  if constexpr (std::is_same_v<typename Native::value_type, char>) {
    return Native(utf8);
  } else {
    return WideFromUtf8(utf8);
  }
}

}  // namespace

std::string TextOfNative(const std::filesystem::path::string_type& native) { return TextOf(native); }

std::filesystem::path::string_type NativeOfText(std::string_view utf8) {
  return NativeOf<std::filesystem::path::string_type>(utf8);
}

std::string FoldCase(std::string_view utf8) {
  if (AllAscii(utf8)) return AsciiLower(utf8);  // what the code points fold to, each
  std::string out;
  out.reserve(utf8.size());
  ForEachCodePoint(utf8, [&out](char32_t cp, std::string_view sequence, bool valid) {
    if (valid) AppendUtf8(out, FoldCase(cp));
    else out.append(sequence);  // not text: kept as it is, so distinct bytes stay distinct
  });
  return out;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) { return FoldCase(a) == FoldCase(b); }

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool IsSpace(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

std::string Trimmed(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  char32_t cp;
  std::size_t n;
  while (begin < end && DecodeUtf8(text, begin, cp, n) && IsSpace(cp)) begin += n;
  // Backwards: find the start of the last code point each time.
  while (end > begin) {
    std::size_t start = end - 1;
    while (start > begin && IsContinuation(static_cast<unsigned char>(text[start]))) --start;
    if (!DecodeUtf8(text, start, cp, n) || start + n != end || !IsSpace(cp)) break;
    end = start;
  }
  return std::string(text.substr(begin, end - begin));
}

bool ParseNumber(std::string_view text, double& value) {
  std::string s = Trimmed(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.erase(0, 1);
  }
  const std::string lower = AsciiLower(s);
  if (lower == "inf" || lower == "nan") {
    value = lower == "inf" ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    if (negative) value = -value;
    return true;
  }
  // Digits, an optional fraction, an optional exponent: nothing else.
  std::size_t i = 0, digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t expStart = j;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    if (j == expStart) return false;
    i = j;
  }
  if (i != s.size()) return false;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size() || std::isinf(value)) return false;
  if (negative) value = -value;
  return true;
}

bool ParseInt(std::string_view text, int& value) {
  const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::string s(text);
  if (!s.empty() && s[0] == '+') {
    s.erase(0, 1);
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) return false;
  }
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  return error == std::errc() && end == s.data() + s.size();
}
