#pragma once
// The manifest during a run: what decides that a file is unchanged, and what keeps the
// manifest true while the run writes.
//
// Unchanged (asked by the walk for each file before it is handed out): the manifest lists
// the file, made the same way (kind, switches; for an encoded file the same encoder, and
// verified when verifying is on now), from the same source (size and time, or with
// Checksum its SHA-256), and the destination still has the size and time it was left
// with. A file that is not unchanged is dropped from the manifest there and then, before
// anything is written to it; its entry comes back, new, only once its result is logged
// (as an observer of the walk's records). Entries of files not reached are kept as they
// were. So whenever the manifest is saved (every few seconds and at the end), it lists
// only what is true at the destination, also when the run is stopped or killed; and an
// entry that lags behind (the file was rewritten after the last save) no longer matches
// the destination's size and time, so it is neither trusted nor acted on.

#include "entry_record.h"
#include "manifest.h"
#include "run_settings.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

// The encoder's identity: its path, size and modification time (a replaced encoder,
// even of the same name, is another one).
std::string EncoderStampText(const std::filesystem::path& encoder);

class ManifestKeeper : public EntryObserver {
public:
  // `file`: where the manifest is kept (empty: nowhere, nothing saved); `old`: what it held.
  ManifestKeeper(const RunSettings& settings, std::filesystem::path destinationRoot, std::filesystem::path file,
                 Manifest old, std::string encoderIdentity);

  // Whether the file the walk is about to hand out can be left as it is. When not, its
  // entry is dropped until its result is in.
  bool Unchanged(FileKind kind, const std::string& switches, const std::filesystem::path& source,
                 const std::filesystem::path& destination);

  void Entry(const EntryRecord& record) override;

  // The manifest as it stands: entries kept, dropped, and made in this run.
  const Manifest& Current() const { return current_; }
  // An entry removed from the destination by this run.
  void Forget(const std::string& key) { dirty_ = current_.entries.erase(key) > 0 || dirty_; }
  std::string KeyOf(const std::filesystem::path& destination) const;

  // Writes the manifest when it differs from what was last read or written.
  Status Save();
  // Saves when the last save is `every` ago or more; the saving is not a failure of the run.
  void SaveNowAndThen(std::chrono::milliseconds every = std::chrono::seconds(2));

private:
  // What a file was made from, taken before it was written.
  struct Making {
    ManifestEntry entry;
    bool known = false;  // the source could be read: otherwise no entry is made
  };
  bool Matches(const ManifestEntry& old, const ManifestEntry& now, const std::filesystem::path& destination) const;

  const RunSettings& settings_;
  std::filesystem::path root_, file_;
  // What the manifest held when the run began, but for the entries of files redone (each
  // dropped when it is handed out, and made anew when its result is in).
  Manifest current_;
  std::string encoder_;
  std::unordered_map<std::string, Making> making_;
  bool dirty_ = false;
  std::chrono::steady_clock::time_point lastSave_ = std::chrono::steady_clock::now();
};

// The keeper for a run to `destination`, or none when the run neither skips unchanged
// files nor removes files (then nothing is read or written).
std::unique_ptr<ManifestKeeper> OpenManifest(const RunSettings& settings, const std::filesystem::path& destination,
                                             const std::filesystem::path& encoder);
