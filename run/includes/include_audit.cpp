#include "run/includes/include_audit.h"

#include "run/util/fs_ops.h"
#include "run/includes/include_directives.h"
#include "run/includes/include_reach.h"
#include "run/util/native_path.h"
#include "run/util/parallel_each.h"
#include "run/util/text.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

enum class Problem { None, Copied, Missing, Excluded, Failed, Folder, Outside, LetterCase };

std::string Ending(Problem problem, const std::string& spelling) {
  switch (problem) {
    case Problem::Copied: return " and was copied unencoded";
    case Problem::Missing: return " and does not exist";
    case Problem::Excluded: return " and is excluded by the ignore rules: it is not deployed";
    case Problem::Failed: return " and failed: it is not deployed";
    case Problem::Folder: return " and is a folder";
    case Problem::Outside: return " and lies outside the source folder";
    case Problem::LetterCase: return " as " + spelling + ": only a server that ignores letter case finds it";
    case Problem::None: break;
  }
  return {};
}

bool IsFile(EntryAction action) {
  return action == EntryAction::Encoded || action == EntryAction::Copied || action == EntryAction::Unchanged;
}

// Pages that may hold server includes, when they went through the encoder.
bool IsEncodedPage(EntryAction action, FileKind kind) {
  return (action == EntryAction::Encoded || action == EntryAction::Unchanged) &&
         (kind == FileKind::EncodeAspPage || kind == FileKind::EncodeAspByExtension);
}

// The directives of each file, read by up to `threads` threads at once.
std::vector<std::vector<IncludeDirective>> ReadDirectives(const std::vector<fs::path>& files, int threads) {
  std::vector<std::vector<IncludeDirective>> found(files.size());
  ParallelEach(files.size(), threads, [&](std::size_t i) {
    std::string& bytes = PageBuffer();
    ReadWholeFile(files[i], bytes);
    MakePageText(bytes);
    found[i] = FindIncludes(bytes);
    ReleaseLargePageBuffer();
  });
  return found;
}

}  // namespace

struct IncludeAudit::Finding {
  Problem problem = Problem::None;
  std::string target, spelling;
  std::map<std::size_t, const std::string*> includers;  // by their place in the log
  std::size_t directive = 0;  // the first includer's directive, by its place in the page
};

void IncludeAudit::Entry(const EntryRecord& record) {
  if (record.action == EntryAction::Deleted || record.action == EntryAction::Kept) return;
  if (record.relative.empty()) {
    if (record.folder) sourceRoot_ = record.source;
    return;
  }
  Seen seen{record.action, record.folder, record.kind, record.source.native(), entries_.size()};
  const auto it = entries_.insert_or_assign(record.relative, std::move(seen)).first;
  if (!record.folder && IsEncodedPage(record.action, record.kind)) pages_.push_back(&it->first);
}

const std::string* IncludeAudit::Key(const std::string& relative) const {
  if (const auto it = entries_.find(relative); it != entries_.end()) return &it->first;
  if (folded_.empty()) {
    for (const auto& [name, seen] : entries_) folded_.emplace(FoldCase(name), &name);
  }
  const auto it = folded_.find(FoldCase(relative));
  return it == folded_.end() ? nullptr : it->second;
}

// The entry a resolved path names; else an excluded or failed folder above it.
IncludeAudit::Found IncludeAudit::Lookup(const std::string& relative) const {
  if (const std::string* key = Key(relative)) return {key, &entries_.at(*key), false};
  for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1)) {
    const std::string* key = Key(relative.substr(0, slash));
    if (!key) break;
    const Seen& above = entries_.at(*key);
    if (above.action == EntryAction::Excluded || above.action == EntryAction::Failed) return {nullptr, &above, true};
  }
  return {};
}

