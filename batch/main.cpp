// quillward-batch: the encoding run of Quillward's Start button, from a console.
#include "batch_args.h"
#include "console_host.h"
#include "console_text.h"
#include "run/encode_run.h"
#include "run/settings/settings_keys.h"
#include "run/util/native_path.h"
#include "program_dir.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"
#include "stop_signals.h"

#include <clocale>
#include <cstdio>
#include <string>

namespace {

enum ExitStatus { kAllDone = 0, kSomeFailed = 1, kRefused = 2, kStopped = 130 };

int ExitStatusOf(const RunOutcome& outcome) {
  switch (outcome.status) {
    case RunOutcome::Status::Completed: return outcome.failed > 0 ? kSomeFailed : kAllDone;
    case RunOutcome::Status::Stopped: return kStopped;
    case RunOutcome::Status::Refused:
    case RunOutcome::Status::Ignored: break;
  }
  return kRefused;
}

void PrintError(const std::string& text) { WriteText(stderr, "quillward-batch: " + text + "\n"); }

}  // namespace

int main(int argc, char** argv) {
  // The system's messages in the user's language; numbers always as C writes them.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  InstallStopSignals();

  const BatchArgs args = ParseBatchArgs(NativeArguments(argc, argv));
  if (args.help) {
    WriteText(stdout, BatchUsage());
    return kAllDone;
  }
  if (!args.error.empty()) {
    PrintError(args.error);
    WriteText(stderr, "Try 'quillward-batch --help'.\n");
    return kRefused;
  }

  const std::unique_ptr<SettingsStore> stored = OpenUserSettings("Quillward");
  if (const std::string problem = stored->Problem(); !problem.empty()) {
    PrintError(problem);
    return kRefused;
  }
  MemorySettingsStore settings(stored.get());
  for (const auto& [key, value] : args.overrides) settings.Write(kSettingsSection, key, value);
  std::string excludes;
  for (const std::string& pattern : args.excludes) excludes += pattern + '\n';
  if (!excludes.empty()) settings.Write(kThisRunSection, setting_keys::kCommandExcludes, excludes);
  if (args.verbose) settings.Write(kThisRunSection, setting_keys::kVerbose, setting_defaults::kSet);
  if (args.dryRun) settings.Write(kThisRunSection, setting_keys::kDryRun, setting_defaults::kSet);
  if (!args.report.empty()) settings.Write(kThisRunSection, setting_keys::kReport, ToDisplayPath(args.report));
  if (args.strict) settings.Write(kThisRunSection, setting_keys::kStrict, setting_defaults::kSet);
  if (args.checksum) settings.Write(kThisRunSection, setting_keys::kChecksum, setting_defaults::kSet);
  if (args.maxDelete >= 0) settings.Write(kThisRunSection, setting_keys::kMaxDelete, std::to_string(args.maxDelete));

  ConsoleHost host(args.source, args.destination, ProgramDirectory(argc > 0 ? argv[0] : nullptr));
  const RunOutcome outcome = RunEncoding(host, settings);
  host.Flush();
  int status = ExitStatusOf(outcome);
  if (!outcome.reportProblem.empty()) {
    PrintError("report not written: " + outcome.reportProblem);
    if (status == kAllDone) status = kSomeFailed;  // a refused or stopped run keeps its status
  }
  return status;
}
