// Windows' own messages for its error codes, asked for in UTF-16 so that a localized
// system's text arrives whole; the C runtime's for errno values.
#include "run/util/status.h"

#include "run/util/text.h"

#include <windows.h>

std::string ErrorText(const std::error_code& error) {
  if (error.category() != std::system_category()) return AsReason(error.message());
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error.value()), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (n == 0 || !buffer) return "error " + std::to_string(static_cast<unsigned long>(error.value()));
  const std::string text = Utf8FromWide(std::wstring_view(buffer, n));
  LocalFree(buffer);
  return AsReason(text);
}
