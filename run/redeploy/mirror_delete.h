#pragma once
// Removing from the destination what this tool wrote there and whose source is gone.
//
// After a walk that reached its end, the destination is gone through beside what the walk
// read of the source (source_listing.h). An entry is gone only when the walk listed its
// source folder in full and did not find the name there (or a folder above it is gone);
// the manifest alone never makes anything gone. A gone entry is removed only when the
// manifest lists it and, for a file, the file still has the size and time this tool left
// it with; folders the manifest lists are entered, and removed once empty. Everything else
// (a web.config placed on the server, uploads, logs, a file edited there by hand) is never
// touched, only logged once as "<path> - not from the source": a folder of such things as
// one line, not each file in it. Temporary files of ours or of the encoder are passed over.
//
// A destination folder whose source folder the walk could not read in full (unreadable, an
// I/O error, a name too long, a link where a folder was, an unreadable ignore file) is not
// entered: nothing under it is removed, and when it holds anything this tool wrote, one
// line says so: "<path> - not removed: its source folder could not be read".
//
// Files and folders this tool wrote whose source is now left out by the ignore rules are
// removed as well with `deleteExcluded` ("<path> - deleted, now excluded"); otherwise one
// line counts them: "N deployed files are now excluded and were kept".
//
// More files to remove than the limit (--max-delete, both kinds counted) removes nothing
// at all: the run says so and counts as failed (a wrong source folder must not empty a site).

#include "run/redeploy/manifest_keeper.h"
#include "run/run_host.h"
#include "run/walk/source_listing.h"

#include <filesystem>
#include <string>
#include <vector>

struct RemovalPlan {
  std::vector<std::filesystem::path> files;            // source gone: to remove, in name order
  std::vector<std::filesystem::path> folders;          // source gone: to remove when empty, deepest first
  std::vector<std::filesystem::path> excludedFiles;    // now excluded: this tool's files under them
  std::vector<std::filesystem::path> excludedFolders;  // now excluded: folders it made, deepest first
  std::vector<std::filesystem::path> foreign;          // not from the source: left, and logged
  struct Kept {
    std::filesystem::path source, destination;
  };
  std::vector<Kept> unread;  // destination folders left whole: their source was not read in full
};

// What removing would do; reads only.
RemovalPlan PlanRemovals(const std::filesystem::path& source, const std::filesystem::path& destination,
                         const SourceListing& listing, const ManifestKeeper& keeper);

struct RemovalOptions {
  int maxDelete = 100;
  bool deleteExcluded = false;  // this tool's files that are now excluded go too
  bool dryRun = false;          // said and told, nothing removed
};

struct RemovalOutcome {
  long long deleted = 0;      // files and folders removed
  long long foreign = 0;      // entries left as not from the source
  long long failed = 0;       // files that could not be removed
  long long unread = 0;       // folders left whole: their source folder could not be read
  long long excludedKept = 0; // this tool's files now excluded, left (no deleteExcluded)
  bool refused = false;       // more than the limit: nothing removed
};

// Plans, then removes (or refuses), logging each line and telling the observers of each
// removal (EntryAction::Deleted) and of what it keeps (EntryAction::Kept); removed entries
// leave the manifest. A dry run logs each removal as "<path> - would delete" and tells it,
// and removes nothing.
RemovalOutcome RemoveWhatIsGone(RunHost& host, const std::filesystem::path& source,
                                const std::filesystem::path& destination, const SourceListing& listing,
                                ManifestKeeper& keeper, const RemovalOptions& options,
                                const std::vector<EntryObserver*>& observers);

// The line of a refused removal.
std::string RefusedRemovalLine(std::size_t gone, std::size_t excluded, int maxDelete);
// The line that counts this tool's files that are now excluded and stay.
std::string ExcludedKeptLine(std::size_t files, bool dryRun);

inline const std::string kUnreadSourceReason = "its source folder could not be read";
inline const std::string kNowExcludedReason = "now excluded";
