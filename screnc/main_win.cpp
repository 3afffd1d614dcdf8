// The entry point on Windows: the wide command line, so that every file name arrives
// whole (never through the ANSI code page), handed on as UTF-8.
#include <windows.h>

#include <string>
#include <vector>

#include "atomic_file.h"
#include "program.h"
#include "wide_win.h"

int wmain(int argc, wchar_t** argv) {
  screnc::install_cleanup_on_signals();
  std::vector<std::string> utf8;
  for (int k = 1; k < argc; ++k) utf8.push_back(screnc::to_utf8(argv[k]));
  return screnc::run_main(std::vector<std::string_view>(utf8.begin(), utf8.end()));
}
