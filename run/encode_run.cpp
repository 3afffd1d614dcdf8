#include "run/encode_run.h"

#include "run/encoder/basShell.h"
#include "run/redeploy/deploy_lock.h"
#include "run/redeploy/dry_run.h"
#include "run/encoder/encoder_command.h"
#include "run/util/fs_ops.h"
#include "run/includes/include_audit.h"
#include "run/redeploy/manifest_keeper.h"
#include "run/redeploy/mirror_delete.h"
#include "run/util/native_path.h"
#include "run/report/report.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_keys.h"
#include "run/walk/tree_count.h"
#include "run/redeploy/destination_looks.h"
#include "run/walk/walk.h"

#include <utility>

#include <future>
#include <system_error>

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
std::string RefusalOf(const fs::path& source, const fs::path& destination) {
  if (source.native() == destination.native()) return kSamePathsMessage;
  if (!Exists(source)) return "Source Path does not exist: " + ToDisplayPath(source);
  if (!IsFolder(source)) return "Source Path is not a folder: " + ToDisplayPath(source);
  switch (RelatePaths(source, destination)) {
    case PathRelation::Same: return kSamePathsMessage;
    case PathRelation::FirstInsideSecond: return kSourceInsideDestMessage;
    case PathRelation::SecondInsideFirst: return kDestInsideSourceMessage;
    case PathRelation::Apart: break;
  }
  return {};
}

// Counts the tree for the progress shown, and refuses a run whose files need an encoder
// that is not there.
std::string CountAndCheckEncoder(RunHost& host, const fs::path& source, const RunSettings& settings,
                                 TreeCount& count) {
  count = CountTree(source, settings, [&host](long long files) {
    host.ShowProgress(0, files);
    host.ProcessEvents();
    return host.State().StopRequested;
  }, /*keep=*/true);
  if (count.toEncode == 0) return {};
  const fs::path encoder = host.AppDir() / ToNativePath(EncoderFileName());
  const std::string problem = EncoderProblem(encoder);
  if (problem.empty()) return {};
  return "The encoder cannot be started: " + ToDisplayPath(encoder) + " - " + problem + "\n" +
         std::to_string(count.toEncode) + " files need it; nothing was written.";
}

std::string OptionName(const std::string& key) {
  namespace k = setting_keys;
  for (const auto& [name, label] : {std::pair{k::kEncodeAsp, "Active Server Page (*.ASP) Files"},
                                    std::pair{k::kEncodeHtml, "Standard HTML (*.HTML, HTM) files"},
                                    std::pair{k::kEncodeJs, "Javascript (*.JS) files"},
                                    std::pair{k::kEncodeVbs, "VBScript (*.VBS) Files"}}) {
    if (key != name) continue;
    std::string text = "\"";
    text.append(label).append("\" (").append(name).append(")");
    return text;
  }
  std::string text = ".inc not in \"Other File Extensions that are ASP\" (";
  text.append(k::kAspExtensions).append(")");
  return text;
}

// One entry naming the script files that went out readable because their kind is off.
std::string LeftPlainEntry(const Walk& walk, bool dryRun, long long& total) {
  total = 0;
  std::string parts;
  for (const auto& [key, count] : walk.leftPlain) {
    total += count;
    parts += (parts.empty() ? "" : ", ") + std::to_string(count) + " " + OptionName(key);
  }
  if (total == 0) return {};
  return "Warning: " + std::to_string(total) + " files that hold script " +
         (dryRun ? "would be" : "were") + " copied unencoded, their type being off in Options: " + parts;
}

