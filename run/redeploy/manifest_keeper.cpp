#include "run/redeploy/manifest_keeper.h"

#include "run/util/fs_ops.h"
#include "run/includes/include_reach.h"
#include "run/util/native_path.h"
#include "run/util/sha256.h"
#include "run/settings/state_dir.h"

#include <set>

namespace fs = std::filesystem;

std::string EncoderStampText(const fs::path& encoder) {
  const std::string shown = ToDisplayPath(encoder);
  const std::optional<FileStamp> stamp = StampOf(encoder);
  if (!stamp) return shown + "|missing";
  return shown + "|" + std::to_string(stamp->size) + "|" + std::to_string(stamp->modifiedNs);
}

ManifestKeeper::ManifestKeeper(const RunSettings& settings, fs::path destinationRoot, fs::path file, Manifest old,
                               std::string encoderIdentity)
    : settings_(settings), root_(std::move(destinationRoot)), file_(std::move(file)), current_(std::move(old)),
      encoder_(std::move(encoderIdentity)) {}

std::string ManifestKeeper::KeyOf(const fs::path& destination) const { return ManifestKey(root_, destination); }

bool ManifestKeeper::Matches(const ManifestEntry& old, const ManifestEntry& now, const fs::path& destination,
                             const std::string& switches, const std::string& encoder, const Looks* looks) const {
  if (old.folder || old.kind != now.kind || old.switches != switches || old.encoder != encoder) return false;
  if (now.kind != static_cast<int>(FileKind::Copy) && settings_.Verify && !old.verified) return false;
  if (settings_.Checksum ? old.sourceSha != now.sourceSha
                         : old.sourceSize != now.sourceSize || old.sourceTime != now.sourceTime) {
    return false;
  }
  // A link put where the file was is replaced by a real file, never taken for it.
  if (looks) {
    const std::optional<FileStamp> there = looks->destinationLook
                                               ? *looks->destinationLook
                                               : looks->destination.PlainFileStamp(destination, looks->entry.name);
    return there && there->size == old.destinationSize && there->modifiedNs == old.destinationTime;
  }
  const std::optional<FileStamp> there = StampOf(destination);
  return there && !IsLink(destination) && there->size == old.destinationSize &&
         there->modifiedNs == old.destinationTime;
}

bool ManifestKeeper::Unchanged(FileKind kind, const std::string& switches, const fs::path& source,
                               const fs::path& destination, const Looks* looks) {
  const std::string key = KeyOf(destination);
  Making making;
  ManifestEntry& now = making.entry;
  now.kind = static_cast<int>(kind);
  const bool encoded = kind != FileKind::Copy;
  now.verified = encoded && settings_.Verify;
  // Size and time before the content: a source edited meanwhile is newer than its entry.
  // The listing's stamp where it carries one, else a look through the open folder.
  const std::optional<FileStamp> stamp = !looks ? StampOf(source)
                                         : looks->entry.stamp ? looks->entry.stamp
                                                              : looks->source.Stamp(source, looks->entry.name);
  if (stamp) {
    now.sourceSize = stamp->size;
    now.sourceTime = stamp->modifiedNs;
    making.known = true;
  }
  // With Checksum the hash decides, and is taken here; else the worker takes it with the
  // file (FileSlot::hashSource), on every core, and the record brings it.
  if (settings_.Checksum) making.known = making.known && Sha256OfFile(source, now.sourceSha).ok();
  // Asked once per file, before its entry can change: the entry is still the old one.
  const auto old = current_.entries.find(key);
  static const std::string kNone;  // a copy's switches and encoder
  const std::string& encoder = encoded ? encoder_ : kNone;
  if (settings_.Changed && making.known && old != current_.entries.end() &&
      Matches(old->second, now, destination, encoded ? switches : kNone, encoder, looks)) {
    return true;
  }
  if (encoded) {
    now.switches = switches;
    now.encoder = encoder_;
  }
  if (current_.entries.erase(key) > 0) dirty_ = true;
  making_[key] = std::move(making);
  WriteAhead({false, key});
  return false;
}

