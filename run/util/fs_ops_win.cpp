// File operations on Windows, through std::filesystem (wide paths throughout).
#include "run/util/fs_ops.h"

#include "run/util/sha256.h"

#include "run/util/native_path.h"
#include "run/util/text.h"

#include <algorithm>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

FolderEntry::Type TypeOf(const fs::directory_entry& e, std::string& reason) {
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
  reason = "not a regular file";
  return FolderEntry::Type::Other;
}

}  // namespace

namespace {
long long FileTimeNumber(const FILETIME& t) {
  return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

// StampOf's stamp from what a listing or an attribute query says: the size, the last
// write time and the creation time as FILETIME numbers.
FileStamp StampOfData(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written, const FILETIME& created) {
  FileStamp s;
  s.size = (static_cast<unsigned long long>(sizeHigh) << 32) | sizeLow;
  s.modifiedNs = FileTimeNumber(written);
  s.changedNs = FileTimeNumber(created);
  return s;
}

Status FindError(const char* call, const fs::path& folder) {
  return Status::FromError(std::error_code(static_cast<int>(GetLastError()), std::system_category()), call, folder);
}
}  // namespace

// One FindFirstFileExW listing carries each entry's attributes, size and times: a plain
// file or folder needs no look of its own; a reparse point (a link or a junction) is
// looked at as before, through it and not.
Status ListFolder(const fs::path& folder, std::vector<FolderEntry>& entries, bool stamps) {
  WIN32_FIND_DATAW data;
  const fs::path pattern = folder / L"*";
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return Status::Ok();  // a root with nothing in it
    return FindError("FindFirstFileExW", folder);
  }
  do {
    const wchar_t* n = data.cFileName;
    if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
    FolderEntry entry;
    entry.name = n;
    entry.displayName = Utf8FromWide(entry.name.native());
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      entry.type = TypeOf(fs::directory_entry(folder / entry.name), entry.reason);
      if (stamps && entry.type == FolderEntry::Type::File) entry.stamp = StampOf(folder / entry.name);
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.type = FolderEntry::Type::Folder;
    } else {
      entry.type = FolderEntry::Type::File;
      entry.stamp = StampOfData(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime, data.ftCreationTime);
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find, &data));
  const DWORD err = GetLastError();
  FindClose(find);
  if (err != ERROR_NO_MORE_FILES) {
    SetLastError(err);
    return FindError("FindNextFileW", folder);
  }
  return Status::Ok();
}

namespace {
Status LastError(const char* call, const fs::path& path) {
  return Status::FromError(std::error_code(static_cast<int>(GetLastError()), std::system_category()),
                           call, path);
}
bool IsReparsePoint(const fs::path& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}
// Removes a link or junction itself, never what it points to: it is opened without being
// followed and deleted through that handle. Where what was opened is the link's target
// all the same (Wine shows the host's symbolic links to folders so), nothing is removed.
Status RemoveReparsePoint(const fs::path& path) {
  HANDLE h = CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError("CreateFileW", path);
  BY_HANDLE_FILE_INFORMATION own;
  Status status = GetFileInformationByHandle(h, &own) ? Status::Ok() : LastError("GetFileInformationByHandle", path);
  const FileId ownId{own.dwVolumeSerialNumber,
                     (static_cast<unsigned long long>(own.nFileIndexHigh) << 32) | own.nFileIndexLow};
  if (status.ok() && IdentityOf(path) == ownId) {
    status = Status::Fail("a link that cannot be removed without what it leads to, left as it is (" +
                          ToDisplayPath(path) + ")");
  }
  FILE_DISPOSITION_INFO remove{TRUE};
  if (status.ok() && !SetFileInformationByHandle(h, FileDispositionInfo, &remove, sizeof remove)) {
    status = LastError("SetFileInformationByHandle", path);
  }
  CloseHandle(h);
  return status;
}
}  // namespace

Status MakeFolder(const fs::path& path, bool* existed) {
  if (existed) *existed = false;
  if (CreateDirectoryW(path.c_str(), nullptr)) return Status::Ok();
  const DWORD err = GetLastError();
  if (err == ERROR_ALREADY_EXISTS && IsReparsePoint(path)) {
    if (Status removed = RemoveReparsePoint(path); !removed.ok()) return removed;
    if (CreateDirectoryW(path.c_str(), nullptr)) return Status::Ok();
    return LastError("CreateDirectoryW", path);
  }
  if (err == ERROR_ALREADY_EXISTS && IsFolder(path)) {
    if (existed) *existed = true;
    return Status::Ok();
  }
  return Status::FromError(std::error_code(static_cast<int>(err), std::system_category()),
                           "CreateDirectoryW", path);
}

