// The user's settings in INI files where the XDG base directories say, as Qt's settings
// class kept them for an application whose organization and name are both `application`:
// first $XDG_CONFIG_HOME/<application>/<application>.conf (the one written), then
// $XDG_CONFIG_HOME/<application>.conf, then the same two in each of $XDG_CONFIG_DIRS
// (/etc/xdg by default), read for defaults an administrator may have put there.
#include "run/settings/ini_settings.h"

#include "run/util/native_path.h"

#include <cstdlib>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

fs::path UserConfigFolder() {
  const std::string xdg = Environment("XDG_CONFIG_HOME");
  const fs::path home = Environment("HOME");
  if (xdg.empty()) return home / ".config";
  return xdg.front() == '/' ? fs::path(xdg) : home / xdg;
}

std::vector<fs::path> SystemConfigFolders() {
  std::string dirs = Environment("XDG_CONFIG_DIRS");
  if (dirs.empty()) dirs = "/etc/xdg";
  std::vector<fs::path> out;
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    if (end > start && dirs[start] == '/') out.emplace_back(dirs.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace

std::unique_ptr<SettingsStore> OpenUserSettings(const std::string& application) {
  const fs::path name = ToNativePath(application);
  fs::path conf = name;
  conf += ".conf";
  std::vector<fs::path> files = {UserConfigFolder() / name / conf, UserConfigFolder() / conf};
  for (const fs::path& folder : SystemConfigFolders()) {
    files.push_back(folder / name / conf);
    files.push_back(folder / conf);
  }
  return std::make_unique<IniSettingsStore>(std::move(files));
}