std::string Summary(const Walk& walk, const RemovalOutcome& removal, long long alsoFailed) {
  std::string text = std::string(walk.stopped ? "Stopped" : "Done") + ": " + std::to_string(walk.files) +
                     " files, " + std::to_string(walk.failedFiles + alsoFailed) + " failed";
  if (walk.failedFolders > 0) text += ", " + std::to_string(walk.failedFolders) + " folders failed";
  if (walk.excluded > 0) text += ", " + std::to_string(walk.excluded) + " excluded";
  if (walk.unchanged > 0) text += ", " + std::to_string(walk.unchanged) + " unchanged";
  if (removal.deleted > 0) text += ", " + std::to_string(removal.deleted) + " deleted";
  if (removal.foreign > 0) text += ", " + std::to_string(removal.foreign) + " not from the source";
  return text;
}

// The destination's lock, waited for; the refusal's text when another run holds it. A
// lock that cannot be made is a problem, not a refusal.
std::string TakeLock(RunHost& host, const fs::path& destination, const StopTimes& times,
                     std::unique_ptr<DeployLock>& lock, std::vector<ManifestProblem>& problems) {
  const fs::path manifest = ManifestFileOf(destination);
  if (manifest.empty()) return {};  // no state folder: nowhere to keep a lock
  const fs::path file = LockFileFor(manifest);
  DeployLock::Attempt attempt;
  if (Status made = MakeFolders(manifest.parent_path()); !made.ok()) {
    attempt.problem = made;
  } else {
    attempt = DeployLock::Take(file, std::chrono::milliseconds(times.lockWaitMs), [&host] {
      host.ProcessEvents();
      return host.State().StopRequested;
    });
  }
  switch (attempt.result) {
    case DeployLock::Result::Held: lock = std::move(attempt.lock); return {};
    case DeployLock::Result::Busy:
      return "another run is deploying into " + ToDisplayPath(destination) +
             (attempt.holder ? " (pid " + std::to_string(attempt.holder) + ")" : "");
    case DeployLock::Result::Unavailable: break;
  }
  problems.push_back({file, "not taken", attempt.problem.reason(), "another run into this destination is not kept out", false});
  return {};
}

// Leftover temporary files removed and logged: from the destination folder, and from the
// folders the journal of a killed run names (its own, whatever its id, for it has ended).
void RemoveTemporaries(RunHost& host, const fs::path& destination, bool existed, const ManifestKeeper* manifest) {
  std::vector<fs::path> folders;
  if (existed) folders.push_back(destination);
  if (manifest) folders.insert(folders.end(), manifest->EndedRunFolders().begin(), manifest->EndedRunFolders().end());
  for (const fs::path& folder : folders) {
    std::error_code ec;
    if (fs::is_symlink(folder, ec)) continue;  // never through a link
    for (const fs::path& path : RemoveLeftoverTemporaries(folder, manifest ? manifest->EndedRun() : 0)) {
      host.AppendLog(LogEntry(path, kRemovedTemporary));
    }
  }
}

// The problems of the lock and the manifest as warnings; returns how many are failures.
long long LogProblems(RunHost& host, const std::vector<ManifestProblem>& problems, RunReport* report) {
  long long failures = 0;
  for (const ManifestProblem& p : problems) {
    host.AppendLog("Warning: " + LogEntry(p.path, p.what + ": " + p.reason) + "; " + p.effect);
    if (p.failure) {
      ++failures;
      host.MarkLastFailed();
    }
    if (report) report->AddWarning({p.path, p.what, p.reason, p.effect});
  }
  return failures;
}

fs::path Refused(RunHost& host, const std::string& message, RunOutcome& outcome) {
  host.ShowMessage(message, MessageIcon::Warning, kRefusedTitle);
  outcome.status = RunOutcome::Status::Refused;
  return {};
}

