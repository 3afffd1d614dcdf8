// The scanners a page's text is read with: case-insensitive literals, the next tag or
// pair of characters, a tag's attributes, language names. Templates over the text's
// code unit (bytes, or UTF-16 units); internal to the encoder (kinds.cpp).
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

#include "kinds.h"

namespace screnc::scan {

template <class C>
unsigned code(C c) {
  return static_cast<std::make_unsigned_t<C>>(c);
}

template <class C>
unsigned lower(C c) {
  const unsigned u = code(c);
  return (u >= 'A' && u <= 'Z') ? u + 32 : u;
}

template <class C>
bool is_space(C c) {
  const unsigned u = code(c);
  return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\f' || u == '\v';
}

// Whether [p, end) starts with the lower-case ASCII literal lit, in any case.
template <class C>
bool starts_ci(const C* p, const C* end, std::string_view lit) {
  if (static_cast<std::size_t>(end - p) < lit.size()) return false;
  for (std::size_t k = 0; k < lit.size(); ++k)
    if (lower(p[k]) != static_cast<unsigned char>(lit[k])) return false;
  return true;
}

template <class C>
bool equals_ci(const C* b, const C* e, std::string_view lit) {
  return static_cast<std::size_t>(e - b) == lit.size() && starts_ci(b, e, lit);
}

inline const char* find_unit(const char* p, const char* end, char c) {
  const void* hit = std::memchr(p, c, static_cast<std::size_t>(end - p));
  return hit ? static_cast<const char*>(hit) : end;
}

inline const char16_t* find_unit(const char16_t* p, const char16_t* end, char16_t c) {
  while (p < end && *p != c) ++p;
  return p;
}

// The first position of the two-character sequence ab, or end.
template <class C>
const C* find_pair(const C* p, const C* end, char a, char b) {
  while (p < end) {
    p = find_unit(p, end, static_cast<C>(a));
    if (p + 1 >= end) return end;
    if (code(p[1]) == static_cast<unsigned char>(b)) return p;
    ++p;
  }
  return end;
}

// The first "<" + lit (case-insensitive) at or after p, or end.
template <class C>
const C* find_tag_ci(const C* p, const C* end, std::string_view lit) {
  while ((p = find_unit(p, end, static_cast<C>('<'))) < end) {
    if (starts_ci(p + 1, end, lit)) return p;
    ++p;
  }
  return end;
}

template <class C>
bool all_space(const C* b, const C* e) {
  for (; b < e; ++b)
    if (!is_space(*b)) return false;
  return true;
}

// The position right after a "**Start Encode**" marker that follows a comment sign
// ("//" or "'"), or nullptr when the text has none.
template <class C>
const C* after_marker(const C* b, const C* e) {
  static constexpr std::string_view kMarker = "**start encode**";
  for (const C* p = b; (p = find_pair(p, e, '*', '*')) < e; ++p) {
    if (!starts_ci(p, e, kMarker)) continue;
    const bool slashes = p - b >= 2 && code(p[-1]) == '/' && code(p[-2]) == '/';
    const bool quote = p - b >= 1 && code(p[-1]) == '\'';
    if (slashes || quote) return p + kMarker.size();
  }
  return nullptr;
}

struct Span {
  std::size_t b = 0, e = 0;  // offsets from the tag start
  bool found = false;
};

// The attributes of a <script ...> tag (or the body of a <%@ %> directive) that matter.
template <class C>
struct Attributes {
  const C* end = nullptr;  // just past the closing '>' (tag), or at "%>" (directive)
  Span language, type, runat;
  bool src = false;
  bool server = false;  // the tag holds a <% %> block
};

// What ends a step of parse_attributes, per character below 256: bits kName and kValue
// (the end of a name, of an unquoted value) in a tag, the same shifted by kDirective in a
// directive's body, kDouble and kSingle the quotes, kLess a '<' (where a <% %> block may
// start).
namespace classes {
inline constexpr unsigned kName = 1, kValue = 2, kDirective = 2, kDouble = 16, kSingle = 32,
                          kLess = 64;
}

struct ScanClasses {
  std::uint8_t of[256]{};
};

constexpr ScanClasses make_scan_classes() {
  using namespace classes;
  ScanClasses t{};
  for (unsigned c = 0; c < 256; ++c) {
    const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    unsigned v = 0;
    if (space || c == '/' || c == '=' || c == '>') v |= kName;
    if (space || c == '>') v |= kValue;
    if (space || c == '=') v |= kName << kDirective;
    if (space) v |= kValue << kDirective;
    if (c == '"') v |= kDouble;
    if (c == '\'') v |= kSingle;
    if (c == '<') v |= kLess;
    t.of[c] = static_cast<std::uint8_t>(v);
  }
  return t;
}

inline constexpr ScanClasses kScanClasses = make_scan_classes();

template <class C>
unsigned scan_class(C c) {
  const unsigned u = code(c);
  return u < 256 ? kScanClasses.of[u] : 0;
}

// Parses attributes from p up to the '>' that closes a tag (quoted values may hold '>').
// For a directive, [p, end) is its body, up to its "%>". With server_blocks (ASP pages) a
// <% %> block anywhere in the tag is taken whole, wherever it stands: as an attribute, in
// a name, or in a quoted or unquoted value, so its '>' or quotes end nothing.
template <class C>
std::optional<Attributes<C>> parse_attributes(const C* start, const C* p, const C* end,
                                              bool directive, bool server_blocks = false) {
  Attributes<C> a;
  auto closes = [&](const C* q) { return !directive && code(*q) == '>'; };
  auto separates = [&](const C* q) { return is_space(*q) || (!directive && code(*q) == '/'); };
  auto offset = [&](const C* q) { return static_cast<std::size_t>(q - start); };
  // At a <% %> block: the position after its "%>" (end when it has none); else q itself.
  auto past_block = [&](const C* q) {
    if (!server_blocks || q + 1 >= end || code(q[0]) != '<' || code(q[1]) != '%') return q;
    a.server = true;
    const C* close = find_pair(q + 2, end, '%', '>');
    return close < end ? close + 2 : end;
  };
  // Steps over plain characters and whole blocks up to a character of a class in `stops`
  // ('<' is in none of them).
  auto scan = [&](const C* q, unsigned stops) {
    const unsigned look = server_blocks ? stops | classes::kLess : stops;
    while (q < end) {
      const unsigned cls = scan_class(*q);
      if (!(cls & look)) {
        ++q;
      } else if (cls & classes::kLess) {
        const C* next = past_block(q);
        q = next != q ? next : q + 1;
      } else {
        break;
      }
    }
    return q;
  };
  const unsigned shift = directive ? classes::kDirective : 0;
  for (;;) {
    while (p < end && separates(p)) ++p;
    if (p >= end) {
      if (!directive) return std::nullopt;
      a.end = end;
      return a;
    }
    if (closes(p)) {
      a.end = p + 1;
      return a;
    }
    const C* name = p;
    p = scan(p, classes::kName << shift);  // a separator, '=' or the tag's end
    const C* name_end = p;
    const C* q = p;
    while (q < end && is_space(*q)) ++q;
    Span value;
    if (q < end && code(*q) == '=') {
      ++q;
      while (q < end && is_space(*q)) ++q;
      if (q >= end) return std::nullopt;
      if (code(*q) == '"' || code(*q) == '\'') {
        const unsigned quote = code(*q);
        const C* close = scan(q + 1, quote == '"' ? classes::kDouble : classes::kSingle);
        if (close >= end) return std::nullopt;
        value = {offset(q + 1), offset(close), true};
        p = close + 1;
      } else {
        const C* v = q;
        q = scan(q, classes::kValue << shift);  // a space or the tag's end
        value = {offset(v), offset(q), true};
        p = q;
      }
    }
    if (name == name_end) {  // a stray '=' or quote: step over it
      if (p == name) ++p;
      continue;
    }
    Span* slot = equals_ci(name, name_end, "language") ? &a.language
                 : equals_ci(name, name_end, "type")   ? &a.type
                 : equals_ci(name, name_end, "runat")  ? &a.runat
                                                       : nullptr;
    if (slot && !slot->found) *slot = value.found ? value : Span{0, 0, true};
    if (equals_ci(name, name_end, "src")) a.src = true;
  }
}


template <class C>
bool ends_with_encode(const C* b, const C* e) {
  return e - b >= 7 && equals_ci(e - 7, e, ".encode");
}

template <class C>
Lang lang_of(const C* b, const C* e) {
  if (ends_with_encode(b, e)) e -= 7;
  if (equals_ci(b, e, "vbscript")) return Lang::VBScript;
  if (equals_ci(b, e, "jscript") || equals_ci(b, e, "javascript")) return Lang::JScript;
  return Lang::None;
}

template <class C>
Lang lang_of_type(const C* b, const C* e) {
  for (std::string_view t : {"text/javascript", "application/javascript", "text/jscript",
                             "text/ecmascript", "application/ecmascript",
                             "application/x-javascript"})
    if (equals_ci(b, e, t)) return Lang::JScript;
  if (equals_ci(b, e, "text/vbscript") || equals_ci(b, e, "text/vbs")) return Lang::VBScript;
  return Lang::None;
}

}  // namespace screnc::scan
