// The entry point on POSIX: the arguments are already bytes.
#include "atomic_file.h"
#include "program.h"

int main(int argc, char** argv) {
  screnc::install_cleanup_on_signals();
  return screnc::run_main(std::vector<std::string_view>(argv + 1, argv + argc));
}
