#include "run/walk/walk.h"

#include "run/encoder/encode_page.h"
#include "run/encoder/encoder_command.h"
#include "run/walk/file_kind.h"
#include "run/util/native_path.h"
#include "run/util/text.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace fs = std::filesystem;

void SortByName(std::vector<FolderEntry>& entries) {
  // Each name's key is the name itself when it is ASCII, its letters folded as they are
  // compared, else its folded text (whose letters fold to themselves): most names need
  // no copy.
  const auto ascii = [](std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  };
  std::vector<std::string> folded;
  folded.reserve(entries.size());  // never moved: the keys look into it
  std::vector<std::pair<std::string_view, std::size_t>> keys;
  keys.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& name = entries[i].displayName;
    if (ascii(name)) {
      keys.emplace_back(name, i);
    } else {
      folded.push_back(FoldCase(name));
      keys.emplace_back(folded.back(), i);
    }
  }
  const auto lower = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? byte + 32 : byte;
  };
  std::sort(keys.begin(), keys.end(), [&entries, &lower](const auto& a, const auto& b) {
    const std::size_t n = std::min(a.first.size(), b.first.size());
    for (std::size_t i = 0; i < n; ++i) {
      const unsigned la = lower(a.first[i]), lb = lower(b.first[i]);
      if (la != lb) return la < lb;
    }
    if (a.first.size() != b.first.size()) return a.first.size() < b.first.size();
    return entries[a.second].name.native() < entries[b.second].name.native();
  });
  std::vector<FolderEntry> sorted;
  sorted.reserve(entries.size());
  for (const auto& k : keys) sorted.push_back(std::move(entries[k.second]));
  entries.swap(sorted);
}

namespace {

EntryRecord RecordOf(EntryAction action, bool folder, std::string relative, fs::path source,
                     fs::path destination, std::string reason = {}) {
  EntryRecord record;
  record.action = action;
  record.folder = folder;
  record.relative = std::move(relative);
  record.source = std::move(source);
  record.destination = std::move(destination);
  record.reason = std::move(reason);
  return record;
}

// How far the walk may go ahead of the log, in files per worker.
constexpr std::size_t kAheadPerWorker = 32;
constexpr int kSliceMs = 50;
}  // namespace

Walk::Walk(RunHost& host, const RunSettings& settings, const WaitControl& limits,
           std::optional<FileId> destinationRoot, long long total)
    : host_(host), settings_(settings), appDir_(host.AppDir()), control_(limits),
      destinationRoot_(destinationRoot), total_(total),
      ignore_(settings.SiteExcludes, settings.CommandExcludes) {
  for (const FileKind kind : {FileKind::EncodePlain, FileKind::EncodeHtml, FileKind::EncodeAspPage,
                              FileKind::EncodeAspByExtension}) {
    switches_[static_cast<std::size_t>(kind)] = Trimmed(SwitchPartFor(kind, settings_).text);
  }
  control_.timeoutSeconds = settings.TimeoutSeconds;
  control_.poll = [this] {
    host_.ProcessEvents();
    return host_.State().StopRequested;
  };
  if (settings.Jobs > 1 && !settings.DryRun) {
    WaitControl workerControl = control_;
    workerControl.poll = [this] { return stopFlag_.load(); };  // the host is the walk's alone
    workers_ = std::make_unique<FileWorkers>(settings.Jobs, FileTask(appDir_, settings_, workerControl), stopFlag_);
  } else {
    task_.emplace(appDir_, settings_, control_);
  }
}

void Walk::Run(const fs::path& source, const fs::path& destination) {
  EncodeFolder(source, destination, "");
  Collect(true);
}

