#include "run/includes/include_reach.h"

#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "run/util/parallel_each.h"
#include "run/encoder/script_regions.h"
#include "run/util/text.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

struct Scanned {
  IncludeScan scan;
  std::optional<FileStamp> stamp;  // with stored scans: taken before the file was read
  bool read = false;               // read now, not taken from a stored scan
};

// Each file read once, by up to `threads` threads; `serverScript` looked for when asked.
// A file whose stored scan holds what is asked is not read.
std::vector<Scanned> ScanFiles(const std::vector<fs::path>& files, const std::vector<std::string>& names, int threads,
                               bool serverScript, const IncludeReach::StoredScans& stored,
                               const std::vector<std::optional<FileStamp>>* known) {
  std::vector<Scanned> found(files.size());
  ParallelEach(files.size(), threads, [&](std::size_t i) {
    Scanned& out = found[i];
    if (stored && (out.stamp = known && (*known)[i] ? (*known)[i] : StampOf(files[i]))) {
      const std::string* text = stored(names[i], *out.stamp);
      if (text && ParseScan(*text, out.scan) &&
          (!serverScript || out.scan.serverScript != IncludeScan::Script::Unknown)) {
        return;
      }
      out.scan = IncludeScan();
    }
    out.read = true;
    std::string& bytes = PageBuffer();
    ReadWholeFile(files[i], bytes);
    // The server-script mark is read from the bytes as they are, the directives from the text.
    if (serverScript) {
      out.scan.serverScript = HoldsServerScript(bytes) ? IncludeScan::Script::Holds : IncludeScan::Script::None;
    }
    MakePageText(bytes);
    out.scan.directives = FindIncludes(bytes);
    ReleaseLargePageBuffer();
  });
  return found;
}

}  // namespace

// The script mark, then each directive as its kind ('f' or 'v'), its path's length, ':'
// and the path.
std::string ScanText(const IncludeScan& scan) {
  std::string out(1, static_cast<char>(scan.serverScript));
  for (const IncludeDirective& d : scan.directives) {
    out += d.isVirtual ? 'v' : 'f';
    out += std::to_string(d.path.size());
    out += ':';
    out += d.path;
  }
  return out;
}

bool ParseScan(std::string_view text, IncludeScan& scan) {
  scan = IncludeScan();
  if (text.empty() || (text[0] != '?' && text[0] != 's' && text[0] != 'n')) return false;
  scan.serverScript = static_cast<IncludeScan::Script>(text[0]);
  for (std::size_t at = 1; at < text.size();) {
    IncludeDirective d;
    if (text[at] != 'v' && text[at] != 'f') return false;
    d.isVirtual = text[at++] == 'v';
    const std::size_t colon = text.find(':', at);
    std::size_t length = 0;
    if (colon == std::string_view::npos || colon == at) return false;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + colon, length);
    if (error != std::errc() || end != text.data() + colon || length > text.size() - colon - 1) return false;
    d.path.assign(text.substr(colon + 1, length));
    scan.directives.push_back(std::move(d));
    at = colon + 1 + length;
  }
  return true;
}