Status RemoveIfLink(const fs::path& path) {
  if (!IsReparsePoint(path)) return Status::Ok();
  return RemoveReparsePoint(path);
}

// MoveFileExW with MOVEFILE_REPLACE_EXISTING, tried again for up to a second while the
// name it replaces is open elsewhere: a virus scanner looking at a new file, or the
// encoder reading another name of the same file (a hard link), holds it only briefly.
bool MoveReplacing(const fs::path& from, const fs::path& to) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD err = GetLastError();
    if (attempt == 20 || (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION)) {
      SetLastError(err);
      return false;
    }
    Sleep(50);
  }
}

Status RenameOver(const fs::path& from, const fs::path& to) {
  if (!MoveReplacing(from, to)) return LastError("MoveFileExW", to);
  return Status::Ok();
}

Status RemoveFile(const fs::path& path) {
  if (DeleteFileW(path.c_str())) return Status::Ok();
  const DWORD err = GetLastError();
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return Status::Ok();
  return Status::FromError(std::error_code(static_cast<int>(err), std::system_category()),
                           "DeleteFileW", path);
}

bool Exists(const fs::path& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<FileId> IdentityOf(const fs::path& path) {
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool ProcessRuns(unsigned long pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return running;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

Status CreateExclusive(const fs::path& path, std::string_view content) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError("CreateFileW", path);
  DWORD written = 0;
  const BOOL ok = WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  const Status status = ok ? Status::Ok() : LastError("WriteFile", path);
  CloseHandle(h);
  return status;
}

std::vector<fs::path> RemoveLeftoverTemporaries(const fs::path& folder, unsigned long endedRun) {
  std::vector<fs::path> removed;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::wstring wide = it->path().filename().native();
    if (wide.empty() || wide[0] != L'.') continue;
    std::string name;
    for (wchar_t c : wide) name += c < 128 ? static_cast<char>(c) : '?';
    unsigned long pid = 0;
    if (!IsLeftoverTemporaryName(name, pid)) continue;
    if (!(endedRun != 0 && IsOwnTemporaryOf(name, endedRun)) && ProcessRuns(pid)) continue;
    if (DeleteFileW(it->path().c_str())) {
      removed.push_back(it->path());
    } else if (std::error_code ec; it->is_directory(ec) && !it->is_symlink(ec)) {  // a second pass's (include_client.h)
      if (fs::remove_all(it->path(), ec) > 0 && !ec) removed.push_back(it->path());
    }
  }
  return removed;
}

Status ReadRegularFile(const fs::path& path, std::string& bytes) {
  bytes.clear();
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError("CreateFileW", path);
  BY_HANDLE_FILE_INFORMATION info;
  Status status = Status::Ok();
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    status = Status::Fail("not a regular file (CreateFileW " + ToDisplayPath(path) + ")");
  }
  char buffer[1 << 16];
  for (DWORD n = 0; status.ok();) {
    if (!ReadFile(h, buffer, sizeof buffer, &n, nullptr)) status = LastError("ReadFile", path);
    else if (n == 0) break;
    else bytes.append(buffer, n);
  }
  CloseHandle(h);
  if (!status.ok()) bytes.clear();
  return status;
}

bool IsFolder(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

Status CopyModifiedTime(const fs::path& from, const fs::path& to) {
  const std::optional<FileStamp> stamp = StampOf(from);
  if (!stamp) {
    return Status::FromError(std::error_code(static_cast<int>(GetLastError()), std::system_category()),
                             "GetFileAttributesExW", from);
  }
  return SetModifiedTime(to, *stamp);
}

// StampOf keeps the FILETIME itself, in 100 ns units since 1601.
Status SetModifiedTime(const fs::path& to, const FileStamp& from) {
  FILETIME written;
  written.dwLowDateTime = static_cast<DWORD>(static_cast<unsigned long long>(from.modifiedNs) & 0xFFFFFFFFu);
  written.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(from.modifiedNs) >> 32);
  HANDLE file = CreateFileW(to.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return Status::FromError(std::error_code(static_cast<int>(GetLastError()), std::system_category()),
                             "CreateFileW", to);
  }
  const bool set = SetFileTime(file, nullptr, nullptr, &written);
  const std::error_code ec(static_cast<int>(GetLastError()), std::system_category());
  CloseHandle(file);
  if (!set) return Status::FromError(ec, "SetFileTime", to);
  return Status::Ok();
}

