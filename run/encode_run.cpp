#include "encode_run.h"

#include "basShell.h"
#include "fs_ops.h"
#include "paths.h"
#include "run_settings.h"
#include "tree_count.h"
#include "walk.h"

namespace fs = std::filesystem;

namespace {

// The end steps, taken on every way out of a run.
class RunGuard {
public:
  explicit RunGuard(RunHost& host) : host_(host) {
    host_.State().Busy = true;
    host_.SetStopEnabled(true);
  }
  ~RunGuard() {
    host_.State().Busy = false;
    host_.SetStopEnabled(false);
    host_.State().StopRequested = false;
  }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

private:
  RunHost& host_;
};

// The message that refuses this pair of folders, or an empty text when they may be used.
QString RefusalOf(const fs::path& source, const fs::path& destination) {
  if (source.native() == destination.native()) return kSamePathsMessage;
  if (!Exists(source)) return QStringLiteral("Source Path does not exist: ") + ToDisplayPath(source);
  if (!IsFolder(source)) return QStringLiteral("Source Path is not a folder: ") + ToDisplayPath(source);
  switch (RelatePaths(source, destination)) {
    case PathRelation::Same: return kSamePathsMessage;
    case PathRelation::FirstInsideSecond: return kSourceInsideDestMessage;
    case PathRelation::SecondInsideFirst: return kDestInsideSourceMessage;
    case PathRelation::Apart: break;
  }
  return QString();
}

// Counts the tree for the progress shown, and refuses a run whose files need an encoder
// that is not there.
QString CountAndCheckEncoder(RunHost& host, const fs::path& source, const RunSettings& settings,
                             TreeCount& count) {
  count = CountTree(source, settings, [&host](qint64 files) {
    host.ShowProgress(0, files);
    host.ProcessEvents();
    return host.State().StopRequested;
  });
  if (count.toEncode == 0) return QString();
  const fs::path encoder = ToNativePath(host.AppDir() + EncoderFileName());
  const QString problem = EncoderProblem(encoder);
  if (problem.isEmpty()) return QString();
  return QStringLiteral("The encoder cannot be started: %1 - %2\n%3 files need it; nothing was written.")
      .arg(ToDisplayPath(encoder), problem)
      .arg(count.toEncode);
}

QString OptionName(const QString& key) {
  if (key == QLatin1String("chkASP")) return QStringLiteral("\"Active Server Page (*.ASP) Files\" (chkASP)");
  if (key == QLatin1String("chkHTML")) return QStringLiteral("\"Standard HTML (*.HTML, HTM) files\" (chkHTML)");
  if (key == QLatin1String("chkJS")) return QStringLiteral("\"Javascript (*.JS) files\" (chkJS)");
  if (key == QLatin1String("Check2")) return QStringLiteral("\"VBScript (*.VBS) Files\" (Check2)");
  return QStringLiteral(".inc not in \"Other File Extensions that are ASP\" (txtDefxt)");
}

// One entry naming the script files that went out readable because their kind is off.
QString LeftPlainEntry(const Walk& walk, qint64& total) {
  total = 0;
  QStringList parts;
  for (auto it = walk.leftPlain.cbegin(); it != walk.leftPlain.cend(); ++it) {
    total += it.value();
    parts << QStringLiteral("%1 %2").arg(it.value()).arg(OptionName(it.key()));
  }
  if (total == 0) return QString();
  return QStringLiteral("Warning: %1 files that hold script were copied unencoded, their type "
                        "being off in Options: %2")
      .arg(total)
      .arg(parts.join(QStringLiteral(", ")));
}

QString Summary(const Walk& walk) {
  QString text = QStringLiteral("%1: %2 files, %3 failed")
                     .arg(walk.stopped ? QStringLiteral("Stopped") : QStringLiteral("Done"))
                     .arg(walk.files)
                     .arg(walk.failedFiles);
  if (walk.failedFolders > 0) text += QStringLiteral(", %1 folders failed").arg(walk.failedFolders);
  return text;
}

fs::path Refused(RunHost& host, const QString& message, RunOutcome& outcome) {
  host.ShowMessage(message, MessageIcon::Warning, kRefusedTitle);
  outcome.status = RunOutcome::Status::Refused;
  return {};
}

}  // namespace

RunOutcome RunEncoding(RunHost& host, const SettingsStore& store, const StopTimes& times) {
  RunOutcome outcome;
  if (host.State().Busy) return outcome;  // never a run inside a run

  const RunSettings settings = LoadRunSettings(store);
  RunGuard guard(host);
  // The two paths are taken once: picking other folders during a pause changes nothing.
  const fs::path source = host.SourcePath();
  const fs::path destination = host.DestinationPath();

  if (const QString refusal = RefusalOf(source, destination); !refusal.isEmpty()) {
    Refused(host, refusal, outcome);
    return outcome;
  }
  TreeCount count;
  if (const QString refusal = CountAndCheckEncoder(host, source, settings, count); !refusal.isEmpty()) {
    Refused(host, refusal, outcome);
    return outcome;
  }
  if (count.stopped) {  // Stop while the tree was being counted: nothing was done
    host.ClearLog();
    host.AppendLog(QStringLiteral("Stopped: 0 files, 0 failed"));
    host.RepaintLog();
    outcome.status = RunOutcome::Status::Stopped;
    return outcome;
  }
  bool existed = false;
  if (Status made = MakeFolders(destination, &existed); !made.ok()) {
    Refused(host, QStringLiteral("Destination Path can not be created: ") + made.reason(), outcome);
    return outcome;
  }
  if (existed) RemoveLeftoverTemporaries(destination);

  host.ClearLog();
  host.State().FilesDone = 1;
  host.ShowProgress(0, count.files);
  WaitControl limits;
  limits.stopGraceMs = times.graceMs;
  limits.killGraceMs = times.killMs;
  Walk walk(host, settings, limits, IdentityOf(destination), count.files);
  walk.EncodeFolder(source, destination);

  outcome.status = walk.stopped ? RunOutcome::Status::Stopped : RunOutcome::Status::Completed;
  outcome.files = walk.files;
  outcome.failed = walk.failedFiles + walk.failedFolders;
  outcome.failedFolders = walk.failedFolders;
  if (const QString warning = LeftPlainEntry(walk, outcome.leftPlain); !warning.isEmpty()) {
    host.AppendLog(warning);
  }
  host.AppendLog(Summary(walk));
  host.RepaintLog();
  return outcome;
}
