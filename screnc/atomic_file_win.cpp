// Reading and atomically replacing files on Windows.
//
// The new content goes to a temporary file beside the destination that is marked for
// deletion while it is written (FileDispositionInfo), so that if the process is ended
// at any moment the system removes it; only once complete is the mark taken off and the
// file put in place: ReplaceFileW over an existing destination (it keeps the replaced
// file's attributes and security), MoveFileExW for a new one.
#include <windows.h>

#include <cstdio>

#include "atomic_file.h"
#include "paths.h"
#include "wide_win.h"

namespace screnc {
namespace {

constexpr DWORD kChunk = 1u << 30;  // WriteFile takes a 32-bit size

// short_name: without the destination's name, for a file system whose real limit is
// lower than it says (Wine counts the bytes of the host's UTF-8 names).
std::string temp_name(const std::string& path, unsigned attempt, bool short_name) {
  char unique[48];
  std::snprintf(unique, sizeof unique, "%lu-%llx-%u", GetCurrentProcessId(),
                static_cast<unsigned long long>(GetTickCount64()), attempt);
  const std::string dir = folder_part(path);
  const std::size_t limit = short_name ? 0 : name_limit(dir);
  return join(dir, temp_file_name(name_part(path), unique, limit, name_units()));
}

bool set_delete_mark(HANDLE h, bool marked) {
  FILE_DISPOSITION_INFO d{};
  d.DeleteFile = marked ? TRUE : FALSE;
  return SetFileInformationByHandle(h, FileDispositionInfo, &d, sizeof d) != 0;
}

// A new temporary file beside path, open for writing; its name in temp.
std::optional<IoError> create_temp(const std::string& path, HANDLE& h, std::string& temp) {
  bool short_name = false;
  for (unsigned attempt = 0;; ++attempt) {
    temp = temp_name(path, attempt, short_name);
    h = CreateFileW(long_path(temp).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::nullopt;
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_EXISTS && attempt < 100) continue;
    if (code != ERROR_FILE_EXISTS && !short_name && attempt < 100) {
      short_name = true;
      continue;
    }
    SetLastError(code);
    return last_error("CreateFileW", temp);
  }
}

std::optional<IoError> write_all(HANDLE h, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    DWORD n = 0;
    const DWORD want = data.size() > kChunk ? kChunk : static_cast<DWORD>(data.size());
    if (!WriteFile(h, data.data(), want, &n, nullptr)) return last_error("WriteFile", path);
    data.remove_prefix(n);
  }
  return std::nullopt;
}

// Puts the complete temporary file in place of path.
std::optional<IoError> put_in_place(const std::string& temp, const std::string& path) {
  const std::wstring from = long_path(temp), to = long_path(path);
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // Never put a file in place of a folder (Wine's ReplaceFileW would do it).
    SetLastError(ERROR_ACCESS_DENIED);
    return last_error("ReplaceFileW", path);
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr))
      return std::nullopt;
    const DWORD code = GetLastError();
    // Only when the destination is gone and the new file still has its own name is a
    // plain move right; any other failure leaves the destination as it was.
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
      return last_error("ReplaceFileW", path);
  }
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return std::nullopt;
  return last_error("MoveFileExW", path);
}

// The destination opened to be written into when it is a character device (CON, NUL,
// COM1, CONOUT$) or a pipe, else nothing. Only a name in the device namespace (full_path
// gives "\\.\NUL" for NUL) or an existing entry that is a reparse point can be one; other
// names are never opened here.
HANDLE open_stream(const std::string& path) {
  const std::wstring wide = long_path(path);
  const bool device = wide.rfind(L"\\\\.\\", 0) == 0;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  const bool link = attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                    !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!device && !link) return INVALID_HANDLE_VALUE;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  const DWORD type = GetFileType(h);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) return h;
  CloseHandle(h);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool written_as_stream(const std::string& path) {
  const HANDLE h = open_stream(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::optional<IoError> AtomicWrite::open(const std::string& path,
                                         std::optional<std::uint32_t> mode) {
  discard();
  path_ = path;
  mode_ = mode;
  const HANDLE device = open_stream(path);
  stream_ = device != INVALID_HANDLE_VALUE;
  if (stream_) {  // written into as it is: no temporary file, no deletion mark
    handle_ = reinterpret_cast<std::intptr_t>(device);
    marked_ = false;
    return std::nullopt;
  }
  HANDLE h = INVALID_HANDLE_VALUE;
  if (auto err = create_temp(path, h, temp_)) {
    temp_.clear();
    return err;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  marked_ = set_delete_mark(h, true);
  return std::nullopt;
}

std::optional<IoError> AtomicWrite::write(std::string_view data) {
  return write_all(reinterpret_cast<HANDLE>(handle_), data, path_);
}

std::optional<IoError> AtomicWrite::commit() {
  const HANDLE h = reinterpret_cast<HANDLE>(handle_);
  handle_ = -1;
  std::optional<IoError> err;
  if (stream_) {
    if (!CloseHandle(h)) err = last_error("CloseHandle", path_);
    return err;
  }
  if (marked_ && !set_delete_mark(h, false)) err = last_error("SetFileInformationByHandle", temp_);
  if (!CloseHandle(h) && !err) err = last_error("CloseHandle", temp_);
  if (!err) err = put_in_place(temp_, path_);
  if (!err) temp_.clear();
  discard();
  return err;
}

void AtomicWrite::discard() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));  // marked: deleted
  handle_ = -1;
  if (!temp_.empty() && exists(temp_)) DeleteFileW(long_path(temp_).c_str());
  temp_.clear();
}

void install_cleanup_on_signals() {
  // Nothing to do: a temporary file is marked for deletion until it is complete, so the
  // system removes it however the process ends.
}

}  // namespace screnc
