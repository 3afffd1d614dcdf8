#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "console_out.h"
#include "wide_win.h"

namespace screnc {

void write_text(std::FILE* stream, std::string_view text) {
  HANDLE h = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
    std::fflush(stream);
    const std::wstring w = to_wide(text);
    DWORD written = 0;
    if (WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &written, nullptr)) return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
}

void set_binary(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

}  // namespace screnc
