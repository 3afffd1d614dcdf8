#pragma once
// The include audit: after the walk, what the encoded pages pull in through server
// includes (include_directives.h), and which of those files will not be on the server as
// the pages need them.
//
// The pages read are those that went through the encoder as ASP pages or by extension
// (.asp, .asa, the listed include extensions), and, since includes nest, every file they
// reach through includes, whatever its kind. Each file is read once, from the source.
// A finding names its target once, with the file that includes it first in the log's
// order ("and N more" when others include it too), in this order of the includers:
//   "<target> is included by <file> and was copied unencoded"
//   "<target> is included by <file> and does not exist"
//   "<target> is included by <file> and is excluded by the ignore rules: it is not deployed"
//   "<target> is included by <file> and failed: it is not deployed"
//   "<target> is included by <file> and is a folder"
//   "<path> is included by <file> and lies outside the source folder"
//   "<target> is included by <file> as <spelling>: only a server that ignores letter case finds it"
// The last: the directive's spelling differs from the name only in letter case, and the
// source's file system tells case apart. IIS finds the file; a server that does not, and
// a copy of the site onto such a file system, will not. Where the file system ignores
// case (as on Windows) the spelling names the file and there is nothing to say.
// A file skipped as unchanged counts as encoded or copied, as its kind says.

#include "run/walk/entry_record.h"
#include "run/includes/include_directives.h"
#include "run/run_host.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

class IncludeReach;

class IncludeAudit : public EntryObserver {
public:
  // `threads`: how many files are read at once.
  explicit IncludeAudit(int threads = 1) : threads_(threads) {}
  void Entry(const EntryRecord& record) override;

  // The directives the walk's include pass read (include_reach.h): those files are not
  // read again. Not owned.
  void UseDirectives(const IncludeReach* reach) { reach_ = reach; }

  // The findings, each a line's text without "Warning: ". Reads the pages.
  std::vector<std::string> Findings() const;

  // Files read by the last Findings (not those the include pass had read).
  mutable std::size_t filesRead = 0;

private:
  struct Seen {
    EntryAction action = EntryAction::Copied;
    bool folder = false;
    FileKind kind = FileKind::Copy;
    std::filesystem::path::string_type source;  // the path's native text: made a path only to be read
    std::size_t order = 0;  // place in the log
  };
  struct Finding;
  struct Found {
    const std::string* relative = nullptr;  // the entry's own name, when one was found
    const Seen* seen = nullptr;
    bool inLeftOutFolder = false;  // `seen` is an excluded or failed folder above it
  };

  Found Lookup(const std::string& relative) const;
  const std::string* Key(const std::string& relative) const;  // exact, else letter case ignored
  // The findings of the directives of `page`; the files they reach go to `reached`.
  void Note(const std::string& page, const std::vector<IncludeDirective>& directives,
            std::vector<const std::string*>& reached, std::unordered_map<std::string, Finding>& findings) const;

  int threads_;
  const IncludeReach* reach_ = nullptr;
  std::unordered_map<std::string, Seen> entries_;
  std::vector<const std::string*> pages_;  // the encoded ASP pages, in the log's order
  std::filesystem::path sourceRoot_;
  mutable std::unordered_map<std::string, const std::string*> folded_;  // built when first needed
};

// Appends each finding to the log as "Warning: <finding>"; with `strict` each line is
// marked failed. Returns the number of lines.
long long ReportIncludeFindings(RunHost& host, const std::vector<std::string>& findings, bool strict);
