#include "run/redeploy/dry_run.h"

#include "run/walk/log_entry.h"

std::optional<std::string> DryRunLine(const EntryRecord& record) {
  const std::string source = LogEntry(record.source);
  switch (record.action) {
    case EntryAction::Folder: return kProcessing + source;
    case EntryAction::Encoded: return source + " - would encode (" + record.switches + ")";
    case EntryAction::Copied: return source + " - would copy";
    case EntryAction::Unchanged: return source + " - would skip unchanged";
    case EntryAction::Excluded: return source + " - would exclude";
    case EntryAction::Deleted:
    case EntryAction::Failed:
    case EntryAction::Stopped:
    case EntryAction::Kept: break;
  }
  return std::nullopt;
}

void DryRunLog::Entry(const EntryRecord& record) {
  if (const std::optional<std::string> line = DryRunLine(record)) host_.AppendLog(*line);
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

std::string DryRunLog::Summary(bool stopped) const {
  std::string text = std::string(stopped ? "Dry run stopped: " : "Dry run: ") + std::to_string(encoded) +
                     " files would be encoded, " + std::to_string(copied) + " copied";
  if (unchanged > 0) text += ", " + std::to_string(unchanged) + " unchanged";
  if (deleted > 0) text += ", " + std::to_string(deleted) + " deleted";
  if (excluded > 0) text += ", " + std::to_string(excluded) + " excluded";
  return text + ", " + std::to_string(failed) + " failed";
}
