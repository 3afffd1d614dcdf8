#include "program_dir.h"

namespace fs = std::filesystem;

fs::path ProgramDirectory(const char* argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) self = fs::weakly_canonical(fs::absolute(argv0 ? argv0 : "", ec), ec);
  return self.parent_path() / "";
}
