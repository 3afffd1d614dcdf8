#include "run/encoder/script_regions.h"

#include "run/includes/include_directives.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::size_t npos = std::string_view::npos;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool StartsWithNoCase(std::string_view s, std::size_t at, std::string_view word) {
  if (at > s.size() || s.size() - at < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(s[at + k]) != word[k]) return false;
  return true;
}

bool EqualsNoCase(std::string_view s, std::string_view word) {
  return s.size() == word.size() && StartsWithNoCase(s, 0, word);
}

std::size_t FindNoCase(std::string_view s, std::size_t from, std::string_view word) {
  for (std::size_t at = s.find(word[0], from); at != npos; at = s.find(word[0], at + 1))
    if (StartsWithNoCase(s, at, word)) return at;
  return npos;
}

bool AllSpace(std::string_view s) {
  for (const char c : s)
    if (!IsSpace(c)) return false;
  return true;
}

char TypeFamily(std::string_view type) {
  for (std::string_view t : {"text/javascript", "application/javascript", "text/jscript", "text/ecmascript",
                             "application/ecmascript", "application/x-javascript"})
    if (EqualsNoCase(type, t)) return 'J';
  return EqualsNoCase(type, "text/vbscript") || EqualsNoCase(type, "text/vbs") ? 'V' : 0;
}

// A <script ...> tag's attributes that matter (or a directive's, up to its "%>").
struct Tag {
  std::size_t end = npos;  // past its '>'
  std::optional<std::string_view> language, type, runat;
  bool src = false;
  std::vector<ScriptScan::Span> blocks;  // the <% %> blocks inside it (ASP pages)
};

// Reads attributes from `p` to the '>' that ends the tag (or to `limit` for a directive),
// a quoted value holding '>' included; with `serverBlocks`, a <% %> block anywhere in
// the tag is taken whole, so its '>' and quotes end nothing.
Tag ParseTag(std::string_view s, std::size_t p, std::size_t limit, bool directive, bool serverBlocks) {
  Tag tag;
  const auto closes = [&](std::size_t q) { return !directive && s[q] == '>'; };
  const auto separates = [&](std::size_t q) { return IsSpace(s[q]) || (!directive && s[q] == '/'); };
  const auto pastBlock = [&](std::size_t q) {
    if (!serverBlocks || q + 1 >= limit || s[q] != '<' || s[q + 1] != '%') return q;
    const std::size_t close = s.substr(0, limit).find("%>", q + 2);
    tag.blocks.push_back({q + 2, close == npos ? limit : close});
    return close == npos ? limit : close + 2;
  };
  const auto scan = [&](std::size_t q, auto stop) {
    while (q < limit) {
      if (const std::size_t next = pastBlock(q); next != q) q = next;
      else if (stop(q)) break;
      else ++q;
    }
    return q;
  };
  for (;;) {
    while (p < limit && separates(p)) ++p;
    if (p >= limit) {
      if (directive) tag.end = limit;
      return tag;
    }
    if (closes(p)) {
      tag.end = p + 1;
      return tag;
    }
    const std::size_t name = p;
    p = scan(p, [&](std::size_t q) { return separates(q) || s[q] == '=' || closes(q); });
    const std::string_view attribute = s.substr(name, p - name);
    std::size_t q = p;
    while (q < limit && IsSpace(s[q])) ++q;
    std::string_view value;
    if (q < limit && s[q] == '=') {
      for (++q; q < limit && IsSpace(s[q]);) ++q;
      if (q >= limit) return tag;
      if (s[q] == '"' || s[q] == '\'') {
        const char quote = s[q];
        const std::size_t close = scan(q + 1, [&](std::size_t c) { return s[c] == quote; });
        if (close >= limit) return tag;
        value = s.substr(q + 1, close - q - 1);
        p = close + 1;
      } else {
        const std::size_t v = q;
        q = scan(q, [&](std::size_t c) { return IsSpace(s[c]) || closes(c); });
        value = s.substr(v, q - v);
        p = q;
      }
    }
    if (attribute.empty()) {  // a stray '=' or quote
      if (p == name) ++p;
      continue;
    }
    if (EqualsNoCase(attribute, "language") && !tag.language) tag.language = value;
    if (EqualsNoCase(attribute, "type") && !tag.type) tag.type = value;
    if (EqualsNoCase(attribute, "runat") && !tag.runat) tag.runat = value;
    if (EqualsNoCase(attribute, "src")) tag.src = true;
  }
}

class Scanner {
public:
  Scanner(std::string_view text, char defaultFamily, const std::function<void()>& progress)
      : s_(text), default_(defaultFamily), progress_(progress) {}

  ScriptScan Plain() {
    Script(0, s_.size());
    return std::move(scan_);
  }

  ScriptScan Html() {
    for (std::size_t p = s_.find('<'); p != npos; p = s_.find('<', p)) {
      if (progress_) progress_();
      if (s_.compare(p, 4, "<!--") == 0) {
        const std::size_t close = s_.find("-->", p + 4);
        p = close == npos ? s_.size() : close + 3;
      } else {
        p = ScriptElementAt(p, false);
      }
    }
    return std::move(scan_);
  }

