#include "batch_args.h"

#include <windows.h>
#include <shellapi.h>

// The wide command line: argv of main() is in the ANSI code page and loses characters.
std::vector<std::filesystem::path> NativeArguments(int, char**) {
  std::vector<std::filesystem::path> out;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return out;
  for (int i = 1; i < count; ++i) out.emplace_back(std::wstring(wide[i]));
  LocalFree(wide);
  return out;
}
