#include "run/util/ini_file.h"

#include "run/util/text.h"

#include <algorithm>

namespace {

bool IsIniSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsIniSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsIniSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The end of the physical line that `at` is on, after its line break.
std::size_t AfterLineBreak(const std::string& text, std::size_t at) {
  while (at < text.size() && text[at] != '\n' && text[at] != '\r') ++at;
  if (at < text.size() && text[at] == '\r') ++at;
  if (at < text.size() && text[at] == '\n') ++at;
  return at;
}

// Drops blanks and tabs at the end of `s`, but none before `limit` (those came from
// escapes or quotes).
void ChopTrailingBlanks(std::u16string& s, std::size_t limit) {
  while (s.size() > limit && (s.back() == u' ' || s.back() == u'\t')) s.pop_back();
}

}  // namespace

std::string IniEscapedValue(std::string_view value) {
  // A leading "@" marks a typed value ("@ByteArray(...)"); text that starts with one
  // doubles it.
  std::string text = value.starts_with('@') ? "@" : "";
  text.append(value);
  const std::u16string units = Utf16FromUtf8(text);
  std::string out;
  bool quote = false, escapeNextHexDigit = false;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c == u';' || c == u',' || c == u'=') quote = true;
    if (escapeNextHexDigit && c < 0x80 && IsHexDigit(static_cast<char>(c))) {
      out += "\\x";
      out += "0123456789abcdef"[(c >> 4) & 0xF];
      out += "0123456789abcdef"[c & 0xF];
      continue;
    }
    escapeNextHexDigit = false;
    switch (c) {
      case u'\0': out += "\\0"; escapeNextHexDigit = true; break;
      case u'\a': out += "\\a"; break;
      case u'\b': out += "\\b"; break;
      case u'\f': out += "\\f"; break;
      case u'\n': out += "\\n"; break;
      case u'\r': out += "\\r"; break;
      case u'\t': out += "\\t"; break;
      case u'\v': out += "\\v"; break;
      case u'"': out += "\\\""; break;
      case u'\\': out += "\\\\"; break;
      default:
        if (c <= 0x1F) {
          out += "\\x";
          if (c >= 0x10) out += "0123456789abcdef"[c >> 4];
          out += "0123456789abcdef"[c & 0xF];
          escapeNextHexDigit = true;
        } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size()) {
          out += Utf8FromUtf16(std::u16string_view(units).substr(i, 2));
          ++i;
        } else {
          out += Utf8FromUtf16(std::u16string_view(&units[i], 1));
        }
    }
  }
  if (quote || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) {
    std::string quoted(1, '"');
    quoted.append(out).append(1, '"');
    return quoted;
  }
  return out;
}

std::string IniUnescapedValue(std::string_view raw) {
  std::u16string out;
  std::size_t i = 0, chopLimit = 0;
  bool inQuotes = false, quoted = false;
  const auto skipBlanks = [&] {
    while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t')) ++i;
  };
  skipBlanks();
  while (i < raw.size()) {
    const char c = raw[i];
    if (c == '\\') {
      if (++i >= raw.size()) break;
      const char e = raw[i++];
      static constexpr std::string_view kFrom = "abfnrtv\"?'\\", kTo = "\a\b\f\n\r\t\v\"?'\\";
      if (const std::size_t k = kFrom.find(e); k != std::string_view::npos) {
        out += static_cast<char16_t>(kTo[k]);
      } else if ((e == 'x' && i < raw.size() && IsHexDigit(raw[i])) || (e >= '0' && e <= '7')) {
        const int base = e == 'x' ? 16 : 8;
        char16_t unit = e == 'x' ? 0 : static_cast<char16_t>(e - '0');
        for (int d; i < raw.size() && (d = HexValue(raw[i])) >= 0 && d < base; ++i) {
          unit = static_cast<char16_t>(unit * base + d);
        }
        out += unit;
      } else if (e == '\n' || e == '\r') {  // a line continued
        if (i < raw.size() && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e) ++i;
      }  // any other escaped character, and \x without digits, is dropped
      chopLimit = out.size();
    } else if (c == '"') {
      ++i;
      quoted = true;
      inQuotes = !inQuotes;
      if (!inQuotes) {
        skipBlanks();
        chopLimit = out.size();
      }
    } else {
      std::size_t j = i + 1;
      while (j < raw.size() && raw[j] != '\\' && raw[j] != '"') ++j;
      out += Utf16FromUtf8(raw.substr(i, j - i));
      i = j;
    }
  }
  if (!quoted) ChopTrailingBlanks(out, chopLimit);
  std::string value = Utf8FromUtf16(out);
  // Typed values: the ones a text setting can hold.
  if (value.starts_with("@@")) return value.substr(1);
  if (value.starts_with("@ByteArray(") && value.ends_with(')')) return value.substr(11, value.size() - 12);
  if (value == "@Invalid()") return {};
  return value;
}

std::string IniEscapedKey(std::string_view key) {
  std::string out;
  for (const char16_t c : Utf16FromUtf8(key)) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
        c == u'_' || c == u'-' || c == u'.') {
      out += static_cast<char>(c);
    } else if (c == u'/') {
      out += '\\';
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += c <= 0xFF ? "%" : "%U";
      if (c > 0xFF) out += {kHex[c >> 12], kHex[(c >> 8) & 0xF]};
      out += {kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
    }
  }
  return out;
}

