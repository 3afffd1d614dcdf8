// The entry point on POSIX: the arguments are already bytes.
#include <cstdio>

#include "atomic_file.h"
#include "decode_page.h"
#include "program.h"
#include "serve.h"

int main(int argc, char** argv) {
  screnc::install_cleanup_on_signals();
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == screnc::kServeFlag) return screnc::serve(stdin, stdout);
  if (!args.empty() && args[0] == screnc::kDecodeFlag)
    return screnc::run_decode({args.begin() + 1, args.end()});
  const int status = screnc::run_program(args);
  std::fflush(stdout);
  return status;
}
