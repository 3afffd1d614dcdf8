// The file operations that are the same on every platform, built on the per-platform ones.
#include "fs_ops.h"

namespace fs = std::filesystem;

Status MakeFolders(const fs::path& path) {
  if (IsFolder(path)) return Status::Ok();
  const fs::path parent = path.parent_path();
  if (!parent.empty() && parent != path) {
    if (Status s = MakeFolders(parent); !s.ok()) return s;
  }
  return MakeFolder(path);
}
