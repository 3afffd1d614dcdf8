#include "run/walk/log_entry.h"

#include "run/util/native_path.h"

std::string LogEntry(const std::filesystem::path& path, const std::string& reason) {
  const std::string shown = ToDisplayPath(path);
  return reason.empty() ? shown : shown + " - " + reason;
}
