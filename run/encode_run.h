#pragma once
// The encoding run: what happens from Start until the run ends.
//
// RunEncoding loads the settings once, takes the two paths once, refuses identical or
// nested folders (compared by identity: links, bind mounts and letter case cannot hide
// them), a missing source or one that is not a folder, and a missing encoder when any
// file needs it; then empties the log and walks the source tree depth first (a folder's
// files in name order, then its subfolders), copying or encoding each file to the same
// relative path under the destination. After every file it appends a log entry,
// repaints and scrolls the log, reports progress, lets events run and honours a stop
// request; while the encoder works, events run every 50 ms as well.
// Failures of single files and folders are logged as "<path> - <reason>"; the walk goes
// on. When files that hold script were copied plain because their kind is off in
// Options, one entry says so. A final entry sums up: "Done: N files, M failed" (or
// "Stopped: ..."), with ", K folders failed" when folders could not be made or listed
// and ", X excluded" when the ignore rules left entries out. Before it, the include audit's
// warnings (include_audit.h), failures with RunSettings::Strict; a stopped run has none.
//
// With Changed or Delete the destination's manifest (manifest_keeper.h) is read before
// the walk and saved during and after it: with Changed, files whose result is already
// at the destination are logged as "<path> - unchanged" and counted (", U unchanged");
// with Delete, a walk that reached its end is followed by the removal of what this tool
// wrote whose source the walk saw gone (mirror_delete.h; ", D deleted", ", N not from the
// source"). Without either, nothing is read or written beyond the destination but the
// lock below.
//
// Every run that writes takes the destination's lock (deploy_lock.h) first: while another
// run holds it, it waits up to StopTimes::lockWaitMs, then is refused with "another run is
// deploying into DEST (pid N)". Leftover temporary files are removed from the folders the
// walk enters, and from those the journal of a killed run names (manifest_journal.h), each
// removal logged as "<path> - removed, a temporary file left by an interrupted run".
// What goes wrong with the lock, the manifest or its journal never stops a run: it is a
// "Warning: <reason> - <what it means>" entry before the summary, and in the report; a
// manifest that could not be saved counts as a failure (the run did not keep the record
// it was asked to keep, and the next run depends on it).
//
// A dry run (RunSettings::DryRun, dry_run.h) refuses and walks alike but writes nothing,
// not even the destination folder, and ends with its own summary. With
// RunSettings::ReportPath the run's report (report.h) is written however the run ends,
// and when the run begins one that says it is running takes the place of an older one.

#include "run/run_host.h"
#include "run/settings/settings_store.h"

#include <string>

struct RunOutcome {
  enum class Status {
    Ignored,    // a run was already in progress: nothing happened
    Refused,    // the paths were refused (message shown); nothing was written
    Completed,  // the walk reached its end
    Stopped,    // the walk ended early on a stop request
  };
  Status status = Status::Ignored;
  long long files = 0;          // files copied or encoded, failed ones included
  long long failed = 0;         // log entries that carry a reason (files and folders)
  long long failedFolders = 0;  // of those, folders that could not be made or listed
  long long leftPlain = 0;      // script files copied plain because their kind is off
  long long excluded = 0;       // entries left out by the ignore rules
  std::string reportProblem;    // why the report (RunSettings::ReportPath) was not written
  long long includeFindings = 0;  // include audit warnings (with Strict, also in `failed`)
  long long unchanged = 0;      // files left as they were (Changed)
  long long deleted = 0;        // files and folders removed, their source gone (Delete)
  long long notFromSource = 0;  // destination entries left alone, not this tool's
  bool deletionRefused = false; // more removals than MaxDelete: none done; counted in `failed`
};

// How long a stopped encoder may still finish its file, and how long it has to end
// once asked before it is killed. Tests shorten them.
struct StopTimes {
  int graceMs = 2000;
  int killMs = 2000;
  int lockWaitMs = 5000;  // how long a run waits for another run into its destination
};

// The Start button's run. Never throws; every failure becomes a log entry or a message.
RunOutcome RunEncoding(RunHost& host, const SettingsStore& store, const StopTimes& times = {});

// The Stop button: raises the stop request, nothing else.
inline void RequestStop(RunHost& host) { host.State().StopRequested = true; }

// The messages a refused run shows, all with the warning icon and the title "Source Encode".
inline const std::string kRefusedTitle = "Source Encode";
inline const std::string kSamePathsMessage = "Source and Destination Paths can not be the same!";
inline const std::string kDestInsideSourceMessage = "Destination Path can not be inside the Source Path!";
inline const std::string kSourceInsideDestMessage = "Source Path can not be inside the Destination Path!";
