// What starting the encoder does alike on every platform.
#include "run/encoder/basShell.h"

#include "run/util/text.h"

std::string LastOutputLine(const std::string& output) {
  size_t end = output.size();
  while (end > 0 && (output[end - 1] == '\n' || output[end - 1] == '\r' || output[end - 1] == ' ')) --end;
  const size_t start = output.rfind('\n', end == 0 ? 0 : end - 1);
  const size_t from = start == std::string::npos || end == 0 ? 0 : start + 1;
  const std::string line = ValidUtf8(std::string_view(output).substr(from, end - from));
  std::string shown;
  size_t units = 0;
  for (size_t i = 0; i < line.size();) {
    char32_t cp;
    size_t n;
    DecodeUtf8(line, i, cp, n);
    units += cp > 0xFFFF ? 2 : 1;
    if (units > 200) break;
    if (cp < 0x20) shown += ' ';
    else shown.append(line, i, n);
    i += n;
  }
  return Trimmed(shown);
}
