#include "folder_paths.h"

#include "run/util/native_path.h"

#include <windows.h>

// The drive's root ("C:\") or the share's ("\\server\share\"), as the system names it.
std::string VolumeRootOf(const std::string& path) {
  wchar_t root[MAX_PATH + 1];
  if (GetVolumePathNameW(ToNativePath(path).c_str(), root, MAX_PATH + 1)) {
    return CleanFolderPath(ToDisplayPath(std::filesystem::path(root)));
  }
  const std::filesystem::path native = ToNativePath(path);
  return CleanFolderPath(ToDisplayPath(native.root_path()));
}
