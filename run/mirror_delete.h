#pragma once
// Removing from the destination what this tool wrote there and whose source is gone.
//
// After a walk that reached its end, the destination is gone through beside the source.
// An entry whose source name still exists is left alone (excluded ones too). One whose
// source is gone is removed only when the manifest lists it and, for a file, the file still
// has the size and time this tool left it with; folders the manifest lists are entered,
// and removed once empty. Everything else (a web.config placed on the server, uploads,
// logs, a file edited there by hand) is never touched, only logged once as
// "<path> - not from the source": a folder of such things as one line, not each file in
// it. Temporary files of ours or of the encoder are passed over.
//
// More files to remove than the limit (--max-delete) removes nothing at all: the run
// says so and counts as failed (a wrong source folder must not empty a site).

#include "manifest_keeper.h"
#include "run_host.h"

#include <filesystem>
#include <string>
#include <vector>

struct RemovalPlan {
  std::vector<std::filesystem::path> files;    // to remove, in name order
  std::vector<std::filesystem::path> folders;  // to remove when empty, deepest first
  std::vector<std::filesystem::path> foreign;  // not from the source: left, and logged
};

// What removing would do; reads only.
RemovalPlan PlanRemovals(const std::filesystem::path& source, const std::filesystem::path& destination,
                         const ManifestKeeper& keeper);

struct RemovalOutcome {
  long long deleted = 0;      // files and folders removed
  long long foreign = 0;      // entries left as not from the source
  long long failed = 0;       // files that could not be removed
  bool refused = false;       // more than the limit: nothing removed
};

// Plans, then removes (or refuses), logging each line and telling the observers of each
// removal (EntryAction::Deleted); removed entries leave the manifest. `dryRun`: each
// removal is logged as "<path> - would delete" and told, and nothing is removed.
RemovalOutcome RemoveWhatIsGone(RunHost& host, const std::filesystem::path& source,
                                const std::filesystem::path& destination, ManifestKeeper& keeper, int maxDelete,
                                const std::vector<EntryObserver*>& observers, bool dryRun = false);

// The line of a refused removal.
std::string RefusedRemovalLine(std::size_t files, int maxDelete);
