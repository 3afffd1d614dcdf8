#pragma once
// A dry run (RunSettings::DryRun): the walk decides each entry exactly as a run would and
// writes nothing. The dry run watches the walk as the report does: told each entry, it
// logs what the run would do, made from the entry's record, and counts the actions for
// a summary of its own:
//   "Processing ... <folder>"
//   "<path> - would encode (<switches>)"    "<path> - would copy"
//   "<path> - would skip unchanged"         "<path> - would exclude"
//   "Dry run: N files would be encoded, M copied[, U unchanged][, D deleted][, X excluded], F failed"
// ("Dry run stopped: ..." when it was stopped). Excluded entries are listed whether or not
// the run is verbose. What failed the walk logs itself ("<path> - <reason>"), and the
// removals theirs ("<path> - would delete"); the dry run only counts them.

#include "run/run_host.h"
#include "run/walk/entry_record.h"

#include <optional>
#include <string>

// The line a dry run logs for `record`; nothing for an entry whose line is another's.
std::optional<std::string> DryRunLine(const EntryRecord& record);

class DryRunLog : public EntryObserver {
public:
  explicit DryRunLog(RunHost& host) : host_(host) {}
  void Entry(const EntryRecord& record) override;
  std::string Summary(bool stopped) const;

  long long encoded = 0, copied = 0, unchanged = 0, deleted = 0, excluded = 0, failed = 0;

private:
  RunHost& host_;
};