// The run from its checks to its summary; `refusal` is the message of a refused run.
RunOutcome CheckAndWalk(RunHost& host, const RunSettings& settings, const fs::path& source,
                        const fs::path& destination, const StopTimes& times, RunReport* report,
                        std::string& refusal) {
  RunOutcome outcome;
  refusal = RefusalOf(source, destination);
  if (refusal.empty() && report) refusal = ReportPlaceProblem(ToNativePath(settings.ReportPath), source);
  if (!refusal.empty()) {
    Refused(host, refusal, outcome);
    return outcome;
  }
  // The manifest is read while the tree is counted, and taken once the lock is held only
  // if no run saved it meanwhile.
  std::future<ManifestReadAhead> readAhead;
  if (settings.Changed || settings.Delete) {
    if (const fs::path file = ManifestFileOf(destination); !file.empty()) {
      readAhead = std::async(std::launch::async, [file, identity = DestinationIdentity(destination)] {
        return ReadManifestAhead(file, identity);
      });
    }
  }
  TreeCount count;
  if (refusal = CountAndCheckEncoder(host, source, settings, count); !refusal.empty()) {
    Refused(host, refusal, outcome);
    return outcome;
  }
  if (count.stopped) {  // Stop while the tree was being counted: nothing was done
    host.ClearLog();
    host.AppendLog("Stopped: 0 files, 0 failed");
    host.RepaintLog();
    outcome.status = RunOutcome::Status::Stopped;
    return outcome;
  }
  bool existed = false;  // a dry run makes nothing, and a destination not there yet is fine
  if (const Status made = settings.DryRun ? Status::Ok() : MakeFolders(destination, &existed); !made.ok()) {
    refusal = "Destination Path can not be created: " + made.reason();
    Refused(host, refusal, outcome);
    return outcome;
  }
  std::unique_ptr<DeployLock> lock;  // held to the end of the run
  std::vector<ManifestProblem> problems;
  if (!settings.DryRun) {
    if (refusal = TakeLock(host, destination, times, lock, problems); !refusal.empty()) {
      Refused(host, refusal, outcome);
      return outcome;
    }
  }

  host.ClearLog();
  ManifestReadAhead ahead = readAhead.valid() ? readAhead.get() : ManifestReadAhead();
  const std::unique_ptr<ManifestKeeper> manifest =
      OpenManifest(settings, destination, host.AppDir() / ToNativePath(EncoderFileName()), &ahead);
  if (!settings.DryRun) RemoveTemporaries(host, destination, existed, manifest.get());
  host.State().FilesDone = 1;
  host.ShowProgress(0, count.files);
  WaitControl limits;
  limits.stopGraceMs = times.graceMs;
  limits.killGraceMs = times.killMs;
  // What the pages include, before any file is done: an included file is encoded as
  // part of the page it goes into. With a manifest, what is read is kept with each entry,
  // and a --changed run reads again only the files that are not as an earlier run read them.
  IncludeReach includes;
  IncludeReach::StoredScans stored;
  if (manifest) {
    manifest->KeepScans(&includes);
    const bool trusted = settings.Changed && !settings.Checksum;
    stored = [&keeper = *manifest, trusted](const std::string& relative, const FileStamp& now) {
      return trusted ? keeper.StoredScan(relative, now) : nullptr;
    };
  }
  // A re-deploy looks at the destination's files ahead of the walk, on another core.
  std::optional<DestinationLooks> destinationLooks;
  if (manifest && settings.Changed && !settings.DryRun && !manifest->Current().entries.empty()) {
    try {
      destinationLooks.emplace(count.listings, source, destination);
    } catch (const std::system_error&) {  // no thread to be had: the walk looks itself
      destinationLooks.reset();
    }
  }
  includes.Find(source, count.aspPages, settings.Jobs, stored, &count.aspStamps);
  Walk walk(host, settings, limits, IdentityOf(destination), count.files);
  walk.SetIncludes(&includes);
  walk.SetListings(&count.listings);
  if (destinationLooks) walk.SetDestinationLooks(&*destinationLooks);
  // The dry run first: its line of an entry comes before anything another observer says.
  DryRunLog dryRun(host);
  if (settings.DryRun) walk.AddObserver(&dryRun);
  if (report) walk.AddObserver(report);
  IncludeAudit audit(settings.Jobs);
  audit.UseDirectives(&includes);
  walk.AddObserver(&audit);
  if (manifest) {
    walk.SetManifest(manifest.get());
    walk.AddObserver(manifest.get());
  }
  walk.Run(source, destination);
  RemovalOutcome removal;
  if (manifest && settings.Delete && !walk.stopped) {
    removal = RemoveWhatIsGone(host, source, destination, walk.Listing(), *manifest,
                               {settings.MaxDelete, settings.DeleteExcluded, settings.DryRun}, walk.Observers());
  }
  if (manifest) {
    manifest->Finish();
    problems.insert(problems.end(), manifest->Problems().begin(), manifest->Problems().end());
  }

  outcome.status = walk.stopped ? RunOutcome::Status::Stopped : RunOutcome::Status::Completed;
  outcome.files = walk.files;
  outcome.failed = walk.failedFiles + walk.failedFolders;
  outcome.failedFolders = walk.failedFolders;
  outcome.excluded = walk.excluded;
  outcome.unchanged = walk.unchanged;
  outcome.deleted = removal.deleted;
  outcome.notFromSource = removal.foreign;
  outcome.deletionRefused = removal.refused;
  outcome.failed += removal.failed + (removal.refused ? 1 : 0);
  if (const std::string warning = LeftPlainEntry(walk, settings.DryRun, outcome.leftPlain); !warning.empty()) {
    host.AppendLog(warning);
  }
  // A stopped run is not audited: a file it did not reach cannot be told from one that is
  // not there.
  if (!walk.stopped) outcome.includeFindings = ReportIncludeFindings(host, audit.Findings(), settings.Strict);
  const long long auditFailed = settings.Strict ? outcome.includeFindings : 0;
  const long long manifestFailed = LogProblems(host, problems, report);
  outcome.failed += auditFailed + manifestFailed;
  host.AppendLog(settings.DryRun ? dryRun.Summary(walk.stopped)
                                  : Summary(walk, removal, removal.failed + auditFailed + manifestFailed));
  host.RepaintLog();
  return outcome;
}

