#pragma once
// A dry run (RunSettings::DryRun): the walk decides each entry exactly as a run would and
// writes nothing; each entry's log line says what the run would do, made from the
// entry's record, and a summary of its own counts the actions:
//   "Processing ... <folder>"
//   "<path> - would encode (<switches>)"    "<path> - would copy"
//   "<path> - would skip unchanged"         "<path> - would delete"
//   "<path> - would exclude"                "<path> - <reason>"  (it would fail)
//   "Dry run: N files would be encoded, M copied[, U unchanged][, D deleted][, X excluded], F failed"
// ("Dry run stopped: ..." when it was stopped). Excluded entries are listed whether or not
// the run is verbose.

#include "run/walk/entry_record.h"

#include <string>

std::string DryRunLine(const EntryRecord& record);

// Counts what a dry run would do, told every entry as the report is.
class DryRunTally : public EntryObserver {
public:
  void Entry(const EntryRecord& record) override;
  std::string Summary(bool stopped) const;

  long long encoded = 0, copied = 0, unchanged = 0, deleted = 0, excluded = 0, failed = 0;
};

// What a run would do with the file of `record`: encoded (a script file that holds text)
// or copied, and the source's size. Reads the file's first bytes; writes nothing.
void PlanFile(EntryRecord& record);
