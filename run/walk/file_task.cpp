#include "run/walk/file_task.h"

#include "run/util/fs_ops.h"
#include "run/util/sha256.h"

FileTask::FileTask(std::filesystem::path appDir, const RunSettings& settings, WaitControl control)
    : appDir_(std::move(appDir)), settings_(settings), control_(std::move(control)) {}

bool FileTask::Begin(FileSlot& file, EncodeStart& start, EncoderSession& session) const {
  EntryRecord& record = file.record;
  file.begun = std::chrono::steady_clock::now();
  // Hashed by whoever does the file, on every core: a copy's from the bytes it copies, a
  // page's before it is encoded.
  if (record.kind == FileKind::Copy) {
    record.reason = CopyFileAtomic(record.source, record.destination, file.hashSource ? &record.sourceSha : nullptr)
                        .reason();
    record.action = record.reason.empty() ? EntryAction::Copied : EntryAction::Failed;
    Complete(file);
    return true;
  }
  if (file.hashSource && !Sha256OfFile(record.source, record.sourceSha).ok()) record.sourceSha.clear();
  start = BeginEncode(record, appDir_, settings_, session);
  if (start.sent) return false;
  FinishEncode(start, record, control_, session);  // settled, or a process of its own: now
  Complete(file);
  return true;
}

bool FileTask::Finish(FileSlot& file, EncodeStart& start, EncoderSession& session) const {
  if (!FinishEncode(start, file.record, control_, session)) return false;
  Complete(file);
  return true;
}

bool FileTask::Do(FileSlot& file, EncoderSession& session) const {
  EncodeStart start;
  return Begin(file, start, session) || Finish(file, start, session);
}

void FileTask::Complete(FileSlot& file) const {
  EntryRecord& record = file.record;
  if (!settings_.ReportPath.empty()) {
    if (const auto in = StampOf(record.source)) record.bytesIn = in->size;
    if (record.reason.empty()) {
      if (const auto out = StampOf(record.destination)) record.bytesOut = out->size;
    }
  }
  record.microseconds =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - file.begun).count();
}

void PlanFile(EntryRecord& record) {
  const bool encoded = record.kind != FileKind::Copy && !HoldsNoText(record.source);
  record.action = encoded ? EntryAction::Encoded : EntryAction::Copied;
  if (!encoded) record.switches.clear();
  if (const auto in = StampOf(record.source)) record.bytesIn = in->size;
}
