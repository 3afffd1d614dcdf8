#include "run/walk/ignore_rules.h"

#include "run/util/non_regular.h"

#include <cctype>

namespace {

// The result of matching a pattern's tail: besides yes and no, two ways to give up early
// that spare the callers further tries (a `*` that reached a `/`, text used up).
enum class Glob { Match, NoMatch, AbortAll, AbortToDoubleStar };

bool InClass(std::string_view name, unsigned char c, bool& known) {
  known = true;
  if (name == "alnum") return std::isalnum(c);
  if (name == "alpha") return std::isalpha(c);
  if (name == "blank") return c == ' ' || c == '\t';
  if (name == "cntrl") return std::iscntrl(c);
  if (name == "digit") return std::isdigit(c);
  if (name == "graph") return std::isgraph(c);
  if (name == "lower") return std::islower(c);
  if (name == "print") return std::isprint(c);
  if (name == "punct") return std::ispunct(c);
  if (name == "space") return std::isspace(c);
  if (name == "upper") return std::isupper(c);
  if (name == "xdigit") return std::isxdigit(c);
  known = false;
  return false;
}

// Matches the set starting after `[` at p[i] against c; leaves i on the closing `]`.
Glob MatchSet(std::string_view p, std::size_t& i, unsigned char c) {
  bool negated = false;
  if (i < p.size() && (p[i] == '!' || p[i] == '^')) { negated = true; ++i; }
  bool matched = false;
  int previous = -1;  // the last single character, for a range
  for (bool first = true; first || i >= p.size() || p[i] != ']'; first = false) {
    if (i >= p.size()) return Glob::AbortAll;
    unsigned char pc = static_cast<unsigned char>(p[i]);
    if (pc == '\\') {
      if (++i >= p.size()) return Glob::AbortAll;
      pc = static_cast<unsigned char>(p[i]);
      matched |= c == pc;
      previous = pc;
    } else if (pc == '-' && previous >= 0 && i + 1 < p.size() && p[i + 1] != ']') {
      unsigned char last = static_cast<unsigned char>(p[++i]);
      if (last == '\\') {
        if (++i >= p.size()) return Glob::AbortAll;
        last = static_cast<unsigned char>(p[i]);
      }
      matched |= c >= previous && c <= last;
      previous = -1;
    } else if (pc == '[' && i + 1 < p.size() && p[i + 1] == ':') {
      const std::size_t close = p.find(']', i + 2);
      if (close == std::string_view::npos) return Glob::AbortAll;
      if (p[close - 1] != ':' || close - 1 < i + 2) {  // not a class: a plain `[`
        matched |= c == '[';
        previous = '[';
      } else {
        bool known = false;
        matched |= InClass(p.substr(i + 2, close - 1 - (i + 2)), c, known);
        if (!known) return Glob::AbortAll;
        i = close;
        previous = -1;
      }
    } else {
      matched |= c == pc;
      previous = pc;
    }
    ++i;
  }
  return matched != negated && c != '/' ? Glob::Match : Glob::NoMatch;
}

Glob Match(std::string_view p, std::size_t pi, std::string_view t, std::size_t ti);

// The stars at p[pi]; `**` standing for whole path parts crosses `/`.
Glob MatchStars(std::string_view p, std::size_t pi, std::string_view t, std::size_t ti) {
  const std::size_t start = pi;
  while (pi < p.size() && p[pi] == '*') ++pi;
  bool crossFolders = false;
  if (pi - start >= 2 && (start == 0 || p[start - 1] == '/') &&
      (pi == p.size() || p[pi] == '/')) {
    // `a/**/b` also matches `a/b`: try the `**/` as matching nothing.
    if (pi < p.size() && Match(p, pi + 1, t, ti) == Glob::Match) return Glob::Match;
    crossFolders = true;
  }
  if (pi == p.size()) {
    if (!crossFolders && t.find('/', ti) != std::string_view::npos) return Glob::AbortToDoubleStar;
    return Glob::Match;
  }
  for (; ti < t.size(); ++ti) {
    const Glob r = Match(p, pi, t, ti);
    if (r != Glob::NoMatch) {
      if (!crossFolders || r != Glob::AbortToDoubleStar) return r;
    } else if (!crossFolders && t[ti] == '/') {
      return Glob::AbortToDoubleStar;
    }
  }
  return Glob::AbortAll;
}

Glob Match(std::string_view p, std::size_t pi, std::string_view t, std::size_t ti) {
  for (; pi < p.size(); ++pi, ++ti) {
    const char pc = p[pi];
    if (ti == t.size() && pc != '*') return Glob::AbortAll;
    switch (pc) {
      case '*':
        return MatchStars(p, pi, t, ti);
      case '?':
        if (t[ti] == '/') return Glob::NoMatch;
        break;
      case '[': {
        ++pi;
        const Glob r = MatchSet(p, pi, static_cast<unsigned char>(t[ti]));
        if (r != Glob::Match) return r;
        break;
      }
      case '\\':
        if (++pi == p.size()) return Glob::AbortAll;
        if (p[pi] != t[ti]) return Glob::NoMatch;
        break;
      default:
        if (pc != t[ti]) return Glob::NoMatch;
    }
  }
  return ti == t.size() ? Glob::Match : Glob::NoMatch;
}

// Drops trailing spaces that are not escaped.
std::string_view TrimTrailingSpaces(std::string_view line) {
  std::size_t keep = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ') continue;
    if (line[i] == '\\' && ++i == line.size()) return line.substr(0, i);  // dangling `\`
    keep = i + 1;
  }
  return line.substr(0, keep);
}

