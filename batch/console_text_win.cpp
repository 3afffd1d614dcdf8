#include "console_text.h"

#include "run/util/text.h"

#include <io.h>
#include <windows.h>

void WriteText(std::FILE* stream, const std::string& utf8) {
  std::fflush(stream);
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    const std::wstring wide = WideFromUtf8(utf8);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

bool ReadAsWritten(std::FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (handle == INVALID_HANDLE_VALUE) return true;
  const DWORD type = GetFileType(handle);
  return type == FILE_TYPE_PIPE || (type == FILE_TYPE_CHAR && _isatty(_fileno(stream)));
}
