#include "run/redeploy/mirror_delete.h"

#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "run/util/text.h"
#include "run/walk/walk.h"

#include <unordered_set>

namespace fs = std::filesystem;

namespace {

// How the walk left a destination entry's source.
enum class Seen {
  There,     // listed, and walked as usual
  Gone,      // its folder was listed in full without it, or a folder above it is gone
  Excluded,  // left out by the ignore rules, or inside a folder that is
};

// The names of one source folder as the walk listed them, looked up by the names of the
// destination folder beside it.
class NameLookup {
public:
  NameLookup(const SourceListing::Folder& read, const std::vector<FolderEntry>& here) : read_(read) {
    for (const FolderEntry& e : here) here_.insert(e.name.native());
  }

  // Exactly, or (a destination that ignores letter case keeps the name it had) under
  // another letter case when the destination does not also hold the source's spelling.
  Seen Find(const fs::path& name) {
    if (const auto exact = read_.names.find(name.native()); exact != read_.names.end()) return Of(exact->second);
    if (folded_.empty()) {
      for (const auto& [n, excluded] : read_.names) folded_.emplace(FoldCase(TextOfNative(n)), &n);
    }
    const auto other = folded_.find(FoldCase(TextOfNative(name.native())));
    if (other == folded_.end() || here_.contains(*other->second)) return Seen::Gone;
    return Of(read_.names.at(*other->second));
  }

private:
  static Seen Of(bool excluded) { return excluded ? Seen::Excluded : Seen::There; }

  const SourceListing::Folder& read_;
  std::unordered_set<SourceListing::Name> here_;
  std::unordered_map<std::string, const SourceListing::Name*> folded_;
};

class Planner {
public:
  Planner(const SourceListing& listing, const ManifestKeeper& keeper, RemovalPlan& plan)
      : listing_(listing), keeper_(keeper), plan_(plan) {}

  // The place in the destination of the source folder `source`, as the walk left it.
  void Folder(const fs::path& source, const fs::path& destination) {
    const SourceListing::Folder* read = listing_.Find(source);
    if (!read) return;  // a file in the source: the walk did not take it for a folder
    if (!read->complete) {
      if (HoldsOurs(destination)) plan_.unread.push_back({source, destination});
      return;
    }
    Entries(source, destination, Seen::There, read);
  }

private:
  void Entries(const fs::path& source, const fs::path& destination, Seen seen, const SourceListing::Folder* read) {
    std::vector<FolderEntry> entries;
    if (!ListFolder(destination, entries).ok()) return;  // what cannot be listed is not touched
    SortByName(entries);
    std::optional<NameLookup> names;
    if (read) names.emplace(*read, entries);
    for (const FolderEntry& e : entries) {
      unsigned long pid = 0;
      if (IsLeftoverTemporaryName(e.displayName, pid)) continue;
      const fs::path from = JoinPath(source, e.name), to = JoinPath(destination, e.name);
      const Seen here = names ? names->Find(e.name) : seen;
      const bool folder = e.type == FolderEntry::Type::Folder;
      if (here == Seen::There) {
        if (folder) Folder(from, to);
        continue;
      }
      if (!(folder ? Listed(to, true) : e.type == FolderEntry::Type::File && Listed(to, false))) {
        if (here == Seen::Gone) plan_.foreign.push_back(to);  // an excluded folder's own are not ours to judge
        continue;
      }
      if (folder) Entries(from, to, here, nullptr);
      if (here == Seen::Gone) (folder ? plan_.folders : plan_.files).push_back(to);
      else (folder ? plan_.excludedFolders : plan_.excludedFiles).push_back(to);
    }
  }

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

  // Whether the manifest lists anything this tool wrote under the folder `path`.
  bool HoldsOurs(const fs::path& path) const {
    const auto& entries = keeper_.Current().entries;
    const std::string key = keeper_.KeyOf(path);
    const std::string prefix = key.empty() ? key : key + "/";
    const auto first = entries.lower_bound(prefix);
    return first != entries.end() && first->first.starts_with(prefix);
  }

