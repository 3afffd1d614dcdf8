#include "run/includes/include_client.h"

#include "run/encoder/encoder_command.h"
#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "text_codec.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace {

using Span = ScriptScan::Span;
constexpr std::size_t npos = std::string_view::npos;

// Spans sorted by where they begin, those that overlap or nest joined into one.
std::vector<Span> Joined(std::vector<Span> spans) {
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
  std::vector<Span> joined;
  for (const Span& s : spans) {
    if (!joined.empty() && s.begin < joined.back().end) joined.back().end = std::max(joined.back().end, s.end);
    else if (s.begin < s.end) joined.push_back(s);
  }
  return joined;
}

// A text with spans of the page each replaced by a mark, and where the rest came from.
struct Masked {
  std::string text;
  struct Stretch {
    std::size_t masked = 0, page = 0;  // where a stretch of the page's own text begins in each
  };
  std::vector<Stretch> kept;

  // The page's offset of `at`, an offset of the masked text outside any mark.
  std::size_t Page(std::size_t at) const {
    const auto after = std::upper_bound(kept.begin(), kept.end(), at,
                                        [](std::size_t a, const Stretch& s) { return a < s.masked; });
    const Stretch& s = *(after - 1);
    return s.page + (at - s.masked);
  }
};

Masked Mask(std::string_view page, const std::vector<Span>& spans, const ShieldedPage& marks,
            std::vector<std::string>* pieces) {
  Masked m;
  m.text.reserve(page.size());
  std::size_t from = 0, k = 0;
  const auto keep = [&](std::size_t to) {
    m.kept.push_back({m.text.size(), from});
    m.text.append(page.substr(from, to - from));
  };
  for (const Span& s : spans) {
    keep(s.begin);
    m.text += marks.open;
    m.text += std::to_string(k);
    if (k == 0 && marks.notUtf8) m.text += '\x80';
    m.text += marks.close;
    if (pieces) pieces->emplace_back(page.substr(s.begin, s.end - s.begin));
    from = s.end;
    ++k;
  }
  keep(page.size());
  return m;
}

// Two control characters the page does not hold (never blanks, line ends, NUL or the
// Ctrl-Z some tools take for the end of a text).
bool PickMarks(std::string_view page, ShieldedPage& shielded) {
  bool held[32] = {};
  for (const char c : page)
    if (static_cast<unsigned char>(c) < 32) held[static_cast<unsigned char>(c)] = true;
  std::vector<char> free;
  for (unsigned c = 1; c < 32; ++c)
    if (!held[c] && (c < 0x09 || c > 0x0D) && c != 0x1A) free.push_back(static_cast<char>(c));
  if (free.size() < 2) return false;
  shielded.open = free[0];
  shielded.close = free[1];
  return true;
}

}  // namespace

std::optional<ShieldedPage> ShieldServerScript(std::string_view page, char htmlFamily,
                                               const std::function<void()>& progress) {
  const screnc::Bom bom = screnc::detect_bom(page);
  if (bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE) return std::nullopt;
  ShieldedPage shielded;
  if (!PickMarks(page, shielded)) return std::nullopt;
  shielded.notUtf8 = bom == screnc::Bom::None && !screnc::is_valid_utf8(page);

  // 1. The server script, as the first pass found it.
  const std::vector<Span> server = Joined(ScanScript(page, FileKind::EncodeAspByExtension, 'V', progress).server);
  const Masked first = Mask(page, server, shielded, nullptr);

  // 2. What HTML mode would encode there; the elements that hold server script go whole.
  const ScriptScan html = ScanScript(first.text, FileKind::EncodeHtml, htmlFamily, progress);
  std::vector<Span> shield = server;
  std::vector<Span> whole;  // in the first text's offsets
  for (const ScriptScan::Named& n : html.named) {
    const std::string_view element = std::string_view(first.text).substr(n.begin, n.close - n.begin);
    if (element.find(shielded.open) != npos) {
      whole.push_back({n.begin, n.close});
      shield.push_back({first.Page(n.begin), first.Page(n.close)});
    } else {
      shielded.named.push_back({first.Page(n.begin), first.Page(n.end - 1) + 1, n.family, first.Page(n.close)});
    }
  }
  const auto inWhole = [&](const Span& r) {
    return std::any_of(whole.begin(), whole.end(), [&](const Span& w) { return w.begin <= r.begin && r.end <= w.end; });
  };
  for (const Span& r : html.regions)
    if (!inWhole(r)) shielded.client.push_back({first.Page(r.begin), first.Page(r.end - 1) + 1});

  // 3. The text the HTML pass is given.
  Masked final = Mask(page, Joined(std::move(shield)), shielded, &shielded.pieces);
  shielded.text = std::move(final.text);
  return shielded;
}

