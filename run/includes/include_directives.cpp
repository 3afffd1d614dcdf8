#include "run/includes/include_directives.h"

#include "run/util/text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `word` (lower case ASCII) stands at `at`, letter case ignored.
bool WordAt(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - std::min(at, text.size()) < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (Lower(text[at + i]) != word[i]) return false;
  }
  return true;
}

// The first place at or after `from` where `word` (lower case ASCII) stands.
std::size_t FindWord(std::string_view text, std::size_t from, std::string_view word) {
  for (std::size_t at = text.find('<', from); at != std::string_view::npos; at = text.find('<', at + 1)) {
    if (WordAt(text, at, word)) return at;
  }
  return std::string_view::npos;
}

// A path as written: UTF-8 as it is; otherwise the bytes of a page saved in Windows-1252,
// the code page classic sites were written in, made UTF-8.
std::string PathText(std::string_view bytes) {
  if (ValidUtf8(bytes) == bytes) return std::string(bytes);
  static const char16_t kHigh[32] = {
      0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(text, byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte);
  }
  return text;
}

// The directive whose "<!--" is at `at`, if it is one; `end` is where it ends.
std::optional<IncludeDirective> DirectiveAt(std::string_view text, std::size_t at, std::size_t& end) {
  std::size_t p = SkipBlanks(text, at + 4);
  if (!WordAt(text, p, "#include")) return std::nullopt;
  p += 8;
  const std::size_t afterKeyword = SkipBlanks(text, p);
  if (afterKeyword == p) return std::nullopt;
  p = afterKeyword;
  IncludeDirective directive;
  if (WordAt(text, p, "file")) {
    p += 4;
  } else if (WordAt(text, p, "virtual")) {
    directive.isVirtual = true;
    p += 7;
  } else {
    return std::nullopt;
  }
  p = SkipBlanks(text, p);
  if (p >= text.size() || text[p] != '=') return std::nullopt;
  p = SkipBlanks(text, p + 1);
  if (p >= text.size() || text[p] != '"') return std::nullopt;
  const std::size_t close = text.find('"', p + 1);
  if (close == std::string_view::npos || close == p + 1) return std::nullopt;
  directive.path = PathText(text.substr(p + 1, close - p - 1));
  p = SkipBlanks(text, close + 1);
  if (text.substr(p, 3) != "-->") return std::nullopt;
  end = p + 3;
  return directive;
}

// Whether the tag whose "<script" is at `at` runs at the server; `tagEnd` is past its '>'.
bool ServerScriptTag(std::string_view text, std::size_t at, std::size_t& tagEnd) {
  const std::size_t close = text.find('>', at);
  tagEnd = close == std::string_view::npos ? text.size() : close + 1;
  const std::size_t nameEnd = at + 7;
  if (nameEnd >= text.size() || !(IsBlank(text[nameEnd]) || text[nameEnd] == '>')) return false;
  const std::string_view tag = text.substr(nameEnd, tagEnd - nameEnd);
  for (std::size_t p = 0; p < tag.size(); ++p) {
    if (!WordAt(tag, p, "runat") || (p > 0 && !IsBlank(tag[p - 1]))) continue;
    std::size_t v = SkipBlanks(tag, p + 5);
    if (v >= tag.size() || tag[v] != '=') continue;
    v = SkipBlanks(tag, v + 1);
    if (v < tag.size() && (tag[v] == '"' || tag[v] == '\'')) ++v;
    return WordAt(tag, v, "server");
  }
  return false;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::vector<IncludeDirective> FindIncludes(std::string_view text) {
  std::vector<IncludeDirective> found;
  std::size_t at = text.find('<');
  while (at != std::string_view::npos && at + 1 < text.size()) {
    std::size_t next = at + 1;
    if (text[at + 1] == '%') {  // server script, up to its end
      const std::size_t close = text.find("%>", at + 2);
      next = close == std::string_view::npos ? text.size() : close + 2;
    } else if (text.substr(at, 4) == "<!--") {
      std::size_t end = 0;
      if (auto directive = DirectiveAt(text, at, end)) {
        found.push_back(std::move(*directive));
        next = end;
      } else {
        next = at + 4;
      }
    } else if (WordAt(text, at, "<script")) {
      std::size_t tagEnd = 0;
      const bool server = ServerScriptTag(text, at, tagEnd);
      next = tagEnd;
      if (server) {
        const std::size_t close = FindWord(text, tagEnd, "</script");
        next = close == std::string_view::npos ? text.size() : close + 8;
      }
    }
    at = text.find('<', next);
  }
  return found;
}

std::string PageText(std::string bytes) {
  const auto starts = [&bytes](unsigned char a, unsigned char b) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == a && static_cast<unsigned char>(bytes[1]) == b;
  };
  const bool little = starts(0xFF, 0xFE);
  if (!little && !starts(0xFE, 0xFF)) return bytes;
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
    const auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
    units.push_back(static_cast<char16_t>(lo | (hi << 8)));
  }
  return Utf8FromUtf16(units);
}

void MakePageText(std::string& bytes) {
  const bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
  if (utf16) bytes = PageText(std::move(bytes));
}

std::optional<std::string> ResolveInclude(std::string_view includer, const IncludeDirective& directive) {
  std::string_view path = directive.path;
  if (path.empty() || IsSeparator(path.back())) return std::nullopt;
  if (path.size() >= 2 && path[1] == ':') return std::nullopt;  // a drive: outside the site
  std::vector<std::string_view> parts;
  if (!path.empty() && IsSeparator(path.front())) {
    if (!directive.isVirtual) return std::nullopt;  // a file path from a drive's root
    if (path.size() >= 2 && IsSeparator(path[1])) return std::nullopt;  // a UNC path
  } else {
    const std::size_t slash = includer.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : includer.substr(0, slash);
    for (std::size_t at = 0; at < folder.size();) {
      const std::size_t end = std::min(folder.find('/', at), folder.size());
      parts.push_back(folder.substr(at, end - at));
      at = end + 1;
    }
  }
  for (std::size_t at = 0; at <= path.size();) {
    std::size_t end = at;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view part = path.substr(at, end - at);
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  if (parts.empty()) return std::nullopt;
  std::string resolved;
  for (const std::string_view part : parts) {
    if (!resolved.empty()) resolved += '/';
    resolved += part;
  }
  return resolved;
}
