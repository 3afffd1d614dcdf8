// The file operations that are the same on every platform, built on the per-platform ones.
#include "run/util/fs_ops.h"

#include "run/util/native_path.h"

#include <atomic>
#include <cctype>

namespace fs = std::filesystem;

Status MakeFolders(const fs::path& path, bool* existed) {
  if (existed) *existed = IsFolder(path);
  if (IsFolder(path)) return Status::Ok();
  const fs::path parent = path.parent_path();
  if (!parent.empty() && parent != path) {
    if (Status s = MakeFolders(parent); !s.ok()) return s;
  }
  return MakeFolder(path);
}

fs::path TemporaryBeside(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  return JoinPath(path.parent_path(), TemporaryName(CurrentProcessId(), counter.fetch_add(1)));
}

Status ReplaceFileWith(const fs::path& path, std::string_view content) {
  const fs::path tmp = TemporaryBeside(path);
  Status done = CreateExclusive(tmp, content);
  if (done.ok()) done = RenameOver(tmp, path);
  if (!done.ok()) RemoveFile(tmp);
  return done;
}

Status RemoveName(const fs::path& path) {
  if (Status replaced = ReplaceFileWith(path, ""); !replaced.ok()) return replaced;
  return RemoveFile(path);
}

namespace {

// Reads the digits at the front of `s` into `value`; false when there are none.
bool TakeNumber(std::string_view& s, unsigned long& value, int base = 10) {
  size_t i = 0;
  value = 0;
  for (; i < s.size() && i < 16; ++i) {
    const char c = s[i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) break;
    value = value * static_cast<unsigned long>(base) + static_cast<unsigned long>(digit);
  }
  s.remove_prefix(i);
  return i > 0;
}

bool TakeText(std::string_view& s, std::string_view text) {
  if (s.substr(0, text.size()) != text) return false;
  s.remove_prefix(text.size());
  return true;
}

}  // namespace

std::string TemporaryName(unsigned long pid, unsigned n) {
  return ".qw-" + std::to_string(pid) + "-" + std::to_string(n) + ".tmp";
}

bool IsOwnTemporaryOf(std::string_view name, unsigned long pid) {
  unsigned long made = 0, ignored = 0;
  std::string_view s = name;
  return TakeText(s, ".qw-") && TakeNumber(s, made) && made == pid && TakeText(s, "-") &&
         TakeNumber(s, ignored) && s == ".tmp";
}

bool IsLeftoverTemporaryName(std::string_view name, unsigned long& pid) {
  unsigned long ignored = 0;
  std::string_view s = name;
  if (TakeText(s, ".qw-")) {
    return TakeNumber(s, pid) && TakeText(s, "-") && TakeNumber(s, ignored) && s == ".tmp";
  }
  // The encoder's: "<...>.screnc-<pid>-<hex>-<n>" and an optional "-XXXXXX".
  const size_t at = name.rfind(".screnc-");
  if (name.empty() || name[0] != '.' || at == std::string_view::npos) return false;
  s = name.substr(at + 8);
  if (!TakeNumber(s, pid) || !TakeText(s, "-") || !TakeNumber(s, ignored, 16) ||
      !TakeText(s, "-") || !TakeNumber(s, ignored)) {
    return false;
  }
  if (s.empty()) return true;
  if (s.size() != 7 || s[0] != '-') return false;
  for (char c : s.substr(1)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}
