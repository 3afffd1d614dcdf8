#include "folder_paths.h"

#include <sys/stat.h>

// The highest folder above `path` on the same device: its mount point.
std::string VolumeRootOf(const std::string& path) {
  std::string at = CleanFolderPath(path);
  struct stat st {};
  while (!at.empty() && stat(at.c_str(), &st) != 0) {
    const std::string up = ParentFolder(at);
    if (up == at) return "/";
    at = up;
  }
  if (at.empty()) return "/";
  const dev_t device = st.st_dev;
  for (int guard = 0; guard < 4096; ++guard) {
    const std::string up = ParentFolder(at);
    struct stat above {};
    if (up == at || stat(up.c_str(), &above) != 0 || above.st_dev != device) return at;
    at = up;
  }
  return at;
}
