#pragma once
// The walk over one run's source tree: EncodeFolder and what it does to each file.
//
// Depth first and pre-order: a folder's "Processing ... " entry, its files in name order
// (each copied or encoded, then logged as "<path>" or "<path> - <reason>"), then each
// subfolder, whose destination folder is made before anything inside it. After every
// file the log is shown and scrolled, progress reported, events run, and a stop request
// ends the walk.
//
// Each file is the file task's (file_task.h): with one worker the walk does it on its own
// thread as it comes; with more (RunSettings::Jobs) the workers do it (file_workers.h)
// while the walk goes on ahead (folders are still made before anything inside
// them is handed out); the walk takes the results back in its own order and logs them,
// so the log is line for line that of one worker. Only the walk's thread calls the
// host: while it waits for a result it runs events every 50 ms. A stop lets the files
// in hand finish (the encoder's grace time as with one worker) and leaves the rest; a
// worker's files in hand include the pages it has sent its encoder ahead, and those the
// encoder had not begun when the grace time ran out are left as they were.
//
// Entries left out by the ignore rules (ignore_rules.h: each folder's ignore file, pushed
// as the walk enters the folder and popped as it leaves, and the run's patterns) are
// neither copied nor encoded, and an excluded folder is not entered nor made; they are
// counted, and logged as "<path> - excluded" only when RunSettings::Verbose. The ignore
// files themselves are never copied, counted or logged. An ignore file that cannot be read
// is a failed entry "<path> - <reason>" and the folder is walked without its rules.
//
// A folder's entries are taken from the listings the count kept (tree_count.h) where it
// kept one, else listed as the walk enters it.
//
// What the walk read of each folder, and which folders it could not read in full (every
// folder failure, and an unreadable ignore file, marks one), is kept for the removal that
// may follow (source_listing.h).
//
// A destination folder that was there already is cleared of leftover temporary files
// (fs_ops.h) as the walk enters it, each removal logged in its place as "<path> - removed,
// a temporary file left by an interrupted run". With a manifest, each folder is journaled
// before it is made, as each file is before it is handed out (manifest_keeper.h).
//
// A dry run (RunSettings::DryRun) takes the same decisions on one thread and writes
// nothing: no folder made, no file copied, no encoder started, no leftover temporary
// removed; each file is only planned (file_task.h). The walk then logs only what failed:
// every other entry's line, saying what a run would do, is the dry run's, an observer
// told of each entry (dry_run.h).

#include "run/encoder/basShell.h"
#include "run/encoder/encoder_session.h"
#include "run/walk/entry_record.h"
#include "run/walk/file_task.h"
#include "run/walk/file_workers.h"
#include "run/util/fs_ops.h"
#include "run/walk/ignore_rules.h"
#include "run/walk/log_entry.h"
#include "run/includes/include_reach.h"
#include "run/redeploy/destination_looks.h"
#include "run/redeploy/manifest_keeper.h"
#include "run/run_host.h"
#include "run/settings/run_settings.h"
#include "run/walk/source_listing.h"
#include "run/walk/tree_count.h"

#include <array>
#include <atomic>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

class Walk {
public:
  Walk(RunHost& host, const RunSettings& settings, const WaitControl& limits,
       std::optional<FileId> destinationRoot, long long total);

  // Told of every entry, in the log's order, right after its log line (excluded entries
  // too, logged or not). Not owned; must outlive Run.
  void AddObserver(EntryObserver* observer) { observers_.push_back(observer); }
  const std::vector<EntryObserver*>& Observers() const { return observers_; }
  // Asked of each file before it is handed out: one it finds unchanged is neither copied
  // nor encoded, but logged as "<path> - unchanged" and counted. Not owned.
  void SetManifest(ManifestKeeper* keeper) { manifest_ = keeper; }
  // What the walk read of each source folder, and which it could not read in full.
  const SourceListing& Listing() const { return listing_; }
  // Asked of each file the options encode: one an ASP page includes that holds server
  // script is encoded as an include (/e asp /xl) whatever its extension, and logged as
  // "<path> - encoded as an include (included by <page>)". Not owned.
  void SetIncludes(const IncludeReach* reach) { includes_ = reach; }
  // The folders' listings the count kept: each is used as its folder is entered, and
  // only read. Not owned.
  void SetListings(const KeptListings* kept) { kept_ = kept; }
  // The destination's files looked at ahead of the walk, for the manifest. Not owned.
  void SetDestinationLooks(const DestinationLooks* looks) { destinationLooks_ = looks; }

