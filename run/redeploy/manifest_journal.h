#pragma once
// What a run is about to write into its destination, recorded before it is written: the
// journal beside the destination's manifest ("<manifest>.journal"). A run killed between
// two saves of its manifest leaves it behind, and the next run folds it in: the files and
// folders it names are this tool's, and so are the temporary files of the run it names
// (".qw-<pid>-<n>.tmp") in their folders.
//
// Text, a line each, append-only: "quillward-journal 1", "run\t<pid>", then "F\t<key>"
// for a file and "D\t<key>" for a folder (keys as the manifest's, escaped alike). Each
// line is handed to the system (one write) before its file is handed to a worker, so it
// is there before the file's temporary is made or renamed; a kill, even SIGKILL, loses
// nothing the system has been given, so no flush to the disk is asked for. A power cut
// may lose the last lines: then the files are merely unknown, as without a journal.
//
// At each save of the manifest the journal starts again (a new file renamed into place)
// with only what is still being written: what it named before is in the manifest now.

#include "run/util/fs_ops.h"
#include "run/util/status.h"

#include <filesystem>
#include <string>
#include <vector>

struct JournalLine {
  bool folder = false;
  std::string key;  // a manifest key
  bool operator==(const JournalLine&) const = default;
};

struct JournalContents {
  unsigned long pid = 0;  // the run that wrote it
  std::vector<JournalLine> lines;
};

// The journal kept beside the manifest `manifestFile`.
std::filesystem::path JournalFileFor(const std::filesystem::path& manifestFile);

// What the journal `file` names; a line cut short by a kill, or any line not of this form,
// is passed over. Nothing when there is none (`problem` stays ok) or it cannot be read.
JournalContents ReadJournal(const std::filesystem::path& file, Status& problem);

class Journal {
public:
  explicit Journal(std::filesystem::path file) : file_(std::move(file)) {}

  // A new journal of this process holding `lines`, in place of any there, open for appending.
  Status Restart(const std::vector<JournalLine>& lines);
  // One line, handed to the system before this returns.
  Status Append(const JournalLine& line);
  // The journal closed and removed: everything it named is in a saved manifest.
  Status Remove();

  const std::filesystem::path& file() const { return file_; }

private:
  std::filesystem::path file_;
  AppendingFile out_;
};
