#include "run/encoder/verify.h"

#include "decode_page.h"
#include "run/includes/include_client.h"
#include "run/encoder/script_regions.h"
#include "run/encoder/verify_quick.h"
#include "run/encoder/verify_text.h"
#include "text_codec.h"

#include <algorithm>
#include <cstdio>

namespace fs = std::filesystem;
using namespace verify_text;

namespace {

constexpr std::size_t npos = std::string_view::npos;

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

const char* FamilyName(char family) { return family == 'V' ? "VBScript" : "JScript"; }

// The source's text with its script flagged, and the families its script tags and
// directive must name, by their place in the file.
struct Expected {
  const Text& text;
  ScriptScan scan;
  char At(std::size_t offset) const {  // the family a language named at `offset` must have
    for (const ScriptScan::Named& n : scan.named)
      if (text.at[n.begin] <= offset && offset <= text.at[n.end - 1]) return n.family;
    return 0;
  }
};

Expected ExpectedOf(std::string_view source, FileKind kind, char defaultFamily, char clientFamily, Text& text) {
  TextOf(source, text);
  const std::function<void()> tick = [] { Tick(); };
  Expected e{text, ScanScript(text.bytes, kind, defaultFamily, tick)};
  if (clientFamily && !text.wide) {
    if (const auto client = ShieldServerScript(text.bytes, clientFamily, tick)) {
      e.scan.regions.insert(e.scan.regions.end(), client->client.begin(), client->client.end());
      e.scan.named.insert(e.scan.named.end(), client->named.begin(), client->named.end());
    }
  }
  for (const ScriptScan::Span& r : e.scan.regions)
    Tick(), std::fill(text.flag.begin() + static_cast<std::ptrdiff_t>(r.begin), text.flag.begin() + static_cast<std::ptrdiff_t>(r.end), 1);
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

// CompareDecoded in the room of `w`.
std::string Compare(Workspace& w, std::string_view source, std::string_view encoded, FileKind kind, char defaultFamily,
                    char clientFamily) {
  const screnc::Bom bom = screnc::detect_bom(encoded);
  if ((bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE) && encoded.size() % 2 != 0)
    return "the output cannot be decoded: UTF-16 text of odd length";
  if (bom != screnc::detect_bom(source)) return "the byte order mark differs";
  Decoded decoded = DecodeOutput(encoded, w);
  if (decoded.damaged > 0) {
    screnc::DecodedPage page;
    page.damaged = decoded.damaged;
    return page.DamageText();
  }
  const Expected expected = ExpectedOf(source, kind, defaultFamily, clientFamily, w.source);
  if (decoded.blocks == 0) {
    for (std::size_t k = 0; k < expected.text.bytes.size(); ++k)
      if (expected.text.flag[k] && !IsSpace(expected.text.bytes[k]))
        return "the output holds no encoded block: its script is readable";
  }
  Text& out = decoded.text;
  char family = 0;
  // Only a page without a directive of its own may have been given one: where the source
  // has one, a first line that looks added is the source's, renamed, and compared as such.
  const bool asp = kind == FileKind::EncodeAspPage || kind == FileKind::EncodeAspByExtension;
  if (const std::size_t added = asp && !expected.scan.directive ? AddedDirective(out.bytes, family) : 0; added > 0) {
    if (expected.scan.pageFamily && family != expected.scan.pageFamily)
      return "line 1 (byte 0 of the source): " + LanguageDiffers(expected.scan.pageFamily, family);
    out.bytes.erase(0, added);
    out.flag.erase(out.flag.begin(), out.flag.begin() + static_cast<std::ptrdiff_t>(added));
  }
  const Text& a = w.a;
  const Text& b = w.b;
  MarkLanguages(expected.text, w.a, w.edits);
  MarkLanguages(out, w.b, w.edits);
  // The same text, but for languages the encoder named where the source named none; and
  // where the source's script was, what the output read from a block.
  std::size_t i = 0, j = 0, readable = npos;
  while (i < a.bytes.size() || j < b.bytes.size()) {
    // A stretch where both agree, some thousands of characters at most.
    const std::size_t n = std::min({a.bytes.size() - i, b.bytes.size() - j, std::size_t(8192)});
    std::size_t k = 0;
    for (; k < n && a.bytes[i + k] == b.bytes[j + k]; ++k)
      if (readable == npos && a.flag[i + k] && !b.flag[j + k] && !IsSpace(a.bytes[i + k])) readable = i + k;
    Tick(k + 1);
    i += k, j += k;
    if (k > 0 && k == n) continue;
    if (j + 1 < b.bytes.size() && b.bytes[j] == kLanguageMark && (i == a.bytes.size() || a.bytes[i] != kLanguageMark)) {
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

}  // namespace

std::string CompareDecoded(std::string_view source, std::string_view encoded, FileKind kind, char defaultFamily,
                           char clientFamily) {
  const Workspace::Lease w;
  if (PassesQuickly(*w, source, encoded, kind, defaultFamily, clientFamily)) return {};
  return Compare(*w, source, encoded, kind, defaultFamily, clientFamily);
}

std::string verify_text::CompareInFull(std::string_view source, std::string_view encoded, FileKind kind,
                                       char defaultFamily, char clientFamily) {
  const Workspace::Lease w;
  return Compare(*w, source, encoded, kind, defaultFamily, clientFamily);
}

std::string VerifyEncodedFile(const fs::path& source, const fs::path& destination, FileKind kind, char defaultFamily,
                              const std::function<bool()>& stop, char clientFamily) {
  const StopQuestion asking(stop);  // this call's alone, however it ends
  const Workspace::Lease w;
  std::string reason;
  try {
    reason = ReadWhole(source, w->original);
    if (reason.empty()) reason = ReadWhole(destination, w->encoded);
    if (reason.empty() &&
        !PassesQuickly(*w, w->original.View(), w->encoded.View(), kind, defaultFamily, clientFamily))
      reason = Compare(*w, w->original.View(), w->encoded.View(), kind, defaultFamily, clientFamily);
  } catch (const Stopped&) {
    return kVerificationStopped;
  }
  return reason.empty() ? reason : "verification failed: " + reason;
}
