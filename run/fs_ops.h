#pragma once
// The file operations of a run, with failures as values. One implementation per platform
// (fs_ops_posix.cpp, fs_ops_win.cpp).

#include "status.h"

#include <QString>
#include <filesystem>
#include <optional>
#include <vector>

struct FolderEntry {
  enum class Type {
    File,        // a regular file, or a link to one (read through the link)
    Folder,      // a real folder (links to folders are never followed)
    FolderLink,  // a link to a folder: not followed, so a walk cannot loop
    Other,       // FIFO, socket, device, broken link: never opened
  };
  std::filesystem::path name;  // one path element, native bytes
  QString displayName;         // for sorting, classification and the log
  Type type = Type::Other;
  QString reason;              // why an Other entry is skipped
};

// The entries of `folder` ("." and ".." left out), in the order the system lists them.
Status ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries);

// Creates the folder `path`. One that already exists is fine; a file in its place is not.
Status MakeFolder(const std::filesystem::path& path);

// Creates `path` and any missing parents.
Status MakeFolders(const std::filesystem::path& path);

// Whether `path` is an existing folder (links followed).
bool IsFolder(const std::filesystem::path& path);

// Copies the regular file `from` to `to`, replacing an existing `to`. The bytes go to a
// temporary file in `to`'s folder that is renamed into place only when complete, so a
// failure never leaves a half-written `to`; the temporary file is removed on failure.
Status CopyFileAtomic(const std::filesystem::path& from, const std::filesystem::path& to);

// What identifies one version of a file: any write or replacement changes it.
struct FileStamp {
  unsigned long long device = 0, inode = 0, size = 0;
  long long modifiedNs = 0, changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::filesystem::path& path);

// Whether names on this platform's file systems are compared without regard to case.
bool FileSystemIgnoresCase();
