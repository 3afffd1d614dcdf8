#include "verify.h"

#include "decode_page.h"
#include "text_codec.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Text set for comparison: one byte per character of ASCII, and for each kept byte the
// offset in the file it came from. UTF-16 units outside ASCII become "\x01" and the
// unit's two bytes, so that two texts compare equal exactly when their units do.
struct Text {
  std::string bytes;
  std::vector<std::size_t> at;
  bool wide = false;
};

Text TextOf(std::string_view file) {
  Text t;
  const screnc::Bom bom = screnc::detect_bom(file);
  const std::size_t skip = screnc::bom_size(bom);
  t.wide = bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE;
  if (!t.wide) {
    t.bytes.assign(file.substr(skip));
    for (std::size_t i = 0; i < t.bytes.size(); ++i) t.at.push_back(skip + i);
    return t;
  }
  const std::u16string units = screnc::utf16_from_bytes(file.substr(skip), bom == screnc::Bom::Utf16BE);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    const std::size_t from = skip + 2 * i;
    if (u < 0x80 && u != 0x01) {
      t.bytes += static_cast<char>(u);
      t.at.push_back(from);
    } else {
      for (const char c : {'\x01', static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)}) {
        t.bytes += c;
        t.at.push_back(from);
      }
    }
  }
  return t;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsNameChar(char c) {
  const char l = Lower(c);
  return (l >= 'a' && l <= 'z') || l == '.';
}

bool StartsWithNoCase(std::string_view s, std::size_t i, std::string_view word) {
  if (s.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(s[i + k]) != word[k]) return false;
  return true;
}

// The length of a LANGUAGE attribute that names a script language, starting at `i`
// (`language = "JScript.Encode"`, `LANGUAGE=vbscript`); 0 when there is none. `family`:
// 'J' for JScript and JavaScript, 'V' for VBScript.
std::size_t LanguageAttribute(std::string_view s, std::size_t i, char* family = nullptr) {
  if (!StartsWithNoCase(s, i, "language")) return 0;
  std::size_t p = i + 8;
  while (p < s.size() && IsBlank(s[p])) ++p;
  if (p == s.size() || s[p] != '=') return 0;
  ++p;
  while (p < s.size() && IsBlank(s[p])) ++p;
  const char quote = p < s.size() && (s[p] == '"' || s[p] == '\'') ? s[p] : 0;
  if (quote) ++p;
  const std::size_t name = p;
  while (p < s.size() && IsNameChar(s[p])) ++p;
  std::string value;
  for (std::size_t k = name; k < p; ++k) value += Lower(s[k]);
  if (value.ends_with(".encode")) value.resize(value.size() - 7);
  if (value != "jscript" && value != "javascript" && value != "vbscript") return 0;
  if (family) *family = value == "vbscript" ? 'V' : 'J';
  if (quote) {
    if (p == s.size() || s[p] != quote) return 0;
    ++p;
  }
  return p - i;
}

// A script LANGUAGE attribute, in the text compared, is this mark and the language's
// family: the encoder may add one or rename it (`javascript` to `JScript.Encode`), never
// change its family.
constexpr char kLanguageMark = '\x02';

// Without the blanks after "<%@" and with each script LANGUAGE attribute, and the one blank
// before it, as a mark of its family: the places where an encoder adds or renames a
// language.
Text MarkLanguages(const Text& in) {
  Text out;
  out.wide = in.wide;
  const std::string_view s = in.bytes;
  std::size_t i = 0;
  const auto keep = [&](std::size_t n) {
    for (std::size_t k = 0; k < n; ++k, ++i) {
      out.bytes += s[i];
      out.at.push_back(in.at[i]);
    }
  };
  const auto mark = [&](std::size_t from, char family) {
    out.bytes += kLanguageMark;
    out.bytes += family;
    out.at.insert(out.at.end(), 2, in.at[from]);
  };
  char family = 0;
  while (i < s.size()) {
    if (s.compare(i, 3, "<%@") == 0) {
      keep(3);
      while (i < s.size() && IsBlank(s[i])) ++i;
      if (const std::size_t n = LanguageAttribute(s, i, &family)) {
        mark(i, family);
        i += n;
        while (i < s.size() && IsBlank(s[i])) ++i;
      }
    } else if (IsBlank(s[i]) && i + 1 < s.size()) {
      if (const std::size_t n = LanguageAttribute(s, i + 1, &family)) {
        mark(i, family);
        i += 1 + n;
      } else {
        keep(1);
      }
    } else {
      keep(1);
    }
  }
  return out;
}

// The "<%@ LANGUAGE = VBScript %>" line an encoder puts at the top of an ASP page that
// has no directive, as decoded: its length, or 0.
std::size_t AddedDirective(std::string_view s) {
  for (std::string_view lang : {"VBScript", "JScript"}) {
    const std::string line = "<%@ LANGUAGE = " + std::string(lang) + " %>";
    if (!s.starts_with(line)) continue;
    if (s.substr(line.size()).starts_with("\r\n")) return line.size() + 2;
    if (s.substr(line.size()).starts_with("\n")) return line.size() + 1;
  }
  return 0;
}

