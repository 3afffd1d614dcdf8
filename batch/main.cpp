// quillward-batch: the encoding run of Quillward's Start button, from a console.
#include "batch_args.h"
#include "console_host.h"
#include "encode_run.h"
#include "settings_store.h"
#include "stop_signals.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

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

void PrintError(const QString& text) {
  std::fputs(("quillward-batch: " + text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Quillward"));
  InstallStopSignals();

  const BatchArgs args = ParseBatchArgs(NativeArguments(argc, argv));
  if (args.help) {
    std::fputs(BatchUsage().toLocal8Bit().constData(), stdout);
    return kAllDone;
  }
  if (!args.error.isEmpty()) {
    PrintError(args.error);
    std::fputs("Try 'quillward-batch --help'.\n", stderr);
    return kRefused;
  }

  const QSettingsStore stored(QCoreApplication::applicationName());
  if (const QString problem = stored.Problem(); !problem.isEmpty()) {
    PrintError(problem);
    return kRefused;
  }
  MemorySettingsStore settings(&stored);
  for (auto it = args.overrides.cbegin(); it != args.overrides.cend(); ++it) {
    settings.Write(QStringLiteral("Settings"), it.key(), it.value());
  }

  ConsoleHost host(args.source, args.destination,
                   QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QLatin1Char('/')));
  return ExitStatusOf(RunEncoding(host, settings));
}
