#include "encode_run.h"

#include "basShell.h"
#include "encoder_command.h"
#include "file_kind.h"
#include "fs_ops.h"
#include "paths.h"
#include "run_settings.h"

#include <algorithm>
#include <limits>

namespace fs = std::filesystem;

namespace {

const QString kProcessing = QStringLiteral("Processing ... ");

// Name order ignoring case, ties broken by the exact name, so that runs and logs are
// the same on every machine whatever order the system lists a folder in.
void SortByName(std::vector<FolderEntry>& entries) {
  std::vector<std::pair<QString, size_t>> keys;
  keys.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) keys.emplace_back(entries[i].displayName.toCaseFolded(), i);
  std::sort(keys.begin(), keys.end(), [&entries](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return entries[a.second].name.native() < entries[b.second].name.native();
  });
  std::vector<FolderEntry> sorted;
  sorted.reserve(entries.size());
  for (const auto& k : keys) sorted.push_back(std::move(entries[k.second]));
  entries.swap(sorted);
}

QString Entry(const fs::path& path, const QString& reason) {
  const QString shown = ToDisplayPath(path);
  return reason.isEmpty() ? shown : shown + QStringLiteral(" - ") + reason;
}

// Runs the encoder and checks that it left this run's output at `destination`: a file
// left there by an earlier run does not count.
QString Encode(FileKind kind, const QString& appDir, const RunSettings& settings,
               const fs::path& source, const fs::path& destination) {
  const std::optional<FileStamp> before = StampOf(destination);
  const ProcessOutcome outcome =
      RunHiddenAndWait(BuildEncoderCommand(kind, appDir, settings, source, destination));
  if (!outcome.Succeeded()) return outcome.reason;
  const std::optional<FileStamp> after = StampOf(destination);
  if (!after) return QStringLiteral("encoder wrote no output");
  if (before && *before == *after) return QStringLiteral("encoder left the earlier output unchanged");
  return QString();
}

// One run's walk over the source tree.
class Walk {
public:
  Walk(RunHost& host, const RunSettings& settings)
      : host_(host), settings_(settings), appDir_(host.AppDir()) {}

  void EncodeFolder(const fs::path& source, const fs::path& destination);

  bool stopped = false;
  qint64 files = 0;
  qint64 failed = 0;

private:
  QString ProcessFile(const FolderEntry& entry, const fs::path& source, const fs::path& destination);
  void FileDone(const QString& entry);
  void Fail(const QString& entry) {
    ++failed;
    host_.AppendLog(entry);
  }

  RunHost& host_;
  const RunSettings& settings_;
  const QString appDir_;
};

void Walk::EncodeFolder(const fs::path& source, const fs::path& destination) {
  std::vector<FolderEntry> entries;
  if (Status listed = ListFolder(source, entries); !listed.ok()) {
    Fail(kProcessing + Entry(source, listed.reason()));
    return;
  }
  host_.AppendLog(kProcessing + ToDisplayPath(source));
  SortByName(entries);

  for (const FolderEntry& e : entries) {
    if (e.type != FolderEntry::Type::File && e.type != FolderEntry::Type::Other) continue;
    const fs::path from = JoinPath(source, e.name);
    const QString reason = e.type == FolderEntry::Type::Other
                               ? e.reason
                               : ProcessFile(e, from, JoinPath(destination, e.name));
    if (!reason.isEmpty()) ++failed;
    FileDone(Entry(from, reason));
    if (stopped) return;
  }

  for (const FolderEntry& e : entries) {
    if (stopped || host_.State().StopRequested) {
      stopped = true;
      return;
    }
    const fs::path from = JoinPath(source, e.name);
    if (e.type == FolderEntry::Type::FolderLink) {
      Fail(Entry(from, QStringLiteral("link to a folder, not followed")));
      continue;
    }
    if (e.type != FolderEntry::Type::Folder) continue;
    const fs::path to = JoinPath(destination, e.name);
    if (Status made = MakeFolder(to); !made.ok()) {
      Fail(kProcessing + Entry(from, made.reason()));
      continue;
    }
    EncodeFolder(from, to);
  }
}

QString Walk::ProcessFile(const FolderEntry& entry, const fs::path& source,
                          const fs::path& destination) {
  const FileKind kind = ClassifyFile(TypeDescription(entry.displayName), entry.displayName, settings_);
  if (kind == FileKind::Copy) return CopyFileAtomic(source, destination).reason();
  return Encode(kind, appDir_, settings_, source, destination);
}

// After each file: log it, show it, let events run, and honour a stop request.
void Walk::FileDone(const QString& entry) {
  ++files;
  host_.AppendLog(entry);
  host_.RepaintLog();
  RunState& state = host_.State();
  host_.ScrollText(static_cast<qint16>(std::min<qint32>(state.FilesDone, 32767)));
  if (state.FilesDone < std::numeric_limits<qint32>::max()) ++state.FilesDone;
  host_.ProcessEvents();
  if (state.StopRequested) stopped = true;
}

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
  if (!IsFolder(source)) {
    return QStringLiteral("Source Path does not exist: ") + ToDisplayPath(source);
  }
  switch (RelatePaths(source, destination)) {
    case PathRelation::Same: return kSamePathsMessage;
    case PathRelation::FirstInsideSecond: return kSourceInsideDestMessage;
    case PathRelation::SecondInsideFirst: return kDestInsideSourceMessage;
    case PathRelation::Apart: break;
  }
  if (Status made = MakeFolders(destination); !made.ok()) {
    return QStringLiteral("Destination Path can not be created: ") + made.reason();
  }
  return QString();
}

}  // namespace

RunOutcome RunEncoding(RunHost& host, const SettingsStore& store) {
  RunOutcome outcome;
  if (host.State().Busy) return outcome;  // never a run inside a run

  const RunSettings settings = LoadRunSettings(store);
  RunGuard guard(host);
  // The two paths are taken once: picking other folders during a pause changes nothing.
  const fs::path source = host.SourcePath();
  const fs::path destination = host.DestinationPath();

  if (const QString refusal = RefusalOf(source, destination); !refusal.isEmpty()) {
    host.ShowMessage(refusal, MessageIcon::Warning, kRefusedTitle);
    outcome.status = RunOutcome::Status::Refused;
    return outcome;
  }

  host.ClearLog();
  host.State().FilesDone = 1;
  Walk walk(host, settings);
  walk.EncodeFolder(source, destination);

  outcome.status = walk.stopped ? RunOutcome::Status::Stopped : RunOutcome::Status::Completed;
  outcome.files = walk.files;
  outcome.failed = walk.failed;
  host.AppendLog(QStringLiteral("%1: %2 files, %3 failed")
                     .arg(walk.stopped ? QStringLiteral("Stopped") : QStringLiteral("Done"))
                     .arg(walk.files)
                     .arg(walk.failed));
  host.RepaintLog();
  return outcome;
}