ReportStatus ReportStatusOf(RunOutcome::Status status) {
  switch (status) {
    case RunOutcome::Status::Completed: return ReportStatus::Completed;
    case RunOutcome::Status::Stopped: return ReportStatus::Stopped;
    case RunOutcome::Status::Ignored:
    case RunOutcome::Status::Refused: break;
  }
  return ReportStatus::Refused;
}

}  // namespace

RunOutcome RunEncoding(RunHost& host, const SettingsStore& store, const StopTimes& times) {
  if (host.State().Busy) return {};  // never a run inside a run

  const RunSettings settings = LoadRunSettings(store);
  RunGuard guard(host);
  // The two paths are taken once: picking other folders during a pause changes nothing.
  const fs::path source = host.SourcePath();
  const fs::path destination = host.DestinationPath();
  std::unique_ptr<RunReport> report;
  if (!settings.ReportPath.empty()) report = std::make_unique<RunReport>(settings, source, destination);

  std::string refusal;
  if (report) WriteRunningReport(ToNativePath(settings.ReportPath), source, *report);
  RunOutcome outcome = CheckAndWalk(host, settings, source, destination, times, report.get(), refusal);
  if (report) {
    host.WriteLogOut();
    const fs::path encoder = host.AppDir() / ToNativePath(EncoderFileName());
    report->SetEncoder(IdentifyEncoder(encoder, !settings.DryRun && outcome.status != RunOutcome::Status::Refused));
    const fs::path file = ToNativePath(settings.ReportPath);
    const std::string place = ReportPlaceProblem(file, source);
    const Status written = place.empty() ? WriteReportFile(file, report->Document(ReportStatusOf(outcome.status), refusal))
                                         : Status::Fail(place);
    outcome.reportProblem = written.reason();
  }
  return outcome;
}
