// The encoder's own time on one page, without the file system: reads the page once, then
// encodes it in memory RUNS times (output counted, not kept) and prints the best and the
// median of the runs in ms and MB/s.
//   encode_loop PAGE [RUNS]
// Built by run.sh against build/screnc/libscrenc_core.a.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "encode_file.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: encode_loop PAGE [RUNS]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string page{std::istreambuf_iterator<char>(in), {}};
  const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
  screnc::KindOptions opt;
  opt.kind = screnc::Kind::Asp;
  opt.default_lang = screnc::Lang::VBScript;
  std::vector<double> ms;
  std::size_t out_bytes = 0;
  for (int r = 0; r < runs; ++r) {
    out_bytes = 0;
    const auto t0 = std::chrono::steady_clock::now();
    screnc::encode_file_stream(page, opt, std::nullopt,
                               [&](std::string_view piece) { out_bytes += piece.size(); });
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%zu bytes in, %zu out: best %.1f ms (%.0f MB/s), median %.1f ms, worst %.1f ms\n",
              page.size(), out_bytes, ms.front(), page.size() / ms.front() / 1e3,
              ms[ms.size() / 2], ms.back());
}
