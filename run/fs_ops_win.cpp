// File operations on Windows, through std::filesystem (wide paths throughout).
#include "fs_ops.h"

#include <atomic>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

FolderEntry::Type TypeOf(const fs::directory_entry& e, QString& reason) {
  std::error_code ec;
  const fs::file_status own = e.symlink_status(ec);
  if (ec) {
    reason = Status::FromError(ec, "GetFileAttributesW", e.path()).reason();
    return FolderEntry::Type::Other;
  }
  const fs::file_status target = e.status(ec);  // follows links and junctions
  if (ec) {
    reason = Status::FromError(ec, "GetFileAttributesW", e.path()).reason();
    return FolderEntry::Type::Other;
  }
  // Symbolic links and junctions are both reparse points.
  const DWORD attributes = GetFileAttributesW(e.path().c_str());
  const bool isLink = fs::is_symlink(own) || (attributes != INVALID_FILE_ATTRIBUTES &&
                                              (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
  if (fs::is_directory(target)) return isLink ? FolderEntry::Type::FolderLink : FolderEntry::Type::Folder;
  if (fs::is_regular_file(target)) return FolderEntry::Type::File;
  reason = QStringLiteral("not a regular file");
  return FolderEntry::Type::Other;
}

}  // namespace

Status ListFolder(const fs::path& folder, std::vector<FolderEntry>& entries) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return Status::FromError(ec, "FindFirstFileW", folder);
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    FolderEntry entry;
    entry.name = it->path().filename();
    entry.displayName = QString::fromStdWString(entry.name.native());
    entry.type = TypeOf(*it, entry.reason);
    entries.push_back(std::move(entry));
  }
  if (ec) return Status::FromError(ec, "FindNextFileW", folder);
  return Status::Ok();
}

Status MakeFolder(const fs::path& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return Status::Ok();
  const DWORD err = GetLastError();
  if (err == ERROR_ALREADY_EXISTS && IsFolder(path)) return Status::Ok();
  return Status::FromError(std::error_code(static_cast<int>(err), std::system_category()),
                           "CreateDirectoryW", path);
}

bool IsFolder(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

Status CopyFileAtomic(const fs::path& from, const fs::path& to) {
  static std::atomic<unsigned> counter{0};
  const fs::path tmp = to.parent_path() / (L".qw-" + std::to_wstring(GetCurrentProcessId()) +
                                           L"-" + std::to_wstring(counter.fetch_add(1)) + L".tmp");
  if (!CopyFileW(from.c_str(), tmp.c_str(), TRUE)) {
    const std::error_code ec(static_cast<int>(GetLastError()), std::system_category());
    DeleteFileW(tmp.c_str());
    return Status::FromError(ec, "CopyFileW", from);
  }
  // The copy keeps the source's attributes; a read-only one must not block replacing it.
  SetFileAttributesW(tmp.c_str(), GetFileAttributesW(tmp.c_str()) & ~FILE_ATTRIBUTE_READONLY);
  if (!MoveFileExW(tmp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const std::error_code ec(static_cast<int>(GetLastError()), std::system_category());
    DeleteFileW(tmp.c_str());
    return Status::FromError(ec, "MoveFileExW", to);
  }
  return Status::Ok();
}

std::optional<FileStamp> StampOf(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FileStamp s;
  s.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  s.modifiedNs = static_cast<long long>(
      (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime);
  s.changedNs = static_cast<long long>(
      (static_cast<unsigned long long>(data.ftCreationTime.dwHighDateTime) << 32) |
      data.ftCreationTime.dwLowDateTime);
  return s;
}

bool FileSystemIgnoresCase() { return true; }