void Walk::EncodeFolder(const fs::path& source, const fs::path& destination, const std::string& relative) {
  // The count's listing when it kept one (already in name order); it is only read, as
  // the destination's looks ahead may be reading it too.
  const std::vector<FolderEntry>* entries = nullptr;
  if (kept_) {
    if (const auto it = kept_->find(source.native()); it != kept_->end()) entries = &it->second;
  }
  std::vector<FolderEntry> listed;
  if (!entries) {
    if (Status status = ListFolder(source, listed); !status.ok()) {
      Queue(Pending(kProcessing + LogEntry(source, status.reason()),
                    RecordOf(EntryAction::Failed, true, relative, source, destination, status.reason())));
      return;
    }
  }
  // The folder's rules unknown, none of it may be deployed: it fails as a whole.
  if (auto unreadable = ignore_.Push(source, relative)) {
    ignore_.Pop();
    const std::string reason = "not entered, its ignore file cannot be read: " + unreadable->message;
    Queue(Pending(kProcessing + LogEntry(source, reason),
                  RecordOf(EntryAction::Failed, true, relative, source, destination, reason)));
    return;
  }
  Queue(Pending(kProcessing + ToDisplayPath(source), RecordOf(EntryAction::Folder, true, relative, source, destination)));
  if (!entries) {
    if (settings_.Delete) listing_.Listed(source, listed);  // only a removal asks what was listed
    SortByName(listed);
    entries = &listed;
  } else if (settings_.Delete) {
    listing_.Listed(source, *entries);
  }
  EncodeEntries(*entries, source, destination, relative);
  ignore_.Pop();
}

void Walk::EncodeEntries(const std::vector<FolderEntry>& entries, const fs::path& source,
                         const fs::path& destination, const std::string& relative) {
  {
    // The manifest looks at each file through its two folders, held open while their
    // files are handed out (not while the subfolders are walked).
    std::optional<FolderHandle> from, to;
    if (manifest_) {
      from.emplace(source);
      to.emplace(destination);
    }
    const DestinationLooks::FolderLooks* ahead = destinationLooks_ ? destinationLooks_->For(source) : nullptr;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const FolderEntry& e = entries[i];
      if (e.type != FolderEntry::Type::File && e.type != FolderEntry::Type::Other) continue;
      if (LeftOut(e, source, relative)) continue;
      std::optional<ManifestKeeper::Looks> looks;
      if (from) looks.emplace(ManifestKeeper::Looks{*from, *to, e, ahead ? ahead->At(i) : nullptr});
      HandOut(e, JoinPath(source, e.name), JoinPath(destination, e.name), JoinRelative(relative, e.displayName),
              looks ? &*looks : nullptr);
      if (stopped) return;
    }
  }
  EnterSubfolders(entries, source, destination, relative);
}

bool Walk::LeftOut(const FolderEntry& entry, const fs::path& source, const std::string& relative) {
  const bool isFolder = entry.type == FolderEntry::Type::Folder || entry.type == FolderEntry::Type::FolderLink;
  const std::string path = JoinRelative(relative, entry.displayName);
  if (!ignore_.Excluded(path, isFolder)) return false;
  if (!isFolder && entry.displayName == kIgnoreFileName) return true;  // the rules themselves
  ++excluded;
  listing_.Excluded(source, entry.name);
  const fs::path from = JoinPath(source, entry.name);
  Queue(Pending(LogEntry(from, "excluded"), RecordOf(EntryAction::Excluded, isFolder, path, from, {})));
  return true;
}

void Walk::EnterSubfolders(const std::vector<FolderEntry>& entries, const fs::path& source,
                           const fs::path& destination, const std::string& relative) {
  for (const FolderEntry& e : entries) {
    if (stopped || host_.State().StopRequested) {
      stopped = true;
      stopFlag_ = true;
      return;
    }
    if (e.type != FolderEntry::Type::Folder && e.type != FolderEntry::Type::FolderLink) continue;
    if (LeftOut(e, source, relative)) continue;
    const fs::path from = JoinPath(source, e.name);
    const fs::path to = JoinPath(destination, e.name);
    const std::string path = JoinRelative(relative, e.displayName);
    const auto failed = [&](std::string line, const std::string& reason) {
      Queue(Pending(std::move(line), RecordOf(EntryAction::Failed, true, path, from, to, reason)));
    };
    if (e.type == FolderEntry::Type::FolderLink) {
      failed(LogEntry(from, "link to a folder, not followed"), "link to a folder, not followed");
      continue;
    }
    // The destination reached again from inside the source (a bind mount, say): walking
    // it would copy the copy into itself.
    if (destinationRoot_ && IdentityOf(from) == destinationRoot_) {
      failed(kProcessing + LogEntry(from, "is the destination folder, not entered"),
             "is the destination folder, not entered");
      continue;
    }
    bool existed = false;  // a dry run makes nothing: the folder is entered as it is
    if (manifest_ && !settings_.DryRun) manifest_->AboutToMakeFolder(to);
    if (const Status made = settings_.DryRun ? Status::Ok() : MakeFolder(to, &existed); !made.ok()) {
      failed(kProcessing + LogEntry(from, made.reason()), made.reason());
      continue;
    }
    if (existed) LogRemovedTemporaries(RemoveLeftoverTemporaries(to));
    EncodeFolder(from, to, path);
  }
}

