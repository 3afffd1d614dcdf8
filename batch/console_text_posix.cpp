#include "console_text.h"

#include <sys/stat.h>
#include <unistd.h>

void WriteText(std::FILE* stream, const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

bool ReadAsWritten(std::FILE* stream) {
  const int fd = ::fileno(stream);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) return true;
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || ::isatty(fd);
}
