#include "mirror_delete.h"

#include "fs_ops.h"
#include "paths.h"
#include "text.h"
#include "walk.h"

namespace fs = std::filesystem;

namespace {

class Planner {
public:
  Planner(const ManifestKeeper& keeper, RemovalPlan& plan) : keeper_(keeper), plan_(plan) {}

  void Folder(const fs::path& source, const fs::path& destination) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(destination, entries).ok()) return;  // what cannot be listed is not touched
    SortByName(entries);
    for (const FolderEntry& e : entries) {
      unsigned long pid = 0;
      if (IsLeftoverTemporaryName(e.displayName, pid)) continue;
      const fs::path from = JoinPath(source, e.name), to = JoinPath(destination, e.name);
      const bool sourceThere = NameExists(from);
      if (e.type == FolderEntry::Type::Folder) {
        if (sourceThere) {
          if (IsFolder(from)) Folder(from, to);
        } else if (Listed(to, true)) {
          Folder(from, to);
          plan_.folders.push_back(to);
        } else {
          plan_.foreign.push_back(to);
        }
      } else if (!sourceThere) {
        if (e.type == FolderEntry::Type::File && Listed(to, false)) plan_.files.push_back(to);
        else plan_.foreign.push_back(to);
      }
    }
  }

private:
  // Whether the manifest lists `path` as this tool's, a file only while it is as it was left.
  bool Listed(const fs::path& path, bool folder) const {
    const auto& entries = keeper_.Current().entries;
    const auto found = entries.find(keeper_.KeyOf(path));
    if (found == entries.end() || found->second.folder != folder) return false;
    if (folder) return true;
    const std::optional<FileStamp> there = StampOf(path);
    return there && there->size == found->second.destinationSize &&
           there->modifiedNs == found->second.destinationTime;
  }

  const ManifestKeeper& keeper_;
  RemovalPlan& plan_;
};

void Tell(const std::vector<EntryObserver*>& observers, const fs::path& path, bool folder, const std::string& key) {
  EntryRecord record;
  record.action = EntryAction::Deleted;
  record.folder = folder;
  record.relative = ValidUtf8(key);
  record.destination = path;
  for (EntryObserver* observer : observers) observer->Entry(record);
}

}  // namespace

RemovalPlan PlanRemovals(const fs::path& source, const fs::path& destination, const ManifestKeeper& keeper) {
  RemovalPlan plan;
  Planner(keeper, plan).Folder(source, destination);
  return plan;
}

std::string RefusedRemovalLine(std::size_t files, int maxDelete) {
  return "Nothing removed: " + std::to_string(files) + " files whose source is gone would be removed, more than " +
         std::to_string(maxDelete) + " (--max-delete)";
}

RemovalOutcome RemoveWhatIsGone(RunHost& host, const fs::path& source, const fs::path& destination,
                                ManifestKeeper& keeper, int maxDelete, const std::vector<EntryObserver*>& observers,
                                bool dryRun) {
  const RemovalPlan plan = PlanRemovals(source, destination, keeper);
  RemovalOutcome outcome;
  outcome.foreign = static_cast<long long>(plan.foreign.size());
  for (const fs::path& path : plan.foreign) host.AppendLog(LogEntry(path, "not from the source"));
  if (plan.files.size() > static_cast<std::size_t>(std::max(maxDelete, 0))) {
    outcome.refused = true;
    host.AppendLog(RefusedRemovalLine(plan.files.size(), maxDelete));
    host.MarkLastFailed();
    return outcome;
  }
  if (dryRun) {  // said, counted and told, but nothing removed and the manifest kept
    for (const auto* list : {&plan.files, &plan.folders}) {
      for (const fs::path& path : *list) {
        ++outcome.deleted;
        host.AppendLog(LogEntry(path, "would delete"));
        Tell(observers, path, list == &plan.folders, keeper.KeyOf(path));
      }
    }
    host.RepaintLog();
    return outcome;
  }
  for (const fs::path& path : plan.files) {
    const std::string key = keeper.KeyOf(path);
    if (Status removed = RemoveFile(path); !removed.ok()) {
      ++outcome.failed;
      host.AppendLog(LogEntry(path, removed.reason()));
      host.MarkLastFailed();
      continue;
    }
    ++outcome.deleted;
    keeper.Forget(key);
    host.AppendLog(LogEntry(path, "deleted"));
    Tell(observers, path, false, key);
  }
  for (const fs::path& path : plan.folders) {
    if (!RemoveEmptyFolder(path)) continue;  // something of someone else's is still in it
    const std::string key = keeper.KeyOf(path);
    ++outcome.deleted;
    keeper.Forget(key);
    host.AppendLog(LogEntry(path, "deleted"));
    Tell(observers, path, true, key);
  }
  host.RepaintLog();
  return outcome;
}
