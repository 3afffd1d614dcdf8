#include "run/includes/include_reach.h"

#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "run/encoder/script_regions.h"
#include "run/util/text.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

struct Scanned {
  std::vector<IncludeDirective> directives;
  bool serverScript = false;
};

// Each file read once, by up to `threads` threads; `serverScript` looked for when asked.
std::vector<Scanned> ScanFiles(const std::vector<fs::path>& files, int threads, bool serverScript) {
  std::vector<Scanned> found(files.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      const std::string bytes = ReadWholeFile(files[i]);
      found[i].directives = FindIncludes(PageText(bytes));
      if (serverScript) found[i].serverScript = HoldsServerScript(bytes);
    }
  };
  const std::size_t helpers = std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)) - 1, files.size() / 64);
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < helpers; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return found;
}

}  // namespace

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in;
  in.rdbuf()->pubsetbuf(nullptr, 0);
  in.open(path, std::ios::binary);
  std::string bytes;
  for (std::size_t piece = 16 * 1024; in; piece *= 2) {  // most pages fit the first piece
    const std::size_t had = bytes.size();
    bytes.resize(had + piece);
    in.read(bytes.data() + had, static_cast<std::streamsize>(piece));
    bytes.resize(had + static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  }
  return bytes;
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

void IncludeReach::Find(const fs::path& root, const std::vector<std::string>& pages, int threads) {
  std::unordered_set<std::string> read;
  std::vector<std::string> level(pages.begin(), pages.end());
  for (bool first = true; !level.empty(); first = false) {
    std::vector<fs::path> files;
    for (const std::string& file : level) files.push_back(root / ToNativePath(file));
    read.insert(level.begin(), level.end());
    filesRead += level.size();
    std::vector<Scanned> scanned = ScanFiles(files, threads, !first);
    std::vector<std::string> next;
    for (std::size_t i = 0; i < level.size(); ++i) {
      if (scanned[i].serverScript) includers_.try_emplace(FoldCase(level[i]));  // filled below
      for (const IncludeDirective& directive : scanned[i].directives) {
        const std::optional<std::string> resolved = ResolveInclude(level[i], directive);
        const std::optional<std::string> target = resolved ? Locate(root, *resolved) : std::nullopt;
        if (!target) continue;
        firstIncluder_.try_emplace(FoldCase(*target), level[i]);
        if (read.insert(*target).second) next.push_back(*target);
      }
      directives_.emplace(level[i], std::move(scanned[i].directives));
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

const std::vector<IncludeDirective>* IncludeReach::Directives(const std::string& relative) const {
  const auto it = directives_.find(relative);
  return it == directives_.end() ? nullptr : &it->second;
}
