// On Windows the type comes from the attributes before anything is opened, and from
// GetFileType on what was opened: FILE_TYPE_DISK is a file, FILE_TYPE_CHAR a device
// (CON, NUL, COM1), FILE_TYPE_PIPE a pipe.
#include "run/util/non_regular.h"
#include "run/util/fs_ops.h"

#include "run/util/native_path.h"

#include <windows.h>

namespace fs = std::filesystem;

namespace {

Status LastError(const char* call, const fs::path& path) {
  return Status::FromError(std::error_code(static_cast<int>(GetLastError()), std::system_category()),
                           call, path);
}

Status NotRegular(const char* call, const fs::path& path) {
  return Status::Fail("not a regular file (" + std::string(call) + " " + ToDisplayPath(path) + ")");
}

bool InDeviceNamespace(const fs::path& path) {
  const std::wstring& w = path.native();
  return w.size() > 4 && (w[0] == L'\\' || w[0] == L'/') && (w[1] == L'\\' || w[1] == L'/') &&
         w[2] == L'.' && (w[3] == L'\\' || w[3] == L'/');
}

// `path` opened for writing when it is a device or a pipe, else INVALID_HANDLE_VALUE.
// Only a name in the device namespace ("\\.\NUL", "\\.\pipe\x"), a reserved name
// (NUL, CON, COM1: the system maps them to devices) or a reparse point can be one.
HANDLE OpenStream(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  const bool reparse = attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  wchar_t full[MAX_PATH];
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  const bool device = InDeviceNamespace(path) || (n > 0 && n < MAX_PATH && InDeviceNamespace(fs::path(full)));
  if (!reparse && !device) return INVALID_HANDLE_VALUE;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  const DWORD type = GetFileType(h);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) return h;
  CloseHandle(h);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

Status ReadRegularFile(const fs::path& path, std::string& text, bool& missing) {
  missing = false;
  text.clear();
  if (InDeviceNamespace(path)) return NotRegular("GetFileAttributesW", path);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      missing = true;
      return Status::Ok();
    }
    return LastError("GetFileAttributesW", path);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NotRegular("GetFileAttributesW", path);
  return ReadRegularFile(path, text);  // which refuses a pipe or device put in its place since
}

bool IsStreamTarget(const fs::path& path) {
  const HANDLE h = OpenStream(path);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

Status WriteIntoStream(const fs::path& path, std::string_view content) {
  SetLastError(ERROR_SUCCESS);
  const HANDLE h = OpenStream(path);
  if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SUCCESS) return LastError("CreateFileW", path);
  if (h == INVALID_HANDLE_VALUE) return Status::Fail("not a device or pipe (GetFileType " + ToDisplayPath(path) + ")");
  Status status = Status::Ok();
  for (size_t done = 0; done < content.size() && status.ok();) {
    const DWORD want = content.size() - done > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size() - done);
    DWORD wrote = 0;
    if (!WriteFile(h, content.data() + done, want, &wrote, nullptr)) status = LastError("WriteFile", path);
    done += wrote;
  }
  CloseHandle(h);
  return status;
}
