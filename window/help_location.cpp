#include "help_location.h"

#include "run/util/native_path.h"

#include <cstdio>
#include <system_error>

namespace fs = std::filesystem;

std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  if (path.rfind("\\\\", 0) == 0) {
    url += path.substr(2);  // a share: file://server/share/...
  } else {
    if (path.empty() || (path[0] != '/' && path[0] != '\\')) url += '/';
    url += path;
  }
  std::string out;
  for (const char raw : url) {
    const unsigned char c = static_cast<unsigned char>(raw == '\\' ? '/' : raw);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == ':' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string HelpUrl(const fs::path& appDir) {
  const fs::path candidates[] = {
      appDir / "README.md",
      appDir / ".." / ".." / "share" / "doc" / "quillward" / "README.md",
      appDir / ".." / ".." / "README.md",
  };
  for (const fs::path& candidate : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) {
      const fs::path absolute = fs::weakly_canonical(candidate, ec);
      return FileUrl(ToDisplayPath(ec ? candidate : absolute)) + "#" + kHelpSection;
    }
  }
  return {};
}
