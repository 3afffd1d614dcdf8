#pragma once
// The manifest during a run: what decides that a file is unchanged, and what keeps the
// manifest true while the run writes.
//
// Unchanged (asked by the walk for each file before it is handed out): the manifest lists
// the file, made the same way (kind, switches; for an encoded file the same encoder, and
// verified when verifying is on now), from the same source (size and time, or with
// Checksum its SHA-256), and the destination still has the size and time it was left
// with. A file that is not unchanged is dropped from the manifest there and then, before
// anything is written to it; its entry comes back, new, only once its result is logged
// (as an observer of the walk's records). Entries of files not reached are kept as they
// were. So whenever the manifest is saved (every few seconds and at the end), it lists
// only what is true at the destination, also when the run is stopped or killed; and an
// entry that lags behind (the file was rewritten after the last save) no longer matches
// the destination's size and time, so it is neither trusted nor acted on.
//
// What is written between two saves is in the journal (manifest_journal.h): each file
// and folder before it is handed out or made. When the run opens, a journal that a killed
// run left is folded in: each file it names that is there is this tool's as it stands
// (kWrittenByAnEndedRun: done again, never left as unchanged), each folder too, and the
// folders it names are where that run's temporary files may lie.
//
// Nothing about the manifest stops a run: what cannot be read, written or journaled is a
// problem kept for the log and the report, with what it means for the next run.

#include "run/walk/entry_record.h"
#include "run/util/fs_ops.h"
#include "run/redeploy/manifest.h"
#include "run/redeploy/manifest_journal.h"
#include "run/settings/run_settings.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <set>
#include <unordered_map>
#include <vector>

// What went wrong with the manifest, its journal or the lock beside them.
struct ManifestProblem {
  std::filesystem::path path;
  std::string what;    // "not read", "not saved", "not written", "not taken"
  std::string reason;  // the system's, with the call and the path
  std::string effect;  // what it means, for this run or the next
  bool failure = false;  // the run did not keep the record it was asked to keep
};

class IncludeReach;

// The encoder's identity: its path, size and modification time (a replaced encoder,
// even of the same name, is another one).
std::string EncoderStampText(const std::filesystem::path& encoder);

class ManifestKeeper : public EntryObserver {
public:
  // `file`: where the manifest is kept (empty: nowhere, nothing saved nor journaled);
  // `old`: what it held.
  ManifestKeeper(const RunSettings& settings, std::filesystem::path destinationRoot, std::filesystem::path file,
                 Manifest old, std::string encoderIdentity);

  // The journal an ended run left, folded into the manifest as it stands; then saved, and
  // this run's journal begun (carrying the old lines when the save failed).
  void FoldJournal(const JournalContents& ended);
  // Where the ended run whose journal was folded may have left temporary files, and its id.
  const std::vector<std::filesystem::path>& EndedRunFolders() const { return endedFolders_; }
  unsigned long EndedRun() const { return endedRun_; }

  // The walk is about to make the folder `destination`: journaled first.
  void AboutToMakeFolder(const std::filesystem::path& destination);

  // How the walk looks at a file: through its source and destination folders held open,
  // and with what the source's listing said of it.
  struct Looks {
    const FolderHandle& source;
    const FolderHandle& destination;
    const FolderEntry& entry;
    // The look at the destination taken ahead of the walk (destination_looks.h), if any.
    const std::optional<FileStamp>* destinationLook = nullptr;
  };
  // Whether the file the walk is about to hand out can be left as it is. When not, its
  // entry is dropped until its result is in. Without `looks`, by the paths alone.
  bool Unchanged(FileKind kind, const std::string& switches, const std::filesystem::path& source,
                 const std::filesystem::path& destination, const Looks* looks = nullptr);

  // What the include pass read of the source of `key` in an earlier run, kept with its
  // entry, when the source has the size and time it had then; else nullptr.
  const std::string* StoredScan(const std::string& key, const FileStamp& now) const;
  // Where a new entry takes what the include pass read of its source. Not owned.
  void KeepScans(const IncludeReach* reach) { scans_ = reach; }

  void Entry(const EntryRecord& record) override;

  // The manifest as it stands: entries kept, dropped, and made in this run.
  const Manifest& Current() const { return current_; }
  // An entry removed from the destination by this run.
  void Forget(const std::string& key) { dirty_ = current_.entries.erase(key) > 0 || dirty_; }
  std::string KeyOf(const std::filesystem::path& destination) const;

  // Writes the manifest when it differs from what was last read or written; after a save
  // the journal starts again with what is still being written.
  Status Save();
  // Saves when the last save is `every` ago or more; a failure here is not kept (the
  // last save decides).
  void SaveNowAndThen(std::chrono::milliseconds every = std::chrono::seconds(2));
  // The run's last save; when it succeeds, the journal is removed; when not, the journal
  // stays for the next run and the failure is kept as a problem.
  void Finish();

  void AddProblem(ManifestProblem problem) { problems_.push_back(std::move(problem)); }
  const std::vector<ManifestProblem>& Problems() const { return problems_; }

private:
  // What a file was made from, taken before it was written.
  struct Making {
    ManifestEntry entry;
    bool known = false;  // the source could be read: otherwise no entry is made
  };
  // Whether the old entry is of the file as `now` and the switches and encoder say it is
  // made, and the destination still holds what that entry wrote.
  bool Matches(const ManifestEntry& old, const ManifestEntry& now, const std::filesystem::path& destination,
               const std::string& switches, const std::string& encoder, const Looks* looks) const;
  void WriteAhead(const JournalLine& line);
  void JournalFailed(const Status& status);
  void RestartJournal();

  const RunSettings& settings_;
  std::filesystem::path root_, file_;
  // What the manifest held when the run began, but for the entries of files redone (each
  // dropped when it is handed out, and made anew when its result is in).
  Manifest current_;
  std::string encoder_;
  std::unordered_map<std::string, Making> making_;
  bool dirty_ = false;
  std::chrono::steady_clock::time_point lastSave_ = std::chrono::steady_clock::now();
  std::unique_ptr<Journal> journal_;    // none in a dry run, or once it failed
  std::set<std::string> foldersInHand_;   // journaled, not yet logged
  std::vector<JournalLine> carried_;       // an ended run's lines, until a save holds them
  std::vector<std::filesystem::path> endedFolders_;
  unsigned long endedRun_ = 0;
  std::vector<ManifestProblem> problems_;
  const IncludeReach* scans_ = nullptr;
};

// Where the manifest of `destination` is kept; empty when the system names no state folder.
std::filesystem::path ManifestFileOf(const std::filesystem::path& destination);

// The keeper for a run to `destination`, or none when the run neither skips unchanged
// files nor removes files (then nothing is read or written). The manifest is read, a
// journal left behind folded in, and this run's journal begun; problems are kept.
// `ahead`: the manifest read ahead of the lock, taken when the file is still as it was read.
std::unique_ptr<ManifestKeeper> OpenManifest(const RunSettings& settings, const std::filesystem::path& destination,
                                             const std::filesystem::path& encoder, ManifestReadAhead* ahead = nullptr);
