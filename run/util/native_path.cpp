#include "run/util/native_path.h"

#include "run/util/fs_ops.h"

#include "run/util/text.h"

#include <algorithm>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Where paths are UTF-16 (Windows), both separators are understood and the backslash
// is the one shown.
std::string WithPreferredSeparators(std::string text) {
  if constexpr (fs::path::preferred_separator != '/') {
    std::replace(text.begin(), text.end(), '/', static_cast<char>(fs::path::preferred_separator));
  }
  return text;
}

// The elements of a real, absolute path, without empty trailing elements.
std::vector<std::string> Elements(const fs::path& path) {
  std::vector<std::string> out;
  for (const fs::path& e : RealPath(path)) {
    if (!e.empty()) out.push_back(ToDisplayPath(e));
  }
  return out;
}

bool StartsWith(const std::vector<std::string>& whole, const std::vector<std::string>& prefix) {
  if (prefix.size() > whole.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const bool same = FileSystemIgnoresCase() ? EqualIgnoringCase(whole[i], prefix[i]) : whole[i] == prefix[i];
    if (!same) return false;
  }
  return true;
}
}  // namespace

fs::path ToNativePath(std::string_view text) {
  return fs::path(NativeOfText(WithPreferredSeparators(std::string(text))));
}

std::string ToDisplayPath(const fs::path& path) {
  return WithPreferredSeparators(TextOfNative(path.native()));
}

fs::path JoinPath(const fs::path& dir, const fs::path& name) {
  // operator/ puts exactly one separator after a root ("/", "C:\") or a trailing one.
  return dir / name.filename();
}

namespace {

// `path` and every folder above it, as written (made absolute) and with links resolved.
std::vector<fs::path> SelfAndAncestors(const fs::path& path) {
  std::vector<fs::path> out;
  for (const fs::path& start : {PlainPath(path), RealPath(path)}) {
    for (fs::path p = start; !p.empty(); p = ParentFolder(p)) out.push_back(p);
  }
  return out;
}

// Whether the folder `id` is `path` itself or a folder above it.
bool AtOrAbove(const FileId& id, const fs::path& path) {
  for (const fs::path& p : SelfAndAncestors(path)) {
    if (IdentityOf(p) == id) return true;
  }
  return false;
}

}  // namespace

PathRelation RelatePaths(const fs::path& first, const fs::path& second) {
  // By identity first: bind mounts, links and file systems that ignore case all give
  // one folder two names.
  const std::optional<FileId> idFirst = IdentityOf(first), idSecond = IdentityOf(second);
  if (idFirst && idSecond && *idFirst == *idSecond) return PathRelation::Same;
  if (idFirst && AtOrAbove(*idFirst, second)) return PathRelation::SecondInsideFirst;
  if (idSecond && AtOrAbove(*idSecond, first)) return PathRelation::FirstInsideSecond;

  // Then by name, for a folder that does not exist yet.
  const std::vector<std::string> a = Elements(first);
  const std::vector<std::string> b = Elements(second);
  const bool aStartsB = StartsWith(a, b), bStartsA = StartsWith(b, a);
  if (aStartsB && bStartsA) return PathRelation::Same;
  if (aStartsB) return PathRelation::FirstInsideSecond;
  if (bStartsA) return PathRelation::SecondInsideFirst;
  return PathRelation::Apart;
}
