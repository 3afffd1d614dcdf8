#include "environment.h"

#include "run/util/native_path.h"

#include <windows.h>

#include <vector>

std::string EnvironmentValue(const std::string& name) {
  const std::wstring wide = ToNativePath(name).native();
  const DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::vector<wchar_t> buffer(size);
  const DWORD got = GetEnvironmentVariableW(wide.c_str(), buffer.data(), size);
  if (got == 0 || got >= size) return {};
  return ToDisplayPath(std::filesystem::path(std::wstring(buffer.data(), got)));
}

bool PercentVariables() { return true; }
