#pragma once
// What the last runs wrote to one destination: per destination file, what it was made
// from (the source's size, time and SHA-256), how (its kind, the encoder's switches and
// identity, whether it was verified), and what it was when written (its size and time);
// per folder, that the run made it from a source folder. It lives in the user's state
// folder, one file per destination keyed by the destination's real path, never inside
// the destination (whatever is there gets deployed).
//
// The file is text, one entry a line, fields separated by tabs, with a version line first
// and a count line last; written to a temporary file and renamed over the old one, so a
// reader sees the old or the new, whole. Reading is tolerant: a file that is missing,
// unreadable, of another version, of another destination, cut short or garbled in any
// way reads as an empty manifest, which means a full run, never an error.
//
// An entry is trusted only while the destination file still has the size and time it
// records: a file changed or put there by hand is never taken for this tool's output.
//
// Reading never opens anything but a regular file (a folder or a FIFO in the manifest's
// place reads as missing, and never blocks); what could not be read, or was not a whole
// manifest, is told as a problem so that the run can say so.

#include "run/util/fs_ops.h"
#include "run/util/status.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

struct ManifestEntry {
  bool folder = false;
  // Files only:
  std::uint64_t sourceSize = 0;
  std::int64_t sourceTime = 0;   // the platform's modification time (FileStamp::modifiedNs)
  std::string sourceSha;         // hex SHA-256 of the source's content
  int kind = 0;                  // FileKind as a number; kWrittenByAnEndedRun: see there
  std::string switches;          // the encoder's switches; empty for a copy
  std::string encoder;           // the encoder's identity; empty for a copy
  bool verified = false;         // the encoded file was decoded and compared
  std::uint64_t destinationSize = 0;
  std::int64_t destinationTime = 0;
  // What the include pass read of the source with the size and time above (its server
  // includes, and whether it holds server script: include_reach.h), so that a run that
  // finds the source as it was need not read it again; empty when not kept. An optional
  // last field of the line: a manifest written before it was kept reads as before.
  std::string scan;
  bool operator==(const ManifestEntry&) const = default;
};

// The kind of a file that a run which was killed had begun to write (its journal named
// it): this tool's, as it stood when the next run looked, but made from what is not known,
// so it is never left as unchanged, only removed when its source is gone.
inline constexpr int kWrittenByAnEndedRun = -1;

struct Manifest {
  std::string destination;                     // the destination's real path, as text
  std::map<std::string, ManifestEntry> entries;  // by ManifestKey
};

// The key of `path`, a path at or below the destination root `root` (as the walk builds
// it, by joining names): the native path below the root with '/' between names, lossless
// (the bytes of a POSIX name; UTF-8 of a Windows one). Empty for the root itself.
std::string ManifestKey(const std::filesystem::path& root, const std::filesystem::path& path);

// The text that identifies a destination: its real path, case-folded where the file
// system ignores case.
std::string DestinationIdentity(const std::filesystem::path& destination);

// The manifest file of the destination with that identity, in `folder`.
std::filesystem::path ManifestFileFor(const std::filesystem::path& folder, const std::string& identity);

// The manifest in `file` when it is whole and of `identity`; an empty one otherwise, and
// then `problem` (when given) says why, unless there simply is no file.
Manifest LoadManifest(const std::filesystem::path& file, const std::string& identity, Status* problem = nullptr);

// The manifest read ahead, while nothing keeps another run from saving it (before the
// destination's lock is taken), with the file's stamp before and after the read: it may
// stand for a read under the lock only while the file still has that stamp (a save
// renames a new file into place, which changes it).
struct ManifestReadAhead {
  std::optional<FileStamp> before, after;
  Manifest manifest;
  Status problem = Status::Ok();
  // Whether `file` is still the file that was read, whole and undisturbed.
  bool Holds(const std::filesystem::path& file) const;
};
ManifestReadAhead ReadManifestAhead(const std::filesystem::path& file, const std::string& identity);

// Writes `manifest` to `file` atomically (a temporary file beside it, then a rename),
// making its folder when needed.
Status SaveManifest(const std::filesystem::path& file, const Manifest& manifest);

// A field as the manifest (and its journal) writes it: tabs, line ends, other control
// bytes and '%' as %XX; and back (false when `text` is not such a field).
std::string EscapedField(std::string_view text);
bool UnescapedField(std::string_view text, std::string& out);

// The text form, for the two above and for tests.
std::string ManifestText(const Manifest& manifest);
// False when `text` is not a whole manifest of version 1.
bool ParseManifest(const std::string& text, Manifest& manifest);
