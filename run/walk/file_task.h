#pragma once
// One file of a run, copied or encoded: the one task the one-worker run does on the
// walk's thread and each worker (file_workers.h) on its own. It never calls the host.
// In two halves, so that a worker can send its encoder the next pages before a page is
// answered; the one-worker run does both at once.
//
// A file's result is its EntryRecord all the way: the walk fills in what it decided (the
// paths, the kind, the encoder's switches), the task what happened (the action, the
// reason, the sizes, the time, the source's hash), and the same record goes on to the
// log, the report, the manifest and the include audit.

#include "run/encoder/basShell.h"
#include "run/encoder/encode_page.h"
#include "run/encoder/encoder_session.h"
#include "run/walk/entry_record.h"
#include "run/settings/run_settings.h"

#include <chrono>
#include <filesystem>

// One file to do, and once done, how it went. With workers, `done` and `skipped` are set
// under their lock, and `record` is the walk's again once one of them is.
struct FileSlot {
  EntryRecord record;
  bool hashSource = false;  // the SHA-256 of the source is wanted (for the manifest)
  bool done = false;
  // A stop came before the file was begun (never touched), or ended the encoder it had
  // been sent to before the encoder began it (nothing written; only a link at its
  // destination may have been removed, as for every page before it is encoded).
  bool skipped = false;
  std::chrono::steady_clock::time_point begun;  // when the task took it
};

class FileTask {
public:
  // `control`: the wait while an encoder runs (a worker's poll must not touch the host).
  FileTask(std::filesystem::path appDir, const RunSettings& settings, WaitControl control);

  // The first half: the source hashed when asked, then the copy made, or the encode
  // begun. True when the file is done: copied, settled before the encoder, or encoded by
  // a process of its own. False when a serving encoder has it: Finish takes its answer,
  // in the order begun.
  bool Begin(FileSlot& file, EncodeStart& start, EncoderSession& session) const;
  // The second half; false when the file was dropped unbegun (the caller marks it
  // `skipped`).
  bool Finish(FileSlot& file, EncodeStart& start, EncoderSession& session) const;
  // Both halves, one after the other; false as Finish.
  bool Do(FileSlot& file, EncoderSession& session) const;

private:
  // The time since the file was taken and, when a report wants them, the sizes of the
  // source and of the output.
  void Complete(FileSlot& file) const;

  const std::filesystem::path appDir_;
  const RunSettings& settings_;
  const WaitControl control_;
};

// What a run would do with the file of `record`, for a dry run: encoded (a script file
// that holds text) or copied, and the source's size. Reads the file's first bytes;
// writes nothing.
void PlanFile(EntryRecord& record);
