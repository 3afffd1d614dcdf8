#pragma once
// The files that server includes reach from a tree's ASP pages, found before the walk, so
// that the walk encodes each as what it is: part of the page that includes it.
//
// IIS pastes an included file into the page before any script runs, whatever the file's
// extension: an `inc/header.htm` holding <% %> is server script. So a file reached by
// an include from an ASP page (or from a file so reached, in turn) that holds server
// script is encoded as an include (/e asp /xl) even when its extension gives it another
// kind; the walk asks ServerScriptIncluder.
//
// The pages are read once here, by as many threads as the run has workers, and what
// their directives say is kept for the include audit, which then reads only what it
// finds anew. With what an earlier run read (kept in the manifest), a file whose size and
// time are as they were then is not read again. A target is looked up in the listings of
// the folders on its way (letter case ignored where the exact name is not there, as IIS
// would find it); only regular files are read.

#include "run/util/fs_ops.h"
#include "run/includes/include_directives.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// What the include pass read of one file: its directives, and whether it holds server
// script (asked only of the files reached through includes).
struct IncludeScan {
  std::vector<IncludeDirective> directives;
  enum class Script : char { Unknown = '?', Holds = 's', None = 'n' } serverScript = Script::Unknown;
  bool operator==(const IncludeScan&) const = default;
};

// The scan as the manifest keeps it (one line of text, any bytes in the paths), and back:
// false when `text` is not such a scan.
std::string ScanText(const IncludeScan& scan);
bool ParseScan(std::string_view text, IncludeScan& scan);

class IncludeReach {
public:
  // What an earlier run read of the file `relative`, kept while the file had the size and
  // modification time `now` has (ScanText's text), or nullptr. Asked from several threads.
  using StoredScans = std::function<const std::string*(const std::string& relative, const FileStamp& now)>;

  // `pages`: the ASP pages (relative, '/'-separated, as the walk names them) in the
  // walk's order. With `stored`, each file's size and time are taken before it would be
  // read: a file an earlier run read as it is now is not read again, and what is read is
  // kept with them for ScanOf.
  // `pageStamps`, where given, holds each page's stamp as listed (or none), in the order
  // of `pages`: a page with one is not looked at again.
  void Find(const std::filesystem::path& root, const std::vector<std::string>& pages, int threads,
            const StoredScans& stored = {}, const std::vector<std::optional<FileStamp>>* pageStamps = nullptr);

  // The file that first includes `relative` when `relative` is reached by an include and
  // holds server script; else nullptr. Letter case ignored.
  const std::string* ServerScriptIncluder(const std::string& relative) const;
  // The directives of a file read by Find, or nullptr.
  const std::vector<IncludeDirective>* Directives(const std::string& relative) const;

  // The scan of `relative` (ScanText's text) when Find took it from the file while it had
  // that size and modification time; else nullptr.
  const std::string* ScanOf(const std::string& relative, std::uint64_t size, std::int64_t modifiedNs) const;

  std::size_t filesRead = 0;  // files read, not taken from `stored`

private:
  // The relative name of the regular file `resolved` names, exactly or but for letter case.
  std::optional<std::string> Locate(const std::filesystem::path& root, const std::string& resolved);

  std::unordered_map<std::string, std::vector<IncludeDirective>> directives_;
  std::unordered_map<std::string, std::string> includers_;  // case-folded target -> includer
  std::unordered_map<std::string, std::string> firstIncluder_;  // while finding: of every target
  std::unordered_map<std::string, std::vector<FolderEntry>> listings_;  // by folder, as read
  struct Kept {
    FileStamp stamp;   // taken before the file was read
    std::string text;  // ScanText
  };
  std::unordered_map<std::string, Kept> scans_;  // with `stored` only
};

// The bytes of `path` into `bytes`, read in large pieces; empty when it cannot be read.
// The string's room is used again: reading page after page into one string keeps the
// allocator from giving memory back and taking it again for each.
void ReadWholeFile(const std::filesystem::path& path, std::string& bytes);
// A string of this thread's to read pages into; let go of after a page larger than 4 MB.
std::string& PageBuffer();
void ReleaseLargePageBuffer();