void ReadWholeFile(const fs::path& path, std::string& bytes) {
  bytes.clear();
  std::ifstream in;
  in.rdbuf()->pubsetbuf(nullptr, 0);
  in.open(path, std::ios::binary);
  for (std::size_t piece = 16 * 1024; in; piece *= 2) {  // most pages fit the first piece
    const std::size_t had = bytes.size();
    bytes.resize(had + std::max(piece, bytes.capacity() - had));
    in.read(bytes.data() + had, static_cast<std::streamsize>(bytes.size() - had));
    bytes.resize(had + static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  }
}

namespace {
thread_local std::string pageBuffer;
}  // namespace

std::string& PageBuffer() { return pageBuffer; }

void ReleaseLargePageBuffer() {
  if (pageBuffer.capacity() > (4u << 20)) std::string().swap(pageBuffer);
}

// Each folder on the way and the file itself by its exact name, else by the name that
// differs from it only in letter case; links to folders are not followed, and only a
// regular file is a target.
std::optional<std::string> IncludeReach::Locate(const fs::path& root, const std::string& resolved) {
  std::string found;  // the real names so far
  for (std::size_t at = 0; at <= resolved.size();) {
    const std::size_t slash = std::min(resolved.find('/', at), resolved.size());
    const std::string name = resolved.substr(at, slash - at);
    const bool last = slash == resolved.size();
    auto it = listings_.find(found);
    if (it == listings_.end()) {
      std::vector<FolderEntry> entries;
      if (!ListFolder(found.empty() ? root : root / ToNativePath(found), entries).ok()) entries.clear();
      it = listings_.emplace(found, std::move(entries)).first;
    }
    const auto wanted = [&](const FolderEntry& e) {
      return e.type == (last ? FolderEntry::Type::File : FolderEntry::Type::Folder);
    };
    const std::vector<FolderEntry>& entries = it->second;
    auto match = std::find_if(entries.begin(), entries.end(),
                              [&](const FolderEntry& e) { return wanted(e) && e.displayName == name; });
    if (match == entries.end()) {
      const std::string folded = FoldCase(name);
      match = std::find_if(entries.begin(), entries.end(),
                           [&](const FolderEntry& e) { return wanted(e) && FoldCase(e.displayName) == folded; });
    }
    if (match == entries.end()) return std::nullopt;
    found += (found.empty() ? "" : "/") + match->displayName;
    at = slash + 1;
  }
  return found;
}

void IncludeReach::Find(const fs::path& root, const std::vector<std::string>& pages, int threads,
                        const StoredScans& stored, const std::vector<std::optional<FileStamp>>* pageStamps) {
  if (pageStamps && pageStamps->size() != pages.size()) pageStamps = nullptr;
  std::unordered_set<std::string> read;
  std::vector<std::string> level(pages.begin(), pages.end());
  for (bool first = true; !level.empty(); first = false) {
    std::vector<fs::path> files;
    files.reserve(level.size());
    for (const std::string& file : level) files.push_back(root / ToNativePath(file));
    read.insert(level.begin(), level.end());
    std::vector<Scanned> scanned = ScanFiles(files, level, threads, !first, stored, first ? pageStamps : nullptr);
    std::vector<std::string> next;
    for (std::size_t i = 0; i < level.size(); ++i) {
      const IncludeScan& scan = scanned[i].scan;
      if (scanned[i].read) ++filesRead;
      if (scanned[i].stamp) scans_.insert_or_assign(level[i], Kept{*scanned[i].stamp, ScanText(scan)});
      if (scan.serverScript == IncludeScan::Script::Holds) includers_.try_emplace(FoldCase(level[i]));  // filled below
      for (const IncludeDirective& directive : scan.directives) {
        const std::optional<std::string> resolved = ResolveInclude(level[i], directive);
        const std::optional<std::string> target = resolved ? Locate(root, *resolved) : std::nullopt;
        if (!target) continue;
        firstIncluder_.try_emplace(FoldCase(*target), level[i]);
        if (read.insert(*target).second) next.push_back(*target);
      }
      directives_.emplace(level[i], std::move(scanned[i].scan.directives));
    }
    level = std::move(next);
  }
  for (auto& [target, includer] : includers_) includer = firstIncluder_[target];
  firstIncluder_.clear();
}

const std::string* IncludeReach::ServerScriptIncluder(const std::string& relative) const {
  if (includers_.empty()) return nullptr;
  const auto it = includers_.find(FoldCase(relative));
  return it == includers_.end() ? nullptr : &it->second;
}

const std::string* IncludeReach::ScanOf(const std::string& relative, std::uint64_t size, std::int64_t modifiedNs) const {
  const auto it = scans_.find(relative);
  if (it == scans_.end() || it->second.stamp.size != size || it->second.stamp.modifiedNs != modifiedNs) return nullptr;
  return &it->second.text;
}

const std::vector<IncludeDirective>* IncludeReach::Directives(const std::string& relative) const {
  const auto it = directives_.find(relative);
  return it == directives_.end() ? nullptr : &it->second;
}
