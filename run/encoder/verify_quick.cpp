#include "run/encoder/verify_quick.h"

#include "block.h"
#include "run/encoder/script_regions.h"
#include "run/includes/include_client.h"
#include "text_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace verify_text {

namespace {

constexpr std::size_t npos = std::string_view::npos;
using Spans = std::vector<std::pair<std::size_t, std::size_t>>;

// The output with each block decoded into `out`, and where in `out` each block's text
// stands. False at a damaged block. The same blocks as DecodeOutput finds. `wide`: some
// block held a character from U+0080 up (whose length depends on `cs`).
bool DecodeBlocks(std::string_view text, screnc::Charset cs, std::string& out, Spans& blocks, bool& wide) {
  out.clear(), blocks.clear();
  wide = false;
  out.reserve(text.size());
  for (std::size_t p = 0; p < text.size();) {
    const std::size_t hit = text.find(screnc::kBlockStart, p);
    const std::size_t upto = hit == npos ? text.size() : hit;
    Tick(upto - p + 1);
    out.append(text.substr(p, upto - p));
    if (hit == npos) break;
    const std::size_t begin = out.size();
    bool decoded = false;
    std::size_t end = text.find(screnc::kBlockEnd, hit + 4);
    for (int tries = 0; !decoded && end != npos && tries < 8; ++tries) {
      const screnc::DecodeResult r = screnc::decode_blocks(text.data() + hit, text.data() + end + 4, cs, out);
      decoded = r.blocks == 1 && r.malformed == 0;
      wide = wide || (decoded && r.wide);
      if (!decoded) out.resize(begin), end = text.find(screnc::kBlockEnd, end + 1);
    }
    if (!decoded) return false;
    Tick(end + 4 - hit);
    blocks.emplace_back(begin, out.size());
    p = end + 4;
  }
  return true;
}

// The source's regions in order, those that touch made one.
void Merge(const std::vector<ScriptScan::Span>& regions, Spans& merged) {
  merged.clear();
  for (const ScriptScan::Span& r : regions)
    if (r.begin < r.end) merged.emplace_back(r.begin, r.end);
  if (!std::is_sorted(merged.begin(), merged.end())) std::sort(merged.begin(), merged.end());
  std::size_t n = 0;
  for (const auto& r : merged) {
    if (n > 0 && r.first <= merged[n - 1].second) merged[n - 1].second = std::max(merged[n - 1].second, r.second);
    else merged[n++] = r;
  }
  merged.resize(n);
}

// Whether a stretch both sides agree on holds script of the source's regions that came
// from no block of the output, blanks aside. Stretches come in order, so the regions and
// blocks passed are never looked at again.
class Readable {
public:
  Readable(const Spans& regions, const Spans& blocks, std::string_view output)
      : regions_(regions), blocks_(blocks), output_(output) {}

  // Source characters [a, a + n), output characters [b, b + n).
  bool In(std::size_t a, std::size_t b, std::size_t n) {
    while (r_ < regions_.size() && regions_[r_].second <= a) ++r_;
    for (std::size_t r = r_; r < regions_.size() && regions_[r].first < a + n; ++r) {
      const std::size_t from = std::max(regions_[r].first, a) - a + b, to = std::min(regions_[r].second, a + n) - a + b;
      while (b_ < blocks_.size() && blocks_[b_].second <= from) ++b_;
      std::size_t x = from;
      for (std::size_t k = b_; x < to; ++k) {
        const std::size_t gap = k < blocks_.size() ? std::min(blocks_[k].first, to) : to;
        for (; x < gap; ++x)
          if (!IsSpace(output_[x])) return true;
        if (k == blocks_.size()) break;
        x = std::max(x, blocks_[k].second);
      }
    }
    return false;
  }

private:
  const Spans& regions_;
  const Spans& blocks_;
  std::string_view output_;
  std::size_t r_ = 0, b_ = 0;
};

// How many bytes from the start `a` and `b` have in common, of the first `n`.
std::size_t Agree(const char* a, const char* b, std::size_t n) {
  constexpr std::size_t kPiece = 256;
  std::size_t k = 0;
  while (n - k >= kPiece && std::memcmp(a + k, b + k, kPiece) == 0) k += kPiece;
  for (std::uint64_t x, y; n - k >= 8; k += 8) {
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    if (x != y) break;
  }
  while (k < n && a[k] == b[k]) ++k;
  return k;
}

// The family a language named at `offset` of the source must have (verify.cpp, Expected).
char FamilyAt(const ScriptScan& scan, std::size_t skip, std::size_t offset) {
  for (const ScriptScan::Named& n : scan.named)
    if (skip + n.begin <= offset && offset <= skip + n.end - 1) return n.family;
  return 0;
}

}  // namespace