  // The whole tree: every file handed out is logged before this returns.
  void Run(const std::filesystem::path& source, const std::filesystem::path& destination);

  bool stopped = false;
  long long files = 0;
  long long failedFiles = 0;
  long long failedFolders = 0;
  long long excluded = 0;  // entries left out by the ignore rules (not the ignore files)
  long long unchanged = 0;  // files left as they were: their result is at the destination
  // Files that hold script but were copied plain because their kind is off, by the
  // Options key that is off.
  std::map<std::string, long long> leftPlain;

private:
  // A log line in the making: a folder's line, or a file whose result may still be due.
  struct Pending {
    Pending(std::string text, EntryRecord told) : line(std::move(text)), record(std::move(told)) {}
    std::string line;  // the entry as logged; for a file handed out, its shown path
    std::string leftPlainKey;  // the Options key that left this script file plain
    std::string note;          // said after the path when the file is done
    // What the observers are told, and what decides how the entry is logged (a failed
    // folder, an excluded entry only when verbose). A file handed out has its record in
    // `file`, where the task completes it.
    EntryRecord record;
    std::shared_ptr<FileSlot> file;
    bool tell = true;  // false: a line only (a leftover temporary removed), nothing told
  };

  void EncodeFolder(const std::filesystem::path& source, const std::filesystem::path& destination,
                    const std::string& relative);
  void EncodeEntries(const std::vector<FolderEntry>& entries, const std::filesystem::path& source,
                     const std::filesystem::path& destination, const std::string& relative);
  // Whether the entry is left out; counts it, and logs it when verbose.
  bool LeftOut(const FolderEntry& entry, const std::filesystem::path& source, const std::string& relative);
  void HandOut(const FolderEntry& entry, std::filesystem::path source, std::filesystem::path destination,
               std::string relative, const ManifestKeeper::Looks* looks);
  void Queue(Pending pending);
  // Logs the results that are there in order; `all`: waits for every one.
  void Collect(bool all);
  bool WaitForResult(const FileSlot& slot);
  const FileSlot& SlotToWaitFor(std::size_t depth) const;
  void Log(Pending& pending);
  void Tell(const EntryRecord& record);
  void LogRemovedTemporaries(const std::vector<std::filesystem::path>& removed);
  void FileDone(const std::string& entry, bool failed, bool counted = true);
  void FolderFailed(const std::string& entry);
  void EnterSubfolders(const std::vector<FolderEntry>& entries, const std::filesystem::path& source,
                       const std::filesystem::path& destination, const std::string& relative);

  RunHost& host_;
  const RunSettings& settings_;
  const std::filesystem::path appDir_;
  WaitControl control_;
  std::optional<FileId> destinationRoot_;
  long long total_;
  std::deque<Pending> pending_;
  std::size_t filesInHand_ = 0;
  std::atomic<bool> stopFlag_{false};  // the stop request, as the workers see it
  std::optional<FileTask> task_;       // one worker: the files are done on this thread,
  EncoderSession session_;             // with this encoder
  std::unique_ptr<FileWorkers> workers_;
  IgnoreStack ignore_;
  std::vector<EntryObserver*> observers_;
  std::array<std::string, 5> switches_;  // the encoder's switches by FileKind, made once
  ManifestKeeper* manifest_ = nullptr;
  SourceListing listing_;
  const IncludeReach* includes_ = nullptr;
  const KeptListings* kept_ = nullptr;
  const DestinationLooks* destinationLooks_ = nullptr;
};

// Name order ignoring case (case-folded names compared by code point), ties broken by the
// exact name, so that runs and logs are the same on every machine whatever order the
// system lists a folder in.
void SortByName(std::vector<FolderEntry>& entries);

