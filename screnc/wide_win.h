// UTF-8 and UTF-16 at the Windows API's edge; included by the *_win.cpp files only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace screnc {

inline std::wstring to_wide(std::string_view s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

inline std::string to_utf8(std::wstring_view w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

// The form of a full path the wide file functions take without the 260-character limit:
// "C:\a" -> "\\?\C:\a", "\\srv\share\a" -> "\\?\UNC\srv\share\a". Other paths (already
// prefixed, relative, device names) are only widened.
inline std::wstring long_path(std::string_view utf8) {
  std::wstring w = to_wide(utf8);
  auto sep = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  const bool drive = w.size() >= 3 && w[1] == L':' && sep(w[2]);
  const bool unc = w.size() >= 3 && sep(w[0]) && sep(w[1]) && w[2] != L'?' && w[2] != L'.';
  if (!drive && !unc) return w;
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';  // the prefixed form takes no other separator
  return drive ? L"\\\\?\\" + w : L"\\\\?\\UNC\\" + w.substr(2);
}

}  // namespace screnc