// One file: its kind decided here, the work done here (one worker) or handed out.
void Walk::HandOut(const FolderEntry& entry, fs::path sourcePath, fs::path destinationPath, std::string relativePath,
                   const ManifestKeeper::Looks* looks) {
  std::string shown = ToDisplayPath(sourcePath);
  Pending pending(std::move(shown), RecordOf(EntryAction::Copied, false, std::move(relativePath), std::move(sourcePath),
                                             std::move(destinationPath)));
  // The record's own, until it is handed on.
  const fs::path& source = pending.record.source;
  const fs::path& destination = pending.record.destination;
  const std::string& relative = pending.record.relative;
  if (entry.type == FolderEntry::Type::Other) {  // failed as it was listed
    pending.record.action = EntryAction::Failed;
    pending.record.reason = entry.reason;
    pending.file = std::make_shared<FileSlot>();
    pending.file->record = std::move(pending.record);
    pending.file->done = true;
    Queue(std::move(pending));
    return;
  }
  EntryRecord& record = pending.record;
  record.kind = ClassifyFile(TypeDescription(entry.displayName), entry.displayName, settings_);
  if (record.kind == FileKind::Copy) pending.leftPlainKey = ScriptOptionOff(entry.displayName, settings_);
  if (includes_ && record.kind != FileKind::Copy && record.kind != FileKind::EncodeAspPage &&
      record.kind != FileKind::EncodeAspByExtension) {
    if (const std::string* page = includes_->ServerScriptIncluder(relative)) {
      record.clientScript = record.kind == FileKind::EncodeHtml;
      record.kind = FileKind::EncodeAspByExtension;
      pending.note = "encoded as an include (included by " + *page + ")";
    }
  }
  record.switches = switches_[static_cast<std::size_t>(record.kind)];
  if (record.clientScript) record.switches += ", then " + Trimmed(ClientPassSwitchPart(settings_).text);
  if (manifest_ && manifest_->Unchanged(record.kind, record.switches, source, destination, looks)) {
    pending.line += " - unchanged";  // LogEntry(source, "unchanged"), the shown path made once
    record.action = EntryAction::Unchanged;
    Queue(std::move(pending));
    return;
  }
  auto file = std::make_shared<FileSlot>();
  file->record = std::move(record);
  // The manifest wants the content's hash of a file it has not hashed while deciding.
  file->hashSource = manifest_ && !settings_.Checksum;
  host_.FileBegun(pending.line);
  if (workers_) {
    workers_->Submit(file);
  } else {
    if (settings_.DryRun) PlanFile(file->record);  // the file task's decision alone
    else file->skipped = !task_->Do(*file, session_);
    file->done = !file->skipped;
  }
  pending.file = std::move(file);
  Queue(std::move(pending));
}

void Walk::Queue(Pending pending) {
  if (pending.file) ++filesInHand_;
  pending_.push_back(std::move(pending));
  Collect(false);
}

void Walk::Collect(bool all) {
  const std::size_t ahead = kAheadPerWorker * static_cast<std::size_t>(std::max(settings_.Jobs, 1));
  while (!pending_.empty()) {
    const Pending& front = pending_.front();
    if (front.file && workers_ && !workers_->Ready(*front.file)) {
      if (!all && filesInHand_ <= ahead) return;
      WaitForResult(all ? *front.file : SlotToWaitFor(ahead / 2));
      continue;
    }
    Pending next = std::move(pending_.front());
    pending_.pop_front();
    if (next.file) --filesInHand_;
    Log(next);
  }
}

