#include "run/settings/state_dir.h"

#include <windows.h>
#include <shlobj.h>

namespace fs = std::filesystem;

fs::path ManifestFolder() {
  PWSTR folder = nullptr;
  fs::path base;
  if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder) == S_OK) base = folder;
  CoTaskMemFree(folder);
  if (base.empty()) return {};
  return base / L"Quillward" / L"manifests";
}