const std::string* ManifestKeeper::StoredScan(const std::string& key, const FileStamp& now) const {
  const auto it = current_.entries.find(key);
  if (it == current_.entries.end()) return nullptr;
  const ManifestEntry& e = it->second;
  if (e.folder || e.kind == kWrittenByAnEndedRun || e.scan.empty() || e.sourceSize != now.size ||
      e.sourceTime != now.modifiedNs) {
    return nullptr;
  }
  return &e.scan;
}

void ManifestKeeper::AboutToMakeFolder(const fs::path& destination) {
  const std::string key = KeyOf(destination);
  if (key.empty() || !journal_) return;
  // A folder the manifest lists already is known; it needs no line.
  const auto there = current_.entries.find(key);
  if (there != current_.entries.end() && there->second.folder) return;
  foldersInHand_.insert(key);
  WriteAhead({true, key});
}

void ManifestKeeper::WriteAhead(const JournalLine& line) {
  if (!journal_) return;
  if (Status written = journal_->Append(line); !written.ok()) JournalFailed(written);
}

void ManifestKeeper::JournalFailed(const Status& status) {
  AddProblem({journal_->file(), "not written", status.reason(),
              "the journal is not kept for the rest of this run: if it is killed, the next --delete cannot "
              "remove the files it wrote",
              false});
  journal_.reset();
}

// The journal begun again with what it must still name: the files and folders in hand,
// and an ended run's lines while no save holds them.
void ManifestKeeper::RestartJournal() {
  if (!journal_) return;
  std::vector<JournalLine> lines = carried_;
  for (const auto& [key, making] : making_) lines.push_back({false, key});
  for (const std::string& key : foldersInHand_) lines.push_back({true, key});
  if (Status restarted = journal_->Restart(lines); !restarted.ok()) JournalFailed(restarted);
}

void ManifestKeeper::FoldJournal(const JournalContents& ended) {
  endedRun_ = ended.pid;
  std::set<fs::path> folders;
  for (const JournalLine& line : ended.lines) {
    const fs::path path = root_ / fs::path(ToNativePath(line.key));
    folders.insert(line.folder ? path : path.parent_path());
    const auto there = current_.entries.find(line.key);
    if (line.folder) {
      if (IsFolder(path) && (there == current_.entries.end() || !there->second.folder)) {
        current_.entries[line.key] = ManifestEntry();
        current_.entries[line.key].folder = true;
        dirty_ = true;
      }
      continue;
    }
    // Written, half written or not yet begun: whichever, what is there now is this tool's.
    const std::optional<FileStamp> stamp = StampOf(path);
    if (!stamp) {
      dirty_ = current_.entries.erase(line.key) > 0 || dirty_;
      continue;
    }
    ManifestEntry entry;
    entry.kind = kWrittenByAnEndedRun;
    entry.destinationSize = stamp->size;
    entry.destinationTime = stamp->modifiedNs;
    current_.entries[line.key] = entry;
    dirty_ = true;
  }
  endedFolders_.assign(folders.begin(), folders.end());
  if (file_.empty()) return;  // a dry run: decided alike, nothing written
  journal_ = std::make_unique<Journal>(JournalFileFor(file_));
  if (Status saved = Save(); !saved.ok()) {
    carried_ = ended.lines;  // the manifest does not hold them: the journal keeps them
  }
  RestartJournal();
}

void ManifestKeeper::Finish() {
  if (file_.empty()) return;
  dirty_ = dirty_ || !carried_.empty();
  if (Status saved = Save(); !saved.ok()) {
    AddProblem({file_, "not saved", saved.reason(),
                journal_ ? "the next --changed run does every file again; --delete knows the files this run wrote "
                           "from the journal beside it"
                         : "the next --changed run does every file again, and --delete cannot remove files this "
                           "run wrote",
                true});
    return;
  }
  // Everything the journal named is in the manifest now (also when the journal failed
  // half way and what it holds is stale).
  if (journal_) journal_->Remove();
  else RemoveFile(JournalFileFor(file_));
}

