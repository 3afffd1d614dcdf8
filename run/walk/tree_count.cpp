#include "run/walk/tree_count.h"

#include "run/walk/file_kind.h"
#include "run/walk/ignore_rules.h"
#include "run/util/native_path.h"
#include "run/walk/walk.h"

namespace fs = std::filesystem;

namespace {

class Counter {
public:
  Counter(const RunSettings& settings, const std::function<bool(long long)>& poll, bool keep)
      : settings_(settings), poll_(poll), keep_(keep), ignore_(settings.SiteExcludes, settings.CommandExcludes) {}

  void Count(const fs::path& folder, const std::string& relative) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries, keep_ && settings_.Changed).ok()) return;
    // A folder whose ignore file cannot be read is not entered (the walk says why).
    if (!ignore_.Push(folder, relative)) {
      SortByName(entries);
      CountEntries(folder, relative, entries);
      if (keep_ && !result.stopped) result.listings.emplace(folder.native(), std::move(entries));
    }
    ignore_.Pop();
  }

  TreeCount result;

private:
  // As the walk goes: a folder's files in name order, then its subfolders.
  void CountEntries(const fs::path& folder, const std::string& relative, const std::vector<FolderEntry>& entries) {
    for (const bool folders : {false, true}) {
      for (const FolderEntry& e : entries) {
        if (result.stopped) return;
        const bool isFolder = e.type == FolderEntry::Type::Folder || e.type == FolderEntry::Type::FolderLink;
        if (isFolder != folders) continue;
        if (++seen_ % 1000 == 0 && poll_ && poll_(result.files)) {
          result.stopped = true;
          return;
        }
        const std::string path = JoinRelative(relative, e.displayName);
        if (ignore_.Excluded(path, isFolder)) continue;
        if (e.type == FolderEntry::Type::Folder) {
          Count(JoinPath(folder, e.name), path);
        } else if (!isFolder) {
          ++result.files;
          if (e.type != FolderEntry::Type::File) continue;
          const FileKind kind = ClassifyFile(TypeDescription(e.displayName), e.displayName, settings_);
          if (kind != FileKind::Copy) ++result.toEncode;
          if (kind == FileKind::EncodeAspPage || kind == FileKind::EncodeAspByExtension) {
            result.aspPages.push_back(path);
            result.aspStamps.push_back(e.stamp);
          }
        }
      }
    }
  }

  const RunSettings& settings_;
  const std::function<bool(long long)>& poll_;
  const bool keep_;
  IgnoreStack ignore_;
  long long seen_ = 0;
};

}  // namespace

TreeCount CountTree(const fs::path& source, const RunSettings& settings,
                    const std::function<bool(long long)>& poll, bool keep) {
  Counter counter(settings, poll, keep);
  counter.Count(source, "");
  return std::move(counter.result);
}
