// The entry point on Windows: the wide command line, so that every file name arrives
// whole (never through the ANSI code page), handed on as UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "decode_page.h"
#include "program.h"
#include "serve.h"
#include "wide_win.h"

int wmain(int argc, wchar_t** argv) {
  screnc::install_cleanup_on_signals();
  std::vector<std::string> utf8;
  for (int k = 1; k < argc; ++k) utf8.push_back(screnc::to_utf8(argv[k]));
  const std::vector<std::string_view> args(utf8.begin(), utf8.end());
  if (args.size() == 1 && args[0] == screnc::kServeFlag) return screnc::serve(stdin, stdout);
  if (!args.empty() && args[0] == screnc::kDecodeFlag)
    return screnc::run_decode({args.begin() + 1, args.end()});
  const int status = screnc::run_program(args);
  std::fflush(stdout);
  return status;
}
