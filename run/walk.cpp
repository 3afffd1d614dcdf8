#include "walk.h"

#include "encode_file.h"
#include "file_kind.h"
#include "paths.h"
#include "text.h"

#include <algorithm>
#include <limits>

namespace fs = std::filesystem;

void SortByName(std::vector<FolderEntry>& entries) {
  std::vector<std::pair<std::string, size_t>> keys;
  keys.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) keys.emplace_back(FoldCase(entries[i].displayName), i);
  std::sort(keys.begin(), keys.end(), [&entries](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return entries[a.second].name.native() < entries[b.second].name.native();
  });
  std::vector<FolderEntry> sorted;
  sorted.reserve(entries.size());
  for (const auto& k : keys) sorted.push_back(std::move(entries[k.second]));
  entries.swap(sorted);
}

std::string LogEntry(const fs::path& path, const std::string& reason) {
  const std::string shown = ToDisplayPath(path);
  return reason.empty() ? shown : shown + " - " + reason;
}

Walk::Walk(RunHost& host, const RunSettings& settings, const WaitControl& limits,
           std::optional<FileId> destinationRoot, long long total)
    : host_(host), settings_(settings), appDir_(host.AppDir()), control_(limits),
      destinationRoot_(destinationRoot), total_(total) {
  control_.timeoutSeconds = settings.TimeoutSeconds;
  control_.poll = [this] {
    host_.ProcessEvents();
    return host_.State().StopRequested;
  };
}

void Walk::EncodeFolder(const fs::path& source, const fs::path& destination) {
  std::vector<FolderEntry> entries;
  if (Status listed = ListFolder(source, entries); !listed.ok()) {
    FolderFailed(kProcessing + LogEntry(source, listed.reason()));
    return;
  }
  host_.AppendLog(kProcessing + ToDisplayPath(source));
  SortByName(entries);

  for (const FolderEntry& e : entries) {
    if (e.type != FolderEntry::Type::File && e.type != FolderEntry::Type::Other) continue;
    const fs::path from = JoinPath(source, e.name);
    const std::string reason = e.type == FolderEntry::Type::Other
                                   ? e.reason
                                   : ProcessFile(e, from, JoinPath(destination, e.name));
    if (!reason.empty()) ++failedFiles;
    FileDone(LogEntry(from, reason));
    if (stopped) return;
  }
  EnterSubfolders(entries, source, destination);
}

void Walk::EnterSubfolders(const std::vector<FolderEntry>& entries, const fs::path& source,
                           const fs::path& destination) {
  for (const FolderEntry& e : entries) {
    if (stopped || host_.State().StopRequested) {
      stopped = true;
      return;
    }
    const fs::path from = JoinPath(source, e.name);
    if (e.type == FolderEntry::Type::FolderLink) {
      FolderFailed(LogEntry(from, "link to a folder, not followed"));
      continue;
    }
    if (e.type != FolderEntry::Type::Folder) continue;
    // The destination reached again from inside the source (a bind mount, say): walking
    // it would copy the copy into itself.
    if (destinationRoot_ && IdentityOf(from) == destinationRoot_) {
      FolderFailed(kProcessing + LogEntry(from, "is the destination folder, not entered"));
      continue;
    }
    const fs::path to = JoinPath(destination, e.name);
    bool existed = false;
    if (Status made = MakeFolder(to, &existed); !made.ok()) {
      FolderFailed(kProcessing + LogEntry(from, made.reason()));
      continue;
    }
    if (existed) RemoveLeftoverTemporaries(to);
    EncodeFolder(from, to);
  }
}

std::string Walk::ProcessFile(const FolderEntry& entry, const fs::path& source,
                              const fs::path& destination) {
  const FileKind kind = ClassifyFile(TypeDescription(entry.displayName), entry.displayName, settings_);
  if (kind == FileKind::Copy) {
    const Status copied = CopyFileAtomic(source, destination);
    if (copied.ok()) {
      const std::string off = ScriptOptionOff(entry.displayName, settings_);
      if (!off.empty()) ++leftPlain[off];
    }
    return copied.reason();
  }
  const FileOutcome outcome = EncodeFile(kind, appDir_, settings_, source, destination, control_);
  if (outcome.stopped) stopped = true;
  return outcome.reason;
}

void Walk::FolderFailed(const std::string& entry) {
  ++failedFolders;
  host_.AppendLog(entry);
}

// After each file: log it, show it, let events run, and honour a stop request.
void Walk::FileDone(const std::string& entry) {
  ++files;
  host_.AppendLog(entry);
  host_.RepaintLog();
  RunState& state = host_.State();
  host_.ScrollText(static_cast<std::int16_t>(std::min<std::int32_t>(state.FilesDone, 32767)));
  if (state.FilesDone < std::numeric_limits<std::int32_t>::max()) ++state.FilesDone;
  host_.ShowProgress(files, std::max(total_, files));
  host_.ProcessEvents();
  if (state.StopRequested) stopped = true;
}