std::optional<std::string> RestoreServerScript(std::string_view encoded, const ShieldedPage& page) {
  std::string out;
  out.reserve(encoded.size() + encoded.size() / 2);
  std::vector<bool> seen(page.pieces.size(), false);
  std::size_t from = 0;
  for (std::size_t at = encoded.find(page.open); at != npos; at = encoded.find(page.open, from)) {
    out.append(encoded.substr(from, at - from));
    std::size_t q = at + 1, k = 0, digits = 0;
    for (; q < encoded.size() && encoded[q] >= '0' && encoded[q] <= '9' && digits < 9; ++q, ++digits)
      k = k * 10 + static_cast<std::size_t>(encoded[q] - '0');
    if (digits == 0 || k >= seen.size() || seen[k]) return std::nullopt;
    if (k == 0 && page.notUtf8 && (q >= encoded.size() || encoded[q++] != '\x80')) return std::nullopt;
    if (q >= encoded.size() || encoded[q] != page.close) return std::nullopt;
    seen[k] = true;
    out += page.pieces[k];
    from = q + 1;
  }
  out.append(encoded.substr(from));
  if (std::find(seen.begin(), seen.end(), false) != seen.end()) return std::nullopt;
  return out;
}

namespace {

// The hidden folder and what is in it, removed however the pass ends.
struct PassFolder {
  fs::path path;
  ~PassFolder() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
};

// The restored page written beside the destination, then renamed over it.
std::string Replace(const fs::path& destination, const std::string& content) {
  const fs::path tmp = TemporaryBeside(destination);
  Status written = CreateExclusive(tmp, content);
  if (written.ok()) written = RenameOver(tmp, destination);
  if (!written.ok()) RemoveFile(tmp);
  return written.reason();
}

}  // namespace

ClientPass EncodeIncludedClientScript(const fs::path& destination, const fs::path& appDir, const RunSettings& settings,
                                      char htmlFamily, const WaitControl& control, EncoderSession& encoder) {
  ClientPass pass;
  std::string page;
  if (Status read = ReadRegularFile(destination, page); !read.ok()) {
    pass.reason = read.reason();
    return pass;
  }
  const std::optional<ShieldedPage> shielded = ShieldServerScript(page, htmlFamily);
  if (!shielded || shielded->client.empty()) return pass;

  PassFolder folder;
  const fs::path made = TemporaryBeside(destination);
  bool existed = false;  // never one that was there: it is not ours to fill or remove
  if (Status status = MakeFolder(made, &existed); !status.ok() || existed) {
    pass.reason = existed ? "HTML pass: " + ToDisplayPath(made) + " is there already" : status.reason();
    return pass;
  }
  folder.path = made;
  // Names of their own: the encoder refuses a hidden source, and reads either as HTML (/e html).
  const fs::path in = AbsolutePath(made / "page.htm"), out = AbsolutePath(made / "encoded.htm");
  if (Status status = CreateExclusive(in, shielded->text); !status.ok()) {
    pass.reason = status.reason();
    return pass;
  }
  const ProcessOutcome outcome =
      encoder.Side().Run(BuildEncoderCommand(ClientPassSwitchPart(settings), appDir, in, out), control);
  if (!outcome.Succeeded()) {
    pass.stopped = outcome.how == ProcessOutcome::How::Stopped;
    pass.reason = pass.stopped ? outcome.Explained() : "HTML pass: " + outcome.Explained();
    return pass;
  }
  std::string encoded;
  if (Status read = ReadRegularFile(out, encoded); !read.ok() || encoded.empty()) {
    pass.reason = "HTML pass: encoder wrote no output";
    return pass;
  }
  const std::optional<std::string> restored = RestoreServerScript(encoded, *shielded);
  if (!restored) {
    pass.reason = "HTML pass: the encoder did not leave the server script as it was";
    return pass;
  }
  pass.reason = Replace(destination, *restored);
  return pass;
}
