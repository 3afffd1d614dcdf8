#include "tree_count.h"

#include "file_kind.h"
#include "paths.h"

namespace fs = std::filesystem;

namespace {

class Counter {
public:
  Counter(const RunSettings& settings, const std::function<bool(long long)>& poll)
      : settings_(settings), poll_(poll) {}

  void Count(const fs::path& folder) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries).ok()) return;
    for (const FolderEntry& e : entries) {
      if (result.stopped) return;
      if (++seen_ % 1000 == 0 && poll_ && poll_(result.files)) {
        result.stopped = true;
        return;
      }
      if (e.type == FolderEntry::Type::Folder) {
        Count(JoinPath(folder, e.name));
      } else if (e.type == FolderEntry::Type::File || e.type == FolderEntry::Type::Other) {
        ++result.files;
        if (e.type == FolderEntry::Type::File &&
            ClassifyFile(TypeDescription(e.displayName), e.displayName, settings_) != FileKind::Copy) {
          ++result.toEncode;
        }
      }
    }
  }

  TreeCount result;

private:
  const RunSettings& settings_;
  const std::function<bool(long long)>& poll_;
  long long seen_ = 0;
};

}  // namespace

TreeCount CountTree(const fs::path& source, const RunSettings& settings,
                    const std::function<bool(long long)>& poll) {
  Counter counter(settings, poll);
  counter.Count(source);
  return counter.result;
}
