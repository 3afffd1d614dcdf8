#include "manifest_keeper.h"

#include "fs_ops.h"
#include "paths.h"
#include "sha256.h"
#include "state_dir.h"

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

bool ManifestKeeper::Matches(const ManifestEntry& old, const ManifestEntry& now, const fs::path& destination) const {
  if (old.folder || old.kind != now.kind || old.switches != now.switches || old.encoder != now.encoder) return false;
  if (now.kind != static_cast<int>(FileKind::Copy) && settings_.Verify && !old.verified) return false;
  if (settings_.Checksum ? old.sourceSha != now.sourceSha
                         : old.sourceSize != now.sourceSize || old.sourceTime != now.sourceTime) {
    return false;
  }
  // A link put where the file was is replaced by a real file, never taken for it.
  const std::optional<FileStamp> there = StampOf(destination);
  return there && !IsLink(destination) && there->size == old.destinationSize &&
         there->modifiedNs == old.destinationTime;
}

bool ManifestKeeper::Unchanged(FileKind kind, const std::string& switches, const fs::path& source,
                               const fs::path& destination) {
  const std::string key = KeyOf(destination);
  Making making;
  ManifestEntry& now = making.entry;
  now.kind = static_cast<int>(kind);
  if (kind != FileKind::Copy) {
    now.switches = switches;
    now.encoder = encoder_;
    now.verified = settings_.Verify;
  }
  // Size and time before the content: a source edited meanwhile is newer than its entry.
  if (const std::optional<FileStamp> stamp = StampOf(source)) {
    now.sourceSize = stamp->size;
    now.sourceTime = stamp->modifiedNs;
    making.known = true;
  }
  // With Checksum the hash decides, and is taken here; else the worker takes it with the
  // file (FileSlot::hashSource), on every core, and the record brings it.
  if (settings_.Checksum) making.known = making.known && Sha256OfFile(source, now.sourceSha).ok();
  // Asked once per file, before its entry can change: the entry is still the old one.
  const auto old = current_.entries.find(key);
  if (settings_.Changed && making.known && old != current_.entries.end() && Matches(old->second, now, destination)) {
    return true;
  }
  if (current_.entries.erase(key) > 0) dirty_ = true;
  making_[key] = std::move(making);
  return false;
}

void ManifestKeeper::Entry(const EntryRecord& record) {
  if (record.destination.empty()) return;  // excluded entries, ignore files
  const std::string key = KeyOf(record.destination);
  if (key.empty()) return;  // the destination root
  if (record.folder) {
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
  if (saved.ok()) dirty_ = false;
  return saved;
}

void ManifestKeeper::SaveNowAndThen(std::chrono::milliseconds every) {
  if (std::chrono::steady_clock::now() - lastSave_ >= every) Save();
}

std::unique_ptr<ManifestKeeper> OpenManifest(const RunSettings& settings, const fs::path& destination,
                                             const fs::path& encoder) {
  if (!settings.Changed && !settings.Delete) return nullptr;
  const std::string identity = DestinationIdentity(destination);
  const fs::path folder = ManifestFolder();
  const fs::path file = folder.empty() ? fs::path() : ManifestFileFor(folder, identity);
  Manifest old = file.empty() ? Manifest() : LoadManifest(file, identity);
  old.destination = identity;
  // A dry run reads the manifest to decide as a run would, and never writes it.
  return std::make_unique<ManifestKeeper>(settings, destination, settings.DryRun ? fs::path() : file, std::move(old),
                                          EncoderStampText(encoder));
}
