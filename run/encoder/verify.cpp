#include "run/encoder/verify.h"

#include "block.h"
#include "decode_page.h"
#include "run/includes/include_client.h"
#include "run/encoder/script_regions.h"
#include "text_codec.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <type_traits>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The check of one file asks its caller's stop question about every 50 ms, on the thread
// it runs on (where the window's events may be run too); a yes ends it at once.
struct StopCheck {
  const std::function<bool()>* ask = nullptr;
  std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
  unsigned count = 0;
};
thread_local StopCheck* tStop = nullptr;
struct Stopped {};

void Tick() {
  if (!tStop || ++tStop->count % 8192 != 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - tStop->last < std::chrono::milliseconds(50)) return;
  tStop->last = now;
  if ((*tStop->ask)()) throw Stopped{};
}

// Text set for comparison: one byte per character of ASCII and, for each byte kept, the
// offset in the file it came from (the source only) and a flag (in the source: script that must be
// encoded; in the decoded output: read from an encoded block). UTF-16 units outside
// ASCII become "\x01" and three bytes from 0x80 up, so that no such unit reads as markup
// and two texts compare equal exactly when their units do.
struct Text {
  std::string bytes;
  std::vector<std::size_t> at;
  std::vector<char> flag;
  bool wide = false;
};

template <class C>
void AppendUnits(Text& t, std::basic_string_view<C> units, std::size_t from, std::size_t unitSize, char flag) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    Tick();
    const auto u = static_cast<std::make_unsigned_t<C>>(units[i]);
    const std::size_t offset = from + unitSize * i;
    if (unitSize == 1 || (u < 0x80 && u != 0x01)) {
      t.bytes += static_cast<char>(u);
      if (from != npos) t.at.push_back(offset);
      t.flag.push_back(flag);
      continue;
    }
    for (const unsigned byte : {0x01u, 0x80u | (u >> 14), 0x80u | ((u >> 7) & 0x7Fu), 0x80u | (u & 0x7Fu)}) {
      t.bytes += static_cast<char>(byte);
      if (from != npos) t.at.push_back(offset);
      t.flag.push_back(flag);
    }
  }
}

Text TextOf(std::string_view file) {
  Text t;
  const screnc::Bom bom = screnc::detect_bom(file);
  const std::size_t skip = screnc::bom_size(bom);
  t.wide = bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE;
  t.bytes.reserve(file.size());
  t.at.reserve(file.size());
  t.flag.reserve(file.size());
  if (t.wide) {
    const std::u16string units = screnc::utf16_from_bytes(file.substr(skip), bom == screnc::Bom::Utf16BE);
    AppendUnits(t, std::u16string_view(units), skip, 2, 0);
  } else {
    AppendUnits(t, file.substr(skip), skip, 1, 0);
  }
  return t;
}

// The output decoded, each character flagged when it came from an encoded block.
struct Decoded {
  Text text;
  std::size_t blocks = 0, damaged = 0;
};

// Copies `in` to `out` with each well-formed block replaced by its plain text. A block
// ends at a "^#~@" that closes it with the right length and checksum (a block's text may
// spell "^#~" before an escaped '@': the next one is tried, a few at most).
template <class C>
void DecodeFlagged(std::basic_string_view<C> in, screnc::Charset cs, Decoded& d) {
  static constexpr C kStart[] = {'#', '@', '~', '^'}, kEnd[] = {'^', '#', '~', '@'};
  const std::basic_string_view<C> start(kStart, 4), stop(kEnd, 4);
  const auto append = [&](std::basic_string_view<C> units, char flag) {
    AppendUnits(d.text, units, npos, sizeof(C), flag);  // the output's offsets are not used
  };
  for (std::size_t p = 0; p < in.size();) {
    Tick();
    const std::size_t hit = in.find(start, p);
    append(in.substr(p, hit == npos ? npos : hit - p), 0);
    if (hit == npos) break;
    std::basic_string<C> plain;
    bool decoded = false;
    std::size_t end = in.find(stop, hit + 4);
    for (int tries = 0; !decoded && end != npos && tries < 8; ++tries) {
      plain.clear();
      const screnc::DecodeResult r = screnc::decode_blocks(in.data() + hit, in.data() + end + 4, cs, plain);
      decoded = r.blocks == 1 && r.malformed == 0;
      if (!decoded) end = in.find(stop, end + 1);
    }
    if (!decoded) {
      ++d.damaged;
      append(in.substr(hit, 4), 0);
      p = hit + 4;
      continue;
    }
    ++d.blocks;
    append(plain, 1);
    p = end + 4;
  }
}