void IncludeAudit::Note(const std::string& page, const std::vector<IncludeDirective>& directives,
                        std::vector<const std::string*>& reached, std::unordered_map<std::string, Finding>& findings) const {
  const Seen& from = entries_.at(page);
  for (std::size_t d = 0; d < directives.size(); ++d) {
    const auto note = [&](Problem problem, const std::string& target, const std::string& spelling) {
      Finding& f = findings[std::to_string(static_cast<int>(problem)) + '\n' + target + '\n' + spelling];
      if (f.includers.empty() || from.order < f.includers.begin()->first) f.directive = d;
      f.problem = problem;
      f.target = target;
      f.spelling = spelling;
      f.includers.emplace(from.order, &page);
    };
    const std::optional<std::string> resolved = ResolveInclude(page, directives[d]);
    if (!resolved) {
      note(Problem::Outside, directives[d].path, {});
      continue;
    }
    const Found found = Lookup(*resolved);
    if (!found.seen) {
      note(Problem::Missing, *resolved, {});
      continue;
    }
    const std::string& target = found.relative ? *found.relative : *resolved;
    if (found.inLeftOutFolder) {
      note(found.seen->action == EntryAction::Excluded ? Problem::Excluded : Problem::Failed, target, {});
      continue;
    }
    if (*found.relative != *resolved && !Exists(JoinPath(sourceRoot_, ToNativePath(*resolved)))) {
      note(Problem::LetterCase, target, *resolved);
    }
    const Seen& seen = *found.seen;
    if (seen.folder && seen.action != EntryAction::Excluded) {
      note(seen.action == EntryAction::Failed ? Problem::Failed : Problem::Folder, target, {});
    } else if (seen.action == EntryAction::Excluded) {
      note(Problem::Excluded, target, {});
    } else if (seen.action == EntryAction::Failed || seen.action == EntryAction::Stopped) {
      note(Problem::Failed, target, {});
    } else if (seen.kind == FileKind::Copy) {  // a script kind is copied only when empty
      note(Problem::Copied, target, {});
    }
    if (IsFile(seen.action) && !seen.folder) reached.push_back(found.relative);
  }
}

std::vector<std::string> IncludeAudit::Findings() const {
  filesRead = 0;
  std::unordered_map<std::string, Finding> findings;
  // Level by level: the pages, then the files they include, then those these include...
  std::unordered_set<const std::string*> scanned;
  std::vector<const std::string*> reached(pages_.begin(), pages_.end());
  while (!reached.empty()) {
    std::vector<const std::string*> level;
    for (const std::string* file : reached) {
      if (scanned.insert(file).second) level.push_back(file);
    }
    // What the walk's include pass read is not read again.
    std::vector<const std::vector<IncludeDirective>*> known(level.size(), nullptr);
    std::vector<fs::path> unread;
    for (std::size_t i = 0; i < level.size(); ++i) {
      if (reach_) known[i] = reach_->Directives(*level[i]);
      if (!known[i]) unread.emplace_back(entries_.at(*level[i]).source);
    }
    filesRead += unread.size();
    const std::vector<std::vector<IncludeDirective>> directives = ReadDirectives(unread, threads_);
    reached.clear();
    for (std::size_t i = 0, k = 0; i < level.size(); ++i)
      Note(*level[i], known[i] ? *known[i] : directives[k++], reached, findings);
  }
  std::vector<const Finding*> ordered;
  for (const auto& [key, finding] : findings) ordered.push_back(&finding);
  std::sort(ordered.begin(), ordered.end(), [](const Finding* a, const Finding* b) {
    const auto ka = std::tuple(a->includers.begin()->first, a->directive, a->problem != Problem::LetterCase);
    const auto kb = std::tuple(b->includers.begin()->first, b->directive, b->problem != Problem::LetterCase);
    return ka < kb;
  });
  std::vector<std::string> lines;
  for (const Finding* f : ordered) {
    std::string line = f->target + " is included by " + *f->includers.begin()->second;
    if (f->includers.size() > 1) line += " (and " + std::to_string(f->includers.size() - 1) + " more)";
    lines.push_back(line + Ending(f->problem, f->spelling));
  }
  return lines;
}

long long ReportIncludeFindings(RunHost& host, const std::vector<std::string>& findings, bool strict) {
  for (const std::string& finding : findings) {
    host.AppendLog("Warning: " + finding);
    if (strict) host.MarkLastFailed();
  }
  if (!findings.empty()) host.RepaintLog();
  return static_cast<long long>(findings.size());
}