// The walk sleeps on the file `depth` files on rather than on the first: the workers take
// files in order, so by the time it is done so are nearly all before it, and the walk
// wakes once for that stretch rather than once a file. The first file when that one is done.
const FileSlot& Walk::SlotToWaitFor(std::size_t depth) const {
  const FileSlot* first = nullptr;
  for (const Pending& p : pending_) {
    if (!p.file) continue;
    if (!first) first = p.file.get();
    if (depth-- == 0) return workers_->Ready(*p.file) ? *first : *p.file;
  }
  return *first;
}

// A slice of waiting for a worker: the host's events run in between, on this thread.
bool Walk::WaitForResult(const FileSlot& slot) {
  if (workers_->WaitFor(slot, kSliceMs) == WaitResult::Ready) return true;
  host_.ProcessEvents();
  if (host_.State().StopRequested) stopFlag_ = true;
  return false;
}

void Walk::LogRemovedTemporaries(const std::vector<fs::path>& removed) {
  for (const fs::path& path : removed) {
    Pending note(LogEntry(path, kRemovedTemporary), {});
    note.tell = false;
    Queue(std::move(note));
  }
}

void Walk::Log(Pending& pending) {
  EntryRecord& record = pending.record;
  if (!pending.tell) {  // a line of its own, about no entry of the source
    host_.AppendLog(pending.line);
    return;
  }
  if (!pending.file) {
    // A dry run's lines are its observer's (dry_run.h); a failure keeps the walk's own.
    static const std::string kNoLine;
    const std::string& line = settings_.DryRun ? kNoLine : pending.line;
    switch (record.action) {
      case EntryAction::Excluded:
        if (settings_.Verbose && !settings_.DryRun) host_.AppendLog(line);
        break;
      case EntryAction::Unchanged:
        ++unchanged;
        FileDone(line, false, false);
        break;
      case EntryAction::Failed:
        listing_.Unread(record.source);  // whatever made it fail, it was not read in full
        FolderFailed(pending.line);
        break;
      default:
        if (!settings_.DryRun) host_.AppendLog(line);
    }
    Tell(record);
    return;
  }
  if (pending.file->skipped) return;  // stopped before it was begun
  const EntryRecord& done = pending.file->record;  // as the file task left it
  const bool failed = !done.reason.empty();
  if (done.action == EntryAction::Stopped) stopped = true;
  if (!failed && !pending.leftPlainKey.empty()) ++leftPlain[pending.leftPlainKey];
  if (failed) ++failedFiles;
  if (failed) FileDone(pending.line + " - " + done.reason, true);
  else if (settings_.DryRun) FileDone({}, false);
  else FileDone(pending.note.empty() ? pending.line : pending.line + " - " + pending.note, false);
  Tell(done);
}

void Walk::Tell(const EntryRecord& record) {
  for (EntryObserver* observer : observers_) observer->Entry(record);
}

void Walk::FolderFailed(const std::string& entry) {
  ++failedFolders;
  host_.AppendLog(entry);
  host_.MarkLastFailed();
}

// After each file: log it, show it, let events run, and honour a stop request.
void Walk::FileDone(const std::string& entry, bool failed, bool counted) {
  if (counted) ++files;
  if (!entry.empty()) host_.AppendLog(entry);
  if (failed) host_.MarkLastFailed();
  host_.RepaintLog();
  RunState& state = host_.State();
  host_.ScrollText(static_cast<std::int16_t>(std::min<std::int32_t>(state.FilesDone, 32767)));
  if (state.FilesDone < std::numeric_limits<std::int32_t>::max()) ++state.FilesDone;
  host_.ShowProgress(files + unchanged, std::max(total_, files + unchanged));
  host_.ProcessEvents();
  if (state.StopRequested) {
    stopped = true;
    stopFlag_ = true;
  }
}
