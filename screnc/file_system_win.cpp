// The file system on Windows: wide functions, full paths in their long form.
#include <windows.h>

#include <cstdio>

#include "file_system.h"
#include "wide_win.h"

namespace screnc {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (lower(a[k]) != lower(b[k])) return false;
  return true;
}

// The end of the path component that starts at p.
std::size_t component_end(std::string_view path, std::size_t p) {
  while (p < path.size() && !is_separator(path[p])) ++p;
  return p;
}

struct Identity {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const Identity&) const = default;
};

// The identity of a file or folder (links followed), or nullopt when it cannot be opened.
std::optional<Identity> identity(const std::string& path) {
  HANDLE h = CreateFileW(long_path(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

IoError last_error(const char* call, const std::string& path) {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n ? to_utf8(std::wstring_view(text, n)) : std::string();
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  if (reason.empty()) reason = "system error " + std::to_string(code);
  return {call, path, reason};
}

std::optional<IoError> file_info(const std::string& path, FileInfo& info) {
  // Opened, not only asked for attributes, so that a link is followed to its file.
  HANDLE h = CreateFileW(long_path(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error("CreateFileW", path);
  BY_HANDLE_FILE_INFORMATION bhfi{};
  const bool ok = GetFileInformationByHandle(h, &bhfi) != 0;
  const DWORD type = GetFileType(h);
  std::optional<IoError> err;
  if (!ok) err = last_error("GetFileInformationByHandle", path);
  CloseHandle(h);
  if (err) return err;
  const DWORD a = bhfi.dwFileAttributes;
  info.regular = type == FILE_TYPE_DISK && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
  info.hidden = (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
  info.read_only = (a & FILE_ATTRIBUTE_READONLY) != 0;
  info.mode = 0;
  return std::nullopt;
}

bool exists(const std::string& path) {
  return GetFileAttributesW(long_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool same_file(const std::string& a, const std::string& b) {
  if (equal_ignoring_case(a, b)) return true;
  const auto ia = identity(a);
  return ia && ia == identity(b);
}

std::string full_path(const std::string& path) {
  const std::wstring w = to_wide(path);
  DWORD size = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  std::wstring full;
  while (size > 0) {
    full.resize(size);
    const DWORD n = GetFullPathNameW(w.c_str(), size, full.data(), nullptr);
    if (n < size) {
      full.resize(n);
      break;
    }
    size = n;
  }
  std::string s = full.empty() ? path : to_utf8(full);
  while (s.size() > root_length(s) && is_separator(s.back())) s.pop_back();
  return s;
}

std::optional<IoError> list_folder(const std::string& folder, std::vector<std::string>& names) {
  const std::wstring pattern = long_path(folder + (is_separator(folder.back()) ? "*" : "\\*"));
  WIN32_FIND_DATAW fd{};
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                              nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::nullopt;  // an empty drive
    return last_error("FindFirstFileExW", folder);
  }
  do {
    const std::wstring_view n = fd.cFileName;
    if (n != L"." && n != L"..") names.push_back(to_utf8(n));
  } while (FindNextFileW(h, &fd));
  std::optional<IoError> err;
  if (GetLastError() != ERROR_NO_MORE_FILES) err = last_error("FindNextFileW", folder);
  FindClose(h);
  return err;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

char preferred_separator() { return '\\'; }

std::size_t root_length(std::string_view path) {
  auto sep = [&](std::size_t k) { return k < path.size() && is_separator(path[k]); };
  auto drive = [&](std::size_t k) {  // "C:" or "C:\" at k
    if (k + 1 >= path.size() || path[k + 1] != ':') return std::size_t(0);
    return sep(k + 2) ? std::size_t(3) : std::size_t(2);
  };
  auto unc = [&](std::size_t k) {  // "server\share\" at k
    const std::size_t server = component_end(path, k);
    if (server >= path.size()) return server;
    const std::size_t share = component_end(path, server + 1);
    return share < path.size() ? share + 1 : share;
  };
  if (sep(0) && sep(1)) {
    if (path.size() > 3 && (path[2] == '?' || path[2] == '.') && sep(3)) {
      const std::string_view rest = path.substr(4);
      if (rest.size() >= 4 && equal_ignoring_case(rest.substr(0, 3), "unc") && is_separator(rest[3]))
        return unc(8);
      const std::size_t d = drive(4);
      return d ? 4 + d : component_end(path, 4) + (sep(component_end(path, 4)) ? 1 : 0);
    }
    return unc(2);
  }
  if (const std::size_t d = drive(0)) return d;
  return sep(0) ? 1 : 0;
}

NameUnits name_units() { return NameUnits::Utf16; }

std::size_t name_limit(const std::string&) { return 255; }

}  // namespace screnc