bool RemoveEmptyFolder(const fs::path& path) { return RemoveDirectoryW(path.c_str()) != 0; }

bool NameExists(const fs::path& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsLink(const fs::path& path) { return IsReparsePoint(path); }

Status CopyFileAtomic(const fs::path& from, const fs::path& to, std::string* sourceSha) {
  // CopyFileW copies in the system: the bytes are read once more for their hash.
  if (sourceSha && !Sha256OfFile(from, *sourceSha).ok()) sourceSha->clear();
  const fs::path tmp = TemporaryBeside(to);
  if (!CopyFileW(from.c_str(), tmp.c_str(), TRUE)) {
    const std::error_code ec(static_cast<int>(GetLastError()), std::system_category());
    DeleteFileW(tmp.c_str());
    if (sourceSha) sourceSha->clear();
    return Status::FromError(ec, "CopyFileW", from);
  }
  // The copy keeps the source's attributes; a read-only one must not block replacing it.
  SetFileAttributesW(tmp.c_str(), GetFileAttributesW(tmp.c_str()) & ~FILE_ATTRIBUTE_READONLY);
  if (!MoveReplacing(tmp, to)) {
    const std::error_code ec(static_cast<int>(GetLastError()), std::system_category());
    DeleteFileW(tmp.c_str());
    if (sourceSha) sourceSha->clear();
    return Status::FromError(ec, "MoveFileExW", to);
  }
  return Status::Ok();
}

std::optional<FileStamp> StampOf(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return StampOfData(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime, data.ftCreationTime);
}

// A look by path costs what a look from an open folder would: nothing is held.
FolderHandle::FolderHandle(const fs::path&) {}
FolderHandle::~FolderHandle() = default;

std::optional<FileStamp> FolderHandle::Stamp(const fs::path& path, const fs::path&) const { return StampOf(path); }

std::optional<FileStamp> FolderHandle::PlainFileStamp(const fs::path& path, const fs::path&) const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  return StampOfData(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime, data.ftCreationTime);
}

namespace {

// The standard library takes neither "\\?\" paths nor "\\server\share" roots apart
// as Windows does; paths are read here the system's own way.
std::wstring FullPathName(const std::wstring& path) {
  std::wstring out(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr);
    if (n == 0) return path;
    if (n < out.size()) {
      out.resize(n);
      return out;
    }
    out.resize(n);
  }
}

// The length of the root of `path`: "C:\" or "\\server\share\" (without the last
// separator when nothing follows it).
std::size_t RootLength(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.size() >= 3 && path[2] == L'\\' ? 3 : 2;
  if (path.starts_with(L"\\\\")) {
    const std::size_t server = path.find(L'\\', 2);
    if (server == std::wstring::npos) return path.size();
    const std::size_t share = path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path.size() : share + 1;
  }
  return path.starts_with(L"\\") ? 1 : 0;
}

}  // namespace

fs::path PlainPath(const fs::path& path) {
  std::wstring s = path.native();
  std::replace(s.begin(), s.end(), L'/', L'\\');
  if (s.starts_with(L"\\\\?\\UNC\\")) s = L"\\\\" + s.substr(8);
  else if (s.starts_with(L"\\\\?\\")) s = s.substr(4);
  s = FullPathName(s);
  while (s.size() > RootLength(s) && s.back() == L'\\') s.pop_back();
  return s;
}

fs::path RealPath(const fs::path& path) { return PlainPath(path); }

fs::path ParentFolder(const fs::path& path) {
  const std::wstring& s = path.native();
  const std::size_t root = RootLength(s);
  if (s.size() <= root) return {};
  const std::size_t last = s.rfind(L'\\');
  return s.substr(0, last == std::wstring::npos || last < root ? root : last);
}

fs::path AbsolutePath(const fs::path& path) {
  if (path.native().starts_with(L"\\\\?\\")) return path;
  return FullPathName(path.native());
}

bool FileSystemIgnoresCase() { return true; }

Status AppendingFile::Open(const fs::path& path) {
  Close();
  path_ = path;
  // No security attributes: the handle is not inherited by the encoder.
  HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError("CreateFileW", path);
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return Status::Ok();
}

Status AppendingFile::Append(std::string_view bytes) {
  DWORD written = 0;
  if (!WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                 nullptr) ||
      written != bytes.size()) {
    return LastError("WriteFile", path_);
  }
  return Status::Ok();
}

void AppendingFile::Close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}