  ScriptScan Asp() {
    std::size_t directive = npos;
    scan_.pageFamily = default_;
    if (const std::size_t first = s_.find("<%"); first != npos && s_.compare(first, 3, "<%@") == 0) {
      const std::size_t close = s_.find("%>", first + 3);
      if (close != npos) {
        directive = first;
        scan_.directive = true;
        const Tag d = ParseTag(s_, first + 3, close, true, false);
        if (d.language) scan_.pageFamily = LanguageFamily(*d.language);
        if (scan_.pageFamily) scan_.named.push_back({first, close + 2, scan_.pageFamily});
      }
    }
    for (std::size_t p = s_.find('<'); p != npos; p = s_.find('<', p)) {
      if (progress_) progress_();
      if (p + 1 < s_.size() && s_[p + 1] == '%') {
        const std::size_t close = s_.find("%>", p + 2);
        if (close == npos) {
          scan_.server.push_back({p, s_.size()});
          break;
        }
        scan_.server.push_back({p, close + 2});
        if (p != directive) ServerBlock(p + 2, close);
        p = close + 2;
      } else {
        p = ScriptElementAt(p, true);
      }
    }
    return std::move(scan_);
  }

private:
  // Script text [b, e) to be encoded, but for a "**Start Encode**" prefix.
  void Script(std::size_t b, std::size_t e) {
    for (std::size_t m = FindNoCase(s_.substr(0, e), b, "**start encode**"); m != npos;
         m = FindNoCase(s_.substr(0, e), m + 1, "**start encode**")) {
      const bool slashes = m >= b + 2 && s_[m - 1] == '/' && s_[m - 2] == '/';
      const bool quote = m >= b + 1 && s_[m - 1] == '\'';
      if (slashes || quote) {
        b = m + 16;
        break;
      }
    }
    if (b < e) scan_.regions.push_back({b, e});
  }

  void ServerBlock(std::size_t body, std::size_t close) {
    if (body == close || s_[body] == '@' || !scan_.pageFamily) return;
    if (s_[body] == '=') ++body;
    if (body < close && s_.compare(body, 4, "#@~^") != 0) Script(body, close);
  }

  // The <script> element whose '<' is at `lt`, if it is one; returns where scanning goes on.
  std::size_t ScriptElementAt(std::size_t lt, bool asp) {
    const std::size_t after = lt + 7;
    if (!StartsWithNoCase(s_, lt + 1, "script") || after >= s_.size() ||
        !(IsSpace(s_[after]) || s_[after] == '>' || s_[after] == '/'))
      return lt + 1;
    const Tag tag = ParseTag(s_, after, s_.size(), false, asp);
    if (tag.end == npos) return lt + 1;
    const bool server = tag.runat && EqualsNoCase(*tag.runat, "server");
    const std::size_t close = FindNoCase(s_, tag.end, "</script");
    if (asp && server) scan_.server.push_back({lt, close == npos ? tag.end : close});
    for (const ScriptScan::Span& block : tag.blocks) {
      if (asp && !server) scan_.server.push_back({block.begin - 2, std::min(block.end + 2, s_.size())});
      ServerBlock(block.begin, block.end);
    }
    if (asp && !server) return tag.end;  // a page's client script: its body is page text
    char family = asp ? scan_.pageFamily : default_;
    if (tag.language) {
      family = EqualsNoCase(tag.language->substr(std::max<std::size_t>(tag.language->size(), 7) - 7), ".encode")
                   ? 0
                   : LanguageFamily(*tag.language);
    } else if (tag.type) {
      family = TypeFamily(*tag.type);
    }
    if (close == npos || !family || tag.src || AllSpace(s_.substr(tag.end, close - tag.end))) return tag.end;
    scan_.named.push_back({lt, tag.end, family, close});
    Script(tag.end, close);
    return close;
  }

  std::string_view s_;
  char default_;
  const std::function<void()>& progress_;
  ScriptScan scan_;
};

}  // namespace

char LanguageFamily(std::string_view name) {
  if (name.size() >= 7 && EqualsNoCase(name.substr(name.size() - 7), ".encode")) name.remove_suffix(7);
  if (EqualsNoCase(name, "vbscript")) return 'V';
  return EqualsNoCase(name, "jscript") || EqualsNoCase(name, "javascript") ? 'J' : 0;
}

char DefaultFamily(FileKind kind, const std::string& fileName, const RunSettings& settings) {
  switch (kind) {
    case FileKind::EncodeAspPage:
    case FileKind::EncodeAspByExtension:
      return settings.AspLanguage.empty() ? 'V' : LanguageFamily(settings.AspLanguage);
    case FileKind::EncodeHtml:
      return settings.HtmlLanguage.empty() ? 'J' : LanguageFamily(settings.HtmlLanguage);
    case FileKind::EncodePlain:
      return LastExtension(fileName) == "vbs" ? 'V' : 'J';
    case FileKind::Copy: break;
  }
  return 0;
}

ScriptScan ScanScript(std::string_view text, FileKind kind, char defaultFamily, const std::function<void()>& progress) {
  Scanner scanner(text, defaultFamily, progress);
  switch (kind) {
    case FileKind::EncodePlain: return scanner.Plain();
    case FileKind::EncodeHtml: return scanner.Html();
    case FileKind::EncodeAspPage:
    case FileKind::EncodeAspByExtension: return scanner.Asp();
    case FileKind::Copy: break;
  }
  return {};
}

bool HoldsServerScript(std::string_view bytes) {
  const std::string text = PageText(std::string(bytes));
  return !ScanScript(text, FileKind::EncodeAspByExtension, 'V').regions.empty();
}
