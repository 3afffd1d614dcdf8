// Simple case folding (the "C" and "S" mappings of Unicode's case folding data) for the
// scripts whose file names the run sorts most often. Each run of the table maps `count`
// code points from `first` on, every `stride`-th one, by adding `delta`.
#include "run/util/text.h"

#include <algorithm>
#include <iterator>

namespace {

struct FoldRun {
  char32_t first;
  unsigned count;
  int delta;
  unsigned stride;
};

constexpr FoldRun kFoldRuns[] = {
    {0x0041, 26, 32, 1}, {0x00B5, 1, 775, 1}, {0x00C0, 23, 32, 1}, {0x00D8, 7, 32, 1},
    {0x0100, 24, 1, 2}, {0x0132, 3, 1, 2}, {0x0139, 8, 1, 2}, {0x014A, 23, 1, 2},
    {0x0178, 1, -121, 1}, {0x0179, 3, 1, 2}, {0x017F, 1, -268, 1}, {0x0181, 1, 210, 1},
    {0x0182, 2, 1, 2}, {0x0186, 1, 206, 1}, {0x0187, 1, 1, 1}, {0x0189, 2, 205, 1},
    {0x018B, 1, 1, 1}, {0x018E, 1, 79, 1}, {0x018F, 1, 202, 1}, {0x0190, 1, 203, 1},
    {0x0191, 1, 1, 1}, {0x0193, 1, 205, 1}, {0x0194, 1, 207, 1}, {0x0196, 1, 211, 1},
    {0x0197, 1, 209, 1}, {0x0198, 1, 1, 1}, {0x019C, 1, 211, 1}, {0x019D, 1, 213, 1},
    {0x019F, 1, 214, 1}, {0x01A0, 3, 1, 2}, {0x01A6, 1, 218, 1}, {0x01A7, 1, 1, 1},
    {0x01A9, 1, 218, 1}, {0x01AC, 1, 1, 1}, {0x01AE, 1, 218, 1}, {0x01AF, 1, 1, 1},
    {0x01B1, 2, 217, 1}, {0x01B3, 2, 1, 2}, {0x01B7, 1, 219, 1}, {0x01B8, 1, 1, 1},
    {0x01BC, 1, 1, 1}, {0x01C4, 1, 2, 1}, {0x01C5, 1, 1, 1}, {0x01C7, 1, 2, 1},
    {0x01C8, 1, 1, 1}, {0x01CA, 1, 2, 1}, {0x01CB, 9, 1, 2}, {0x01DE, 9, 1, 2},
    {0x01F1, 1, 2, 1}, {0x01F2, 2, 1, 2}, {0x01F6, 1, -97, 1}, {0x01F7, 1, -56, 1},
    {0x01F8, 20, 1, 2}, {0x0220, 1, -130, 1}, {0x0222, 9, 1, 2}, {0x023A, 1, 10795, 1},
    {0x023B, 1, 1, 1}, {0x023D, 1, -163, 1}, {0x023E, 1, 10792, 1}, {0x0241, 1, 1, 1},
    {0x0243, 1, -195, 1}, {0x0244, 1, 69, 1}, {0x0245, 1, 71, 1}, {0x0246, 5, 1, 2},
    {0x0345, 1, 116, 1}, {0x0370, 2, 1, 2}, {0x0376, 1, 1, 1}, {0x037F, 1, 116, 1},
    {0x0386, 1, 38, 1}, {0x0388, 3, 37, 1}, {0x038C, 1, 64, 1}, {0x038E, 2, 63, 1},
    {0x0391, 17, 32, 1}, {0x03A3, 9, 32, 1}, {0x03C2, 1, 1, 1}, {0x03CF, 1, 8, 1},
    {0x03D0, 1, -30, 1}, {0x03D1, 1, -25, 1}, {0x03D5, 1, -15, 1}, {0x03D6, 1, -22, 1},
    {0x03D8, 12, 1, 2}, {0x03F0, 1, -54, 1}, {0x03F1, 1, -48, 1}, {0x03F4, 1, -60, 1},
    {0x03F5, 1, -64, 1}, {0x03F7, 1, 1, 1}, {0x03F9, 1, -7, 1}, {0x03FA, 1, 1, 1},
    {0x03FD, 3, -130, 1}, {0x0400, 16, 80, 1}, {0x0410, 32, 32, 1}, {0x0460, 17, 1, 2},
    {0x048A, 27, 1, 2}, {0x04C0, 1, 15, 1}, {0x04C1, 7, 1, 2}, {0x04D0, 48, 1, 2},
    {0x0531, 38, 48, 1}, {0x1E00, 75, 1, 2}, {0x1E9B, 1, -58, 1}, {0x1E9E, 1, -7615, 1},
    {0x1EA0, 48, 1, 2}, {0xFF21, 26, 32, 1},
};

}  // namespace

char32_t FoldCase(char32_t cp) {
  if (cp < 0x80) return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
  // The last run that starts at or before cp.
  const auto after = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), cp,
                                      [](char32_t c, const FoldRun& r) { return c < r.first; });
  if (after == std::begin(kFoldRuns)) return cp;
  const FoldRun& run = *std::prev(after);
  const char32_t offset = cp - run.first;
  if (offset % run.stride != 0 || offset / run.stride >= run.count) return cp;
  return static_cast<char32_t>(static_cast<int>(cp) + run.delta);
}