std::string IniUnescapedKey(std::string_view raw) {
  std::u16string out;
  const std::u16string units = Utf16FromUtf8(raw);
  for (std::size_t i = 0; i < units.size();) {
    const char16_t c = units[i];
    if (c == u'\\') {
      out += u'/';
      ++i;
      continue;
    }
    const bool wide = c == u'%' && i + 1 < units.size() && units[i + 1] == u'U';
    const std::size_t digits = wide ? 4 : 2, first = i + (wide ? 2 : 1);
    char16_t value = 0;
    bool ok = c == u'%' && first + digits <= units.size();
    for (std::size_t k = 0; ok && k < digits; ++k) {
      const char16_t d = units[first + k];
      const int h = d < 0x80 ? HexValue(static_cast<char>(d)) : -1;
      ok = h >= 0;
      value = static_cast<char16_t>(value * 16 + h);
    }
    if (ok) {
      out += value;
      i = first + digits;
    } else {
      out += c;
      ++i;
    }
  }
  return Utf8FromUtf16(out);
}

IniDocument::IniDocument(std::string text) : text_(std::move(text)) { Parse(); }

// Lines as Qt's reader splits them: a line break inside double quotes or after a
// backslash does not end a line, and ";" outside quotes starts a comment.
void IniDocument::Parse() {
  lines_.clear();
  wellFormed_ = true;
  std::string section;
  std::size_t pos = text_.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (;;) {
    while (pos < text_.size() && IsIniSpace(text_[pos])) ++pos;
    if (pos >= text_.size()) break;
    if (text_[pos] == ';') {  // a comment line
      pos = AfterLineBreak(text_, pos);
      continue;
    }
    Line line{Line::Kind::Entry, pos, pos, pos, {}, {}, std::string::npos};
    bool inQuotes = false;
    std::size_t i = pos;
    for (; i < text_.size(); ++i) {
      const char c = text_[i];
      if (c == '"') {
        inQuotes = !inQuotes;
      } else if (c == '\\') {
        if (i + 1 < text_.size()) ++i;
        if (i + 1 < text_.size() && ((text_[i] == '\n' && text_[i + 1] == '\r') || (text_[i] == '\r' && text_[i + 1] == '\n'))) ++i;
      } else if (!inQuotes && (c == '\n' || c == '\r' || c == ';')) {
        break;
      } else if (c == '=' && !inQuotes && line.equals == std::string::npos) {
        line.equals = i;
      }
    }
    line.end = i;
    line.next = AfterLineBreak(text_, i);
    const std::string_view body(text_.data() + line.begin, line.end - line.begin);
    if (body.starts_with('[')) {
      const std::size_t close = body.find(']');
      if (close == std::string_view::npos) wellFormed_ = false;
      const std::string_view raw = TrimBlanks(body.substr(1, close == std::string_view::npos ? body.npos : close - 1));
      line.kind = Line::Kind::Section;
      if (AsciiLower(raw) == "general") line.name.clear();
      else if (AsciiLower(raw) == "%general") line.name = std::string(raw.substr(1));
      else line.name = IniUnescapedKey(raw);
      section = line.name;
    } else if (line.equals == std::string::npos) {
      line.kind = Line::Kind::Bad;
    } else {
      line.name = IniUnescapedKey(TrimBlanks(std::string_view(text_).substr(line.begin, line.equals - line.begin)));
      line.section = section;
    }
    lines_.push_back(std::move(line));
    pos = lines_.back().next;
  }
}

std::vector<std::size_t> IniDocument::EntriesOf(std::string_view section, std::string_view key) const {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.kind == Line::Kind::Entry && EqualIgnoringCase(l.section, section) && EqualIgnoringCase(l.name, key)) {
      found.push_back(i);
    }
  }
  return found;
}

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const {
  const std::vector<std::size_t> found = EntriesOf(section, key);
  if (found.empty()) return std::nullopt;
  // The exact spelling, else the first spelling in byte order; of one spelling, the
  // last line.
  std::string use = lines_[found.front()].name;
  for (std::size_t i : found) {
    if (lines_[i].name == key) use = lines_[i].name;
    else if (use != key && lines_[i].name < use) use = lines_[i].name;
  }
  for (auto it = found.rbegin(); it != found.rend(); ++it) {
    const Line& l = lines_[*it];
    if (l.name == use) return IniUnescapedValue(std::string_view(text_).substr(l.equals + 1, l.end - l.equals - 1));
  }
  return std::nullopt;
}

std::string IniDocument::LineBreak() const {
  const std::size_t at = text_.find('\n');
  return at != std::string::npos && at > 0 && text_[at - 1] == '\r' ? "\r\n" : "\n";
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string entry = IniEscapedKey(key) + "=" + IniEscapedValue(value);
  const std::string eol = LineBreak();
  const std::vector<std::size_t> found = EntriesOf(section, key);
  if (!found.empty()) {
    // Back to front, so that earlier offsets stay valid.
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
      const Line& l = lines_[*it];
      std::size_t end = l.end;  // blanks before a comment stay
      while (end > l.equals + 1 && (text_[end - 1] == ' ' || text_[end - 1] == '\t')) --end;
      if (*it == found.front()) text_.replace(l.begin, end - l.begin, entry);
      else text_.erase(l.begin, l.next - l.begin);
    }
    Parse();
    return;
  }
  // After the last line of the section, or a new section at the end.
  std::size_t at = std::string::npos;
  for (const Line& l : lines_) {
    const bool ofSection = l.kind == Line::Kind::Section ? EqualIgnoringCase(l.name, section)
                         : l.kind == Line::Kind::Entry && EqualIgnoringCase(l.section, section);
    if (ofSection) at = l.next;
  }
  std::string insert = entry + eol;
  if (at == std::string::npos) {
    at = text_.size();
    std::string header = text_.empty() ? "" : eol;
    header.append("[").append(section.empty() ? "General" : IniEscapedKey(section)).append("]").append(eol);
    insert = header.append(insert);
  }
  if (at > 0 && text_[at - 1] != '\n' && text_[at - 1] != '\r') insert = std::string(eol).append(insert);
  text_.insert(at, insert);
  Parse();
}