std::optional<IgnoreRule> ParseLine(std::string_view line, std::string_view base) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return std::nullopt;
  line = TrimTrailingSpaces(line);
  IgnoreRule rule;
  if (!line.empty() && line.front() == '!') {
    rule.negative = true;
    line.remove_prefix(1);
  }
  if (!line.empty() && line.back() == '/') {
    rule.foldersOnly = true;
    line.remove_suffix(1);
  }
  rule.nameOnly = line.find('/') == std::string_view::npos;
  if (!line.empty() && line.front() == '/') line.remove_prefix(1);
  if (line.empty()) return std::nullopt;
  rule.pattern = std::string(line);
  rule.base = std::string(base);
  return rule;
}

std::string_view NameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsIgnoreFile(std::string_view relativePath, bool isFolder) {
  return !isFolder && NameOf(relativePath) == kIgnoreFileName;
}

// The last matching rule of `rules`, or null.
const IgnoreRule* LastMatch(const std::vector<IgnoreRule>& rules, std::size_t end,
                            std::string_view path, bool isFolder) {
  for (std::size_t i = end; i-- > 0;)
    if (rules[i].Matches(path, isFolder)) return &rules[i];
  return nullptr;
}

}  // namespace

bool GlobMatch(std::string_view pattern, std::string_view text) {
  return Match(pattern, 0, text, 0) == Glob::Match;
}

bool IgnoreRule::Matches(std::string_view relativePath, bool isFolder) const {
  if (foldersOnly && !isFolder) return false;
  std::string_view inBase = relativePath;
  if (!base.empty()) {
    if (inBase.size() <= base.size() || inBase.compare(0, base.size(), base) != 0 ||
        inBase[base.size()] != '/')
      return false;
    inBase.remove_prefix(base.size() + 1);
  }
  return GlobMatch(pattern, nameOnly ? NameOf(inBase) : inBase);
}

std::vector<IgnoreRule> ParseIgnoreText(std::string_view text, std::string_view base) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<IgnoreRule> rules;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (auto rule = ParseLine(text.substr(0, end), base)) rules.push_back(std::move(*rule));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return rules;
}

std::vector<std::string> SplitPatternList(std::string_view field) {
  std::vector<std::string> patterns;
  std::string current;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '\\' && i + 1 < field.size()) {
      current += c;
      current += field[++i];
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';') {
      if (!current.empty()) patterns.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) patterns.push_back(std::move(current));
  return patterns;
}

IgnoreStack::IgnoreStack(const std::vector<std::string>& sitePatterns,
                         const std::vector<std::string>& commandPatterns) {
  for (const std::string& p : sitePatterns)
    if (auto rule = ParseLine(p, "")) rules_.push_back(std::move(*rule));
  for (const std::string& p : commandPatterns)
    if (auto rule = ParseLine(p, "")) command_.push_back(std::move(*rule));
}

std::optional<IgnoreReadError> IgnoreStack::Push(const std::filesystem::path& folder,
                                                 std::string_view relativeFolder) {
  const std::filesystem::path file = folder / kIgnoreFileName;
  std::string text;
  bool missing = false;
  const Status read = ReadRegularFile(file, text, missing);
  PushText(relativeFolder, text);
  if (read.ok()) return std::nullopt;
  return IgnoreReadError{file, read.reason()};
}

void IgnoreStack::PushText(std::string_view relativeFolder, std::string_view text) {
  levels_.push_back(rules_.size());
  for (IgnoreRule& rule : ParseIgnoreText(text, relativeFolder)) rules_.push_back(std::move(rule));
}

void IgnoreStack::Pop() {
  if (levels_.empty()) return;
  rules_.resize(levels_.back());
  levels_.pop_back();
}

bool IgnoreStack::Excluded(std::string_view relativePath, bool isFolder) const {
  if (IsIgnoreFile(relativePath, isFolder)) return true;
  const IgnoreRule* rule = LastMatch(command_, command_.size(), relativePath, isFolder);
  if (!rule) rule = LastMatch(rules_, rules_.size(), relativePath, isFolder);
  return rule && !rule->negative;
}