void ManifestKeeper::Entry(const EntryRecord& record) {
  if (record.destination.empty()) return;  // excluded entries, ignore files
  if (record.action == EntryAction::Unchanged) return;  // its entry stays as it was
  const std::string key = KeyOf(record.destination);
  if (key.empty()) return;  // the destination root
  if (record.folder) {
    foldersInHand_.erase(key);
    ManifestEntry folder;
    folder.folder = true;
    const auto there = current_.entries.find(key);
    if (record.action == EntryAction::Folder && (there == current_.entries.end() || !(there->second == folder))) {
      current_.entries[key] = folder;
      dirty_ = true;
    }
    return;
  }
  const auto making = making_.find(key);
  if (making == making_.end()) return;  // unchanged: its entry stays as it was
  if (!settings_.Checksum) {
    making->second.entry.sourceSha = record.sourceSha;
    making->second.known = making->second.known && !record.sourceSha.empty();
  }
  if ((record.action == EntryAction::Encoded || record.action == EntryAction::Copied) && making->second.known) {
    if (const std::optional<FileStamp> there = StampOf(record.destination)) {
      // As decided before it was written (an empty script file that went out as a copy
      // keeps its kind and switches, so that the next run decides alike).
      ManifestEntry entry = std::move(making->second.entry);
      // What the include pass read of the source, when it read it as it was when decided.
      if (const std::string* scan = scans_ ? scans_->ScanOf(record.relative, entry.sourceSize, entry.sourceTime) : nullptr) {
        entry.scan = *scan;
      }
      entry.destinationSize = there->size;
      entry.destinationTime = there->modifiedNs;
      current_.entries[key] = std::move(entry);
      dirty_ = true;
    }
  }
  making_.erase(making);
  SaveNowAndThen();
}

Status ManifestKeeper::Save() {
  lastSave_ = std::chrono::steady_clock::now();
  if (file_.empty() || !dirty_) return Status::Ok();
  Status saved = SaveManifest(file_, current_);
  if (saved.ok()) {
    dirty_ = false;
    carried_.clear();
    RestartJournal();
  }
  return saved;
}

void ManifestKeeper::SaveNowAndThen(std::chrono::milliseconds every) {
  if (std::chrono::steady_clock::now() - lastSave_ >= every) Save();
}

fs::path ManifestFileOf(const fs::path& destination) {
  const fs::path folder = ManifestFolder();
  return folder.empty() ? fs::path() : ManifestFileFor(folder, DestinationIdentity(destination));
}

std::unique_ptr<ManifestKeeper> OpenManifest(const RunSettings& settings, const fs::path& destination,
                                             const fs::path& encoder, ManifestReadAhead* ahead) {
  if (!settings.Changed && !settings.Delete) return nullptr;
  const std::string identity = DestinationIdentity(destination);
  const fs::path folder = ManifestFolder();
  const fs::path file = folder.empty() ? fs::path() : ManifestFileFor(folder, identity);
  Status readProblem = Status::Ok();
  Manifest old;
  if (!file.empty() && ahead && ahead->Holds(file)) {
    old = std::move(ahead->manifest);
    readProblem = ahead->problem;
  } else if (!file.empty()) {
    old = LoadManifest(file, identity, &readProblem);
  }
  old.destination = identity;
  // A dry run reads the manifest to decide as a run would, and never writes it.
  auto keeper = std::make_unique<ManifestKeeper>(settings, destination, settings.DryRun ? fs::path() : file,
                                                 std::move(old), EncoderStampText(encoder));
  if (!readProblem.ok()) {
    keeper->AddProblem({file, "not read", readProblem.reason(),
                        "taken as missing: every file is done again, and --delete removes nothing it cannot "
                        "tell was written by this tool",
                        false});
  }
  if (file.empty()) return keeper;
  if (!settings.DryRun) RemoveLeftoverTemporaries(folder);  // of saves a kill cut short
  Status journalProblem = Status::Ok();
  const JournalContents ended = ReadJournal(JournalFileFor(file), journalProblem);
  if (!journalProblem.ok()) {
    keeper->AddProblem({JournalFileFor(file), "not read", journalProblem.reason(),
                        "what a killed run wrote is not known: --delete leaves those files as not from the source",
                        false});
  }
  keeper->FoldJournal(ended);
  return keeper;
}
