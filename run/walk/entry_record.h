#pragma once
// One entry of a run as it was decided and done, in the log's order: what the parts that
// look back on a run (the report, the manifest, the include audit) are told. The walk
// tells its observers on its own thread, right after the entry's log line.

#include "run/walk/file_kind.h"

#include <cstdint>
#include <filesystem>
#include <string>

enum class EntryAction {
  Folder,     // a folder entered, its destination folder made
  Encoded,    // a file through the encoder
  Copied,     // a file copied unchanged
  Unchanged,  // a file skipped: the destination already holds its result
  Excluded,   // left out by the ignore rules (a file, or a folder not entered)
  Deleted,    // removed from the destination: its source is gone
  Failed,     // a file, folder or other entry that failed; `reason` says why
  Stopped,    // a file the encoder was working on when the run was stopped
  Kept,       // left in the destination though its source may be gone: `reason` says why
};

struct EntryRecord {
  EntryAction action = EntryAction::Copied;
  bool folder = false;
  // The path below the source root, '/'-separated, as UTF-8 text (the names the ignore
  // rules and the log see); empty for the root itself. `source` and `destination` are
  // the paths themselves, byte for byte.
  std::string relative;
  std::filesystem::path source, destination;
  // Files: what the rules made of it, and the encoder's switches (empty for a copy).
  FileKind kind = FileKind::Copy;
  std::string switches;
  // An included HTML document encoded as an include: its client script is encoded too,
  // by a second pass (include_client.h).
  bool clientScript = false;
  std::uint64_t bytesIn = 0, bytesOut = 0;  // the source's size, the destination's after
  std::int64_t microseconds = 0;            // time spent on the file by the worker
  std::string reason;                       // why it failed, was stopped, kept or deleted
  std::string sourceSha;                    // hex SHA-256 of the source, when it was asked for
};

class EntryObserver {
public:
  virtual ~EntryObserver() = default;
  virtual void Entry(const EntryRecord& record) = 0;
};
