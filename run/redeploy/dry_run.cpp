#include "run/redeploy/dry_run.h"

#include "run/encoder/encode_page.h"
#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "run/walk/walk.h"

std::string DryRunLine(const EntryRecord& record) {
  const std::string source = ToDisplayPath(record.source);
  switch (record.action) {
    case EntryAction::Folder: return kProcessing + source;
    case EntryAction::Encoded: return source + " - would encode (" + record.switches + ")";
    case EntryAction::Copied: return source + " - would copy";
    case EntryAction::Unchanged: return source + " - would skip unchanged";
    case EntryAction::Excluded: return source + " - would exclude";
    case EntryAction::Deleted: return ToDisplayPath(record.destination) + " - would delete";
    case EntryAction::Failed:
    case EntryAction::Stopped:
    case EntryAction::Kept: break;
  }
  return LogEntry(record.source, record.reason);  // the walk keeps a failure's own line
}

void DryRunTally::Entry(const EntryRecord& record) {
  switch (record.action) {
    case EntryAction::Encoded: ++encoded; break;
    case EntryAction::Copied: ++copied; break;
    case EntryAction::Unchanged: ++unchanged; break;
    case EntryAction::Deleted: ++deleted; break;
    case EntryAction::Excluded: ++excluded; break;
    case EntryAction::Failed: ++failed; break;
    case EntryAction::Folder:
    case EntryAction::Stopped:
    case EntryAction::Kept: break;
  }
}

std::string DryRunTally::Summary(bool stopped) const {
  std::string text = std::string(stopped ? "Dry run stopped: " : "Dry run: ") + std::to_string(encoded) +
                     " files would be encoded, " + std::to_string(copied) + " copied";
  if (unchanged > 0) text += ", " + std::to_string(unchanged) + " unchanged";
  if (deleted > 0) text += ", " + std::to_string(deleted) + " deleted";
  if (excluded > 0) text += ", " + std::to_string(excluded) + " excluded";
  return text + ", " + std::to_string(failed) + " failed";
}

void PlanFile(EntryRecord& record) {
  const bool encoded = record.kind != FileKind::Copy && !HoldsNoText(record.source);
  record.action = encoded ? EntryAction::Encoded : EntryAction::Copied;
  if (!encoded) record.switches.clear();
  if (const auto in = StampOf(record.source)) record.bytesIn = in->size;
}
