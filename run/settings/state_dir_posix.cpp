#include "run/settings/state_dir.h"

#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

fs::path ManifestFolder() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  fs::path base;
  if (xdg && xdg[0] == '/') {  // the base directory rules: a relative value is ignored
    base = xdg;
  } else if (home && home[0] == '/') {
    base = fs::path(home) / ".local" / "state";
  } else {
    return {};
  }
  return base / "Quillward" / "manifests";
}