bool PassesQuickly(Workspace& w, std::string_view source, std::string_view encoded, FileKind kind, char defaultFamily,
                   char clientFamily) {
  const screnc::Bom bom = screnc::detect_bom(encoded);
  if (bom == screnc::Bom::Utf16LE || bom == screnc::Bom::Utf16BE || bom != screnc::detect_bom(source)) return false;
  const std::size_t skip = screnc::bom_size(bom);
  const std::string_view a = source.substr(skip), text = encoded.substr(skip);
  // A byte that reads as a mark in the texts compared: left to the full comparison.
  if (a.find(kLanguageMark) != npos || text.find(kLanguageMark) != npos) return false;
  // Blocks of ASCII alone read the same in any code page: whether the output is UTF-8 is
  // asked only when a block is not, or one did not read as UTF-8.
  std::string& out = w.output.bytes;
  bool wide = false;
  bool read = DecodeBlocks(text, screnc::Charset::Utf8, out, w.blocks, wide);
  if ((!read || wide) && bom != screnc::Bom::Utf8 && !screnc::is_valid_utf8(text))
    read = DecodeBlocks(text, screnc::Charset::SingleByte, out, w.blocks, wide);
  if (!read) return false;

  const std::function<void()> tick = [] { Tick(); };
  ScriptScan scan = ScanScript(a, kind, defaultFamily, tick);
  if (clientFamily) {
    if (const auto client = ShieldServerScript(a, clientFamily, tick)) {
      scan.regions.insert(scan.regions.end(), client->client.begin(), client->client.end());
      scan.named.insert(scan.named.end(), client->named.begin(), client->named.end());
    }
  }
  Merge(scan.regions, w.regions);
  if (w.blocks.empty()) {
    for (const auto& [begin, end] : w.regions)
      if (std::any_of(a.begin() + static_cast<std::ptrdiff_t>(begin), a.begin() + static_cast<std::ptrdiff_t>(end),
                      [](char c) { return !IsSpace(c); }))
        return false;
  }
  char family = 0;
  const bool asp = kind == FileKind::EncodeAspPage || kind == FileKind::EncodeAspByExtension;
  const std::size_t added = asp && !scan.directive ? AddedDirective(out, family) : 0;
  if (added > 0 && scan.pageFamily && family != scan.pageFamily) return false;
  const std::string_view b = std::string_view(out).substr(added);

  // The two texts compared, side by side. Where both read the same bytes, they compare
  // the same: edits never hold a line break, and which a line has depends on its bytes
  // alone. So the bytes are set side by side as they stand, and only a line where they
  // differ is compared with its edits made: from the start of that line on both sides to
  // its end, where both sides are at the start of a line again.
  Readable readable(w.regions, w.blocks, out);
  const auto lineEnd = [](std::string_view s, std::size_t from) {
    const std::size_t n = s.find('\n', from);
    return n == npos ? s.size() : n + 1;
  };
  // The lines [i, iEnd) of the source and [j, jEnd) of the output, with their edits made.
  const auto lines = [&](std::size_t i, std::size_t iEnd, std::size_t j, std::size_t jEnd) {
    LanguageEdits(a.substr(i, iEnd - i), w.edits);
    LanguageEdits(b.substr(j, jEnd - j), w.outputEdits);
    const std::vector<LanguageEdit>&ea = w.edits, &eb = w.outputEdits;
    const std::size_t i0 = i, j0 = j;
    for (std::size_t ei = 0, ej = 0;;) {
      const std::size_t n = std::min((ei < ea.size() ? i0 + ea[ei].at : iEnd) - i, (ej < eb.size() ? j0 + eb[ej].at : jEnd) - j);
      if (n > 0) {
        Tick(n);
        if (std::memcmp(a.data() + i, b.data() + j, n) != 0 || readable.In(i, added + j, n)) return false;
        i += n, j += n;
        continue;
      }
      const LanguageEdit* x = ei < ea.size() && i0 + ea[ei].at == i ? &ea[ei] : nullptr;
      const LanguageEdit* y = ej < eb.size() && j0 + eb[ej].at == j ? &eb[ej] : nullptr;
      if (x && !x->family) {  // characters the texts compared leave out
        i += x->length, ++ei;
      } else if (y && !y->family) {
        j += y->length, ++ej;
      } else if (x && y) {  // a language named on both sides
        if (x->family != y->family) return false;
        i += x->length, ++ei, j += y->length, ++ej;
      } else if (y) {  // a language the encoder named where the source names none
        const char want = FamilyAt(scan, skip, i < a.size() ? skip + i : source.size());
        if (want && want != y->family) return false;
        j += y->length, ++ej;
      } else {
        return !x && i == iEnd && j == jEnd;
      }
    }
  };
  constexpr std::size_t kStretch = std::size_t(1) << 20;  // bytes between two stop questions
  for (std::size_t i = 0, j = 0;;) {
    const std::size_t n = std::min({a.size() - i, b.size() - j, kStretch});
    const std::size_t same = Agree(a.data() + i, b.data() + j, n);
    Tick(same + 1);
    if (same == n && n == kStretch) {
      if (readable.In(i, added + j, n)) return false;
      i += n, j += n;
      continue;
    }
    if (same == n && i + n == a.size() && j + n == b.size()) return !readable.In(i, added + j, n);
    // The line where they differ, from its start.
    const std::size_t newline = a.substr(i, same).rfind('\n'), start = newline == npos ? 0 : newline + 1;
    if (readable.In(i, added + j, start)) return false;
    i += start, j += start;
    const std::size_t iEnd = lineEnd(a, i), jEnd = lineEnd(b, j);
    if (!lines(i, iEnd, j, jEnd)) return false;
    if (iEnd == a.size() && jEnd == b.size()) return true;
    i = iEnd, j = jEnd;
  }
}

}  // namespace verify_text