Decoded DecodeOutput(std::string_view file) {
  Decoded d;
  const screnc::Bom bom = screnc::detect_bom(file);
  const std::string_view text = file.substr(screnc::bom_size(bom));
  d.text.wide = bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE;
  d.text.bytes.reserve(text.size());
  d.text.flag.reserve(text.size());
  if (d.text.wide) {
    const std::u16string units = screnc::utf16_from_bytes(text, bom == screnc::Bom::Utf16BE);
    DecodeFlagged(std::u16string_view(units), screnc::Charset::Utf16, d);
  } else {
    const bool utf8 = bom == screnc::Bom::Utf8 || screnc::is_valid_utf8(text);
    DecodeFlagged(text, utf8 ? screnc::Charset::Utf8 : screnc::Charset::SingleByte, d);
  }
  return d;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSpace(char c) { return IsBlank(c) || c == '\r' || c == '\n'; }
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
  out.bytes.reserve(in.bytes.size());
  out.at.reserve(in.at.size());
  out.flag.reserve(in.flag.size());
  const std::string_view s = in.bytes;
  std::size_t i = 0;
  const auto keep = [&](std::size_t n) {
    for (std::size_t k = 0; k < n; ++k, ++i) {
      out.bytes += s[i];
      if (!in.at.empty()) out.at.push_back(in.at[i]);
      out.flag.push_back(in.flag[i]);
    }
  };
  const auto mark = [&](std::size_t from, char family) {
    out.bytes += kLanguageMark;
    out.bytes += family;
    if (!in.at.empty()) out.at.insert(out.at.end(), 2, in.at[from]);
    out.flag.insert(out.flag.end(), 2, 0);
  };
  char family = 0;
  while (i < s.size()) {
    Tick();
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

// The "<%@ LANGUAGE = VBScript.Encode %>" line an encoder puts at the top of an ASP page
// that has no directive: its length, or 0; `family` is its language's.
std::size_t AddedDirective(std::string_view s, char& family) {
  for (std::string_view lang : {"VBScript", "JScript", "VBScript.Encode", "JScript.Encode"}) {
    const std::string line = "<%@ LANGUAGE = " + std::string(lang) + " %>";
    if (!s.starts_with(line)) continue;
    family = lang[0];
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
    } else if (t.wide && c == 0x01 && i + 3 < t.bytes.size()) {
      const auto byte = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(t.bytes[i + k]) & 0x7F); };
      std::snprintf(hex, sizeof hex, "\\u%04X", (byte(1) << 14 | byte(2) << 7 | byte(3)) & 0xFFFF);
      out += hex;
      i += 3;
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

// Read in pieces of a few megabytes straight into the text, the stop question asked
// between them.
std::string ReadWhole(const fs::path& path, std::string& bytes) {
  std::ifstream in;
  in.rdbuf()->pubsetbuf(nullptr, 0);
  in.open(path, std::ios::binary);
  if (!in) return "open " + path.string() + ": " + std::strerror(errno);
  constexpr std::size_t kPiece = std::size_t(4) << 20;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0);
  bytes.clear();
  bytes.reserve(static_cast<std::size_t>(std::max<std::streamoff>(size, 0)) + kPiece);
  while (in) {
    Tick();
    const std::size_t had = bytes.size();
    bytes.resize(had + kPiece);
    in.read(bytes.data() + had, static_cast<std::streamsize>(kPiece));
    bytes.resize(had + static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  }
  if (in.bad()) return "read " + path.string() + ": " + std::strerror(errno);
  return {};
}

const char* FamilyName(char family) { return family == 'V' ? "VBScript" : "JScript"; }

// The source's text with its script flagged, and the families its script tags and
// directive must name, by their place in the file.
struct Expected {
  Text text;
  ScriptScan scan;
  char At(std::size_t offset) const {  // the family a language named at `offset` must have
    for (const ScriptScan::Named& n : scan.named)
      if (text.at[n.begin] <= offset && offset <= text.at[n.end - 1]) return n.family;
    return 0;
  }
};

Expected ExpectedOf(std::string_view source, FileKind kind, char defaultFamily, char clientFamily) {
  Expected e{TextOf(source), {}};
  e.scan = ScanScript(e.text.bytes, kind, defaultFamily, Tick);
  if (clientFamily && !e.text.wide) {
    if (const auto client = ShieldServerScript(e.text.bytes, clientFamily, Tick)) {
      e.scan.regions.insert(e.scan.regions.end(), client->client.begin(), client->client.end());
      e.scan.named.insert(e.scan.named.end(), client->named.begin(), client->named.end());
    }
  }
  for (const ScriptScan::Span& r : e.scan.regions)
    Tick(), std::fill(e.text.flag.begin() + static_cast<std::ptrdiff_t>(r.begin), e.text.flag.begin() + static_cast<std::ptrdiff_t>(r.end), 1);
  return e;
}

std::string Where(const Text& a, std::size_t i, std::size_t sourceSize) {
  std::size_t line = 1;
  for (std::size_t k = 0; k < i; ++k) line += a.bytes[k] == '\n';
  const std::size_t offset = i < a.at.size() ? a.at[i] : sourceSize;
  return "line " + std::to_string(line) + " (byte " + std::to_string(offset) + " of the source): ";
}

std::string LanguageDiffers(char source, char output) {
  return std::string("the script language differs: the source has ") + FamilyName(source) + ", the decoded output " +
         FamilyName(output);
}

}  // namespace

std::string CompareDecoded(std::string_view source, std::string_view encoded, FileKind kind, char defaultFamily,
                           char clientFamily) {
  const screnc::Bom bom = screnc::detect_bom(encoded);
  if ((bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE) && encoded.size() % 2 != 0)
    return "the output cannot be decoded: UTF-16 text of odd length";
  if (bom != screnc::detect_bom(source)) return "the byte order mark differs";
  Decoded decoded = DecodeOutput(encoded);
  if (decoded.damaged > 0) {
    screnc::DecodedPage page;
    page.damaged = decoded.damaged;
    return page.DamageText();
  }
  const Expected expected = ExpectedOf(source, kind, defaultFamily, clientFamily);
  if (decoded.blocks == 0) {
    for (std::size_t k = 0; k < expected.text.bytes.size(); ++k)
      if (expected.text.flag[k] && !IsSpace(expected.text.bytes[k]))
        return "the output holds no encoded block: its script is readable";
  }
  Text& out = decoded.text;
  char family = 0;
  if (const std::size_t added = AddedDirective(out.bytes, family);
      added > 0 && !std::string_view(expected.text.bytes).starts_with(std::string_view(out.bytes).substr(0, added))) {
    if (expected.scan.pageFamily && family != expected.scan.pageFamily)
      return "line 1 (byte 0 of the source): " + LanguageDiffers(expected.scan.pageFamily, family);
    out.bytes.erase(0, added);
    out.flag.erase(out.flag.begin(), out.flag.begin() + static_cast<std::ptrdiff_t>(added));
  }
  const Text a = MarkLanguages(expected.text);
  const Text b = MarkLanguages(out);
  // The same text, but for languages the encoder named where the source named none; and
  // where the source's script was, what the output read from a block.
  std::size_t i = 0, j = 0, readable = npos;
  while (i < a.bytes.size() || j < b.bytes.size()) {
    Tick();
    if (i < a.bytes.size() && j < b.bytes.size() && a.bytes[i] == b.bytes[j]) {
      if (readable == npos && a.flag[i] && !b.flag[j] && !IsSpace(a.bytes[i])) readable = i;
      ++i, ++j;
    } else if (j + 1 < b.bytes.size() && b.bytes[j] == kLanguageMark && (i == a.bytes.size() || a.bytes[i] != kLanguageMark)) {
      const char want = expected.At(i < a.at.size() ? a.at[i] : source.size());
      if (want && want != b.bytes[j + 1]) return Where(a, i, source.size()) + LanguageDiffers(want, b.bytes[j + 1]);
      j += 2;
    } else {
      break;
    }
  }
  if (i == a.bytes.size() && j == b.bytes.size()) {
    if (readable == npos) return {};
    return Where(a, readable, source.size()) + "script the encoder should have encoded is readable in the output: " +
           Excerpt(a, readable);
  }
  const std::string where = Where(a, i, source.size());
  if (i > 0 && a.bytes[i - 1] == kLanguageMark && j > 0 && b.bytes[j - 1] == kLanguageMark)
    return where + LanguageDiffers(a.bytes[i], b.bytes[j]);
  return where + "the source has " + Excerpt(a, i) + ", the decoded output " + Excerpt(b, j);
}

std::string VerifyEncodedFile(const fs::path& source, const fs::path& destination, FileKind kind, char defaultFamily,
                              const std::function<bool()>& stop, char clientFamily) {
  StopCheck check{stop ? &stop : nullptr};
  struct Asking {  // the question is this call's alone, however it ends
    explicit Asking(StopCheck* c) { tStop = c; }
    ~Asking() { tStop = nullptr; }
  } asking(stop ? &check : nullptr);
  std::string original, encoded, reason;
  try {
    reason = ReadWhole(source, original);
    if (reason.empty()) reason = ReadWhole(destination, encoded);
    if (reason.empty()) reason = CompareDecoded(original, encoded, kind, defaultFamily, clientFamily);
  } catch (const Stopped&) {
    return kVerificationStopped;
  }
  return reason.empty() ? reason : "verification failed: " + reason;
}
