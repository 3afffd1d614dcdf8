#include "program_dir.h"

#include <windows.h>

#include <string>

namespace fs = std::filesystem;

fs::path ProgramDirectory(const char* argv0) {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return fs::absolute(argv0 ? argv0 : "").parent_path() / "";
    if (n < name.size()) {
      name.resize(n);
      break;
    }
    name.resize(name.size() * 2);
  }
  return fs::path(name).parent_path() / "";
}
