// Reading a page's file on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "page_reader.h"

namespace screnc {

std::optional<IoError> SourceFile::open(const std::string& path, std::uint64_t& size) {
  close();
  path_ = path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return last_error("open", path);
  handle_ = fd;
  struct stat st {};
  size = fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  return std::nullopt;
}

std::optional<IoError> SourceFile::read(char* to, std::size_t n, std::size_t& got) {
  for (;;) {
    const ssize_t r = ::read(static_cast<int>(handle_), to, n);
    if (r >= 0) {
      got = static_cast<std::size_t>(r);
      return std::nullopt;
    }
    if (errno != EINTR) return last_error("read", path_);
  }
}

void SourceFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace screnc
