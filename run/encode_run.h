#pragma once
// The encoding run: what happens from Start until the run ends.
//
// RunEncoding loads the settings once, takes the two paths once, refuses identical or
// nested folders and a missing source, empties the log and walks the source tree depth
// first (a folder's files in name order, then its subfolders), copying or encoding each
// file to the same relative path under the destination. After every file it appends a
// log entry, repaints and scrolls the log, lets events run and honours a stop request.
// A final entry sums up: "Done: N files, M failed" or "Stopped: N files, M failed".
// Failures of single files and folders are logged as "<path> - <reason>"; the walk goes on.

#include "run_host.h"
#include "settings_store.h"

struct RunOutcome {
  enum class Status {
    Ignored,    // a run was already in progress: nothing happened
    Refused,    // the paths were refused (message shown); nothing was written
    Completed,  // the walk reached its end
    Stopped,    // the walk ended early on a stop request
  };
  Status status = Status::Ignored;
  qint64 files = 0;   // files copied or encoded, failed ones included
  qint64 failed = 0;  // log entries that carry a reason (files and folders)
};

// The Start button's run. Never throws; every failure becomes a log entry or a message.
RunOutcome RunEncoding(RunHost& host, const SettingsStore& store);

// The Stop button: raises the stop request, nothing else.
inline void RequestStop(RunHost& host) { host.State().StopRequested = true; }

// The messages a refused run shows, all with the warning icon and the title "Source Encode".
inline const QString kRefusedTitle = QStringLiteral("Source Encode");
inline const QString kSamePathsMessage =
    QStringLiteral("Source and Destination Paths can not be the same!");
inline const QString kDestInsideSourceMessage =
    QStringLiteral("Destination Path can not be inside the Source Path!");
inline const QString kSourceInsideDestMessage =
    QStringLiteral("Source Path can not be inside the Destination Path!");