std::string Excerpt(const Text& t, std::size_t from) {
  constexpr std::size_t kLength = 24;
  if (from >= t.bytes.size()) return "(end of file)";
  std::string out = "\"";
  for (std::size_t i = from; i < t.bytes.size() && i < from + kLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(t.bytes[i]);
    char hex[8];
    if (c == kLanguageMark && i + 1 < t.bytes.size()) {
      out += t.bytes[i + 1] == 'V' ? " language=VBScript" : " language=JScript";
      ++i;
    } else if (t.wide && c == 0x01 && i + 2 < t.bytes.size()) {
      std::snprintf(hex, sizeof hex, "\\u%02X%02X", static_cast<unsigned char>(t.bytes[i + 1]),
                    static_cast<unsigned char>(t.bytes[i + 2]));
      out += hex;
      i += 2;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string ReadWhole(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "open " + path.string() + ": " + std::strerror(errno);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return "read " + path.string() + ": " + std::strerror(errno);
  return {};
}

}  // namespace

bool NeedsEncodedBlock(FileKind kind, std::string_view source) {
  if (kind == FileKind::Copy) return false;
  if (kind == FileKind::EncodePlain) return true;  // the whole file is one script
  const std::string s = TextOf(source).bytes;
  char family = 0;
  for (std::size_t at = s.find('<'); at != std::string::npos; at = s.find('<', at + 1)) {
    if (kind != FileKind::EncodeHtml && s.compare(at, 2, "<%") == 0) {
      std::size_t p = at + 2;
      while (p < s.size() && IsBlank(s[p])) ++p;
      if (p < s.size() && s[p] != '@') return true;  // server script, not a directive
      continue;
    }
    if (!StartsWithNoCase(s, at + 1, "script")) continue;
    const std::size_t end = std::min(s.find('>', at), s.size());
    bool named = false, server = false;
    for (std::size_t p = at + 7; p < end; ++p) {
      named = named || (IsBlank(s[p - 1]) && LanguageAttribute(s, p, &family) > 0);
      server = server || StartsWithNoCase(s, p, "runat");
    }
    // A page's server script, or a client script in a language the encoder takes.
    if (kind == FileKind::EncodeHtml ? named : server) return true;
  }
  return false;
}

std::string CompareDecoded(std::string_view source, std::string_view encoded, bool needsBlock) {
  const screnc::DecodedPage page = screnc::DecodePage(encoded);
  if (!page.ok()) return "the output cannot be decoded: " + page.error;
  if (page.damaged > 0) return page.DamageText();
  if (needsBlock && page.blocks == 0) return "the output holds no encoded block: its script is readable";
  if (screnc::detect_bom(page.bytes) != screnc::detect_bom(source)) return "the byte order mark differs";

  Text decoded = TextOf(page.bytes);
  const Text original = TextOf(source);
  if (const std::size_t added = AddedDirective(decoded.bytes);
      added > 0 && !std::string_view(original.bytes).starts_with(std::string_view(decoded.bytes).substr(0, added))) {
    decoded.bytes.erase(0, added);
    decoded.at.erase(decoded.at.begin(), decoded.at.begin() + static_cast<std::ptrdiff_t>(added));
  }
  const Text a = MarkLanguages(original);
  const Text b = MarkLanguages(decoded);
  // The same text, but for languages the encoder named where the source named none.
  std::size_t i = 0, j = 0;
  while (i < a.bytes.size() || j < b.bytes.size()) {
    if (i < a.bytes.size() && j < b.bytes.size() && a.bytes[i] == b.bytes[j]) {
      ++i, ++j;
    } else if (j + 1 < b.bytes.size() && b.bytes[j] == kLanguageMark && (i == a.bytes.size() || a.bytes[i] != kLanguageMark)) {
      j += 2;
    } else {
      break;
    }
  }
  if (i == a.bytes.size() && j == b.bytes.size()) return {};

  std::size_t line = 1;
  for (std::size_t k = 0; k < i; ++k) line += a.bytes[k] == '\n';
  const std::size_t offset = i < a.at.size() ? a.at[i] : source.size();
  const std::string where = "line " + std::to_string(line) + " (byte " + std::to_string(offset) + " of the source): ";
  if (i > 0 && a.bytes[i - 1] == kLanguageMark && j > 0 && b.bytes[j - 1] == kLanguageMark) {
    const auto name = [](char family) { return family == 'V' ? "VBScript" : "JScript"; };
    return where + "the script language differs: the source has " + name(a.bytes[i]) + ", the decoded output " +
           name(b.bytes[j]);
  }
  return where + "the source has " + Excerpt(a, i) + ", the decoded output " + Excerpt(b, j);
}

std::string VerifyEncodedFile(const fs::path& source, const fs::path& destination, FileKind kind) {
  std::string original, encoded;
  std::string reason = ReadWhole(source, original);
  if (reason.empty()) reason = ReadWhole(destination, encoded);
  if (reason.empty()) reason = CompareDecoded(original, encoded, NeedsEncodedBlock(kind, original));
  return reason.empty() ? reason : "verification failed: " + reason;
}
