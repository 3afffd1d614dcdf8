// Reading a page's file on Windows.
#include <windows.h>

#include "page_reader.h"
#include "wide_win.h"

namespace screnc {

std::optional<IoError> SourceFile::open(const std::string& path, std::uint64_t& size) {
  close();
  path_ = path;
  // Shared for writing and deleting too: encoding in place replaces the file while it is
  // open here.
  HANDLE h = CreateFileW(long_path(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error("CreateFileW", path);
  handle_ = reinterpret_cast<std::intptr_t>(h);
  LARGE_INTEGER n{};
  size = GetFileSizeEx(h, &n) && n.QuadPart > 0 ? static_cast<std::uint64_t>(n.QuadPart) : 0;
  return std::nullopt;
}

std::optional<IoError> SourceFile::read(char* to, std::size_t n, std::size_t& got) {
  constexpr std::size_t kMost = std::size_t(1) << 30;
  DWORD r = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), to, static_cast<DWORD>(n < kMost ? n : kMost),
                &r, nullptr))
    return last_error("ReadFile", path_);
  got = r;
  return std::nullopt;
}

void SourceFile::close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

}  // namespace screnc