  const SourceListing& listing_;
  const ManifestKeeper& keeper_;
  RemovalPlan& plan_;
};

void Tell(const std::vector<EntryObserver*>& observers, EntryAction action, const fs::path& path, bool folder,
          const std::string& key, const std::string& reason = {}, const fs::path& source = {}) {
  EntryRecord record;
  record.action = action;
  record.folder = folder;
  record.relative = ValidUtf8(key);
  record.source = source;
  record.destination = path;
  record.reason = reason;
  for (EntryObserver* observer : observers) observer->Entry(record);
}

// One removal to make: what, and why it goes.
struct Removal {
  const fs::path* path;
  bool folder, excluded;
};

std::vector<Removal> RemovalsOf(const RemovalPlan& plan, bool deleteExcluded) {
  std::vector<Removal> out;
  const auto add = [&out](const std::vector<fs::path>& list, bool folder, bool excluded) {
    for (const fs::path& path : list) out.push_back({&path, folder, excluded});
  };
  add(plan.files, false, false);
  if (deleteExcluded) add(plan.excludedFiles, false, true);
  add(plan.folders, true, false);
  if (deleteExcluded) add(plan.excludedFolders, true, true);
  return out;
}

// What is left that --delete would take but for what the walk could not see, or the ignore
// rules: said, and told as kept.
void SayWhatIsKept(RunHost& host, const RemovalPlan& plan, const ManifestKeeper& keeper, const RemovalOptions& options,
                   const std::vector<EntryObserver*>& observers, RemovalOutcome& outcome) {
  outcome.unread = static_cast<long long>(plan.unread.size());
  for (const RemovalPlan::Kept& kept : plan.unread) {
    host.AppendLog(LogEntry(kept.destination, "not removed: " + kUnreadSourceReason));
    Tell(observers, EntryAction::Kept, kept.destination, true, keeper.KeyOf(kept.destination), kUnreadSourceReason,
         kept.source);
  }
  if (options.deleteExcluded || plan.excludedFiles.empty()) return;
  outcome.excludedKept = static_cast<long long>(plan.excludedFiles.size());
  for (const fs::path& path : plan.excludedFiles) {
    Tell(observers, EntryAction::Kept, path, false, keeper.KeyOf(path), kNowExcludedReason);
  }
  host.AppendLog(ExcludedKeptLine(plan.excludedFiles.size(), options.dryRun));
}

}  // namespace

RemovalPlan PlanRemovals(const fs::path& source, const fs::path& destination, const SourceListing& listing,
                         const ManifestKeeper& keeper) {
  RemovalPlan plan;
  Planner(listing, keeper, plan).Folder(source, destination);
  return plan;
}

std::string RefusedRemovalLine(std::size_t gone, std::size_t excluded, int maxDelete) {
  const std::string limit = ", more than " + std::to_string(maxDelete) + " (--max-delete)";
  if (excluded == 0) {
    return "Nothing removed: " + std::to_string(gone) + " files whose source is gone would be removed" + limit;
  }
  return "Nothing removed: " + std::to_string(gone + excluded) + " files would be removed (" + std::to_string(gone) +
         " whose source is gone, " + std::to_string(excluded) + " now excluded)" + limit;
}

std::string ExcludedKeptLine(std::size_t files, bool dryRun) {
  const bool one = files == 1;
  return std::to_string(files) + (one ? " deployed file is" : " deployed files are") + " now excluded and " +
         (dryRun ? "would be kept" : one ? "was kept" : "were kept");
}

RemovalOutcome RemoveWhatIsGone(RunHost& host, const fs::path& source, const fs::path& destination,
                                const SourceListing& listing, ManifestKeeper& keeper, const RemovalOptions& options,
                                const std::vector<EntryObserver*>& observers) {
  const RemovalPlan plan = PlanRemovals(source, destination, listing, keeper);
  RemovalOutcome outcome;
  SayWhatIsKept(host, plan, keeper, options, observers, outcome);
  outcome.foreign = static_cast<long long>(plan.foreign.size());
  for (const fs::path& path : plan.foreign) host.AppendLog(LogEntry(path, "not from the source"));
  const std::size_t excluded = options.deleteExcluded ? plan.excludedFiles.size() : 0;
  if (plan.files.size() + excluded > static_cast<std::size_t>(std::max(options.maxDelete, 0))) {
    outcome.refused = true;
    host.AppendLog(RefusedRemovalLine(plan.files.size(), excluded, options.maxDelete));
    host.MarkLastFailed();
    return outcome;
  }
  for (const Removal& removal : RemovalsOf(plan, options.deleteExcluded)) {
    const fs::path& path = *removal.path;
    const std::string key = keeper.KeyOf(path);
    const std::string why = removal.excluded ? ", " + kNowExcludedReason : "";
    if (options.dryRun) {  // said, counted and told, but nothing removed and the manifest kept
      ++outcome.deleted;
      host.AppendLog(LogEntry(path, "would delete" + why));
      Tell(observers, EntryAction::Deleted, path, removal.folder, key, removal.excluded ? kNowExcludedReason : "");
      continue;
    }
    if (removal.folder) {
      if (!RemoveEmptyFolder(path)) continue;  // something of someone else's is still in it
    } else if (Status removed = RemoveFile(path); !removed.ok()) {
      ++outcome.failed;
      host.AppendLog(LogEntry(path, removed.reason()));
      host.MarkLastFailed();
      continue;
    }
    ++outcome.deleted;
    keeper.Forget(key);
    host.AppendLog(LogEntry(path, "deleted" + why));
    Tell(observers, EntryAction::Deleted, path, removal.folder, key, removal.excluded ? kNowExcludedReason : "");
  }
  host.RepaintLog();
  return outcome;
}
