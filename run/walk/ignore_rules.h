#pragma once
// Which entries of the source a run leaves out: `.quillwardignore` files in the source
// tree, in the pattern language of `.gitignore`, plus patterns for the whole site.
//
// The language, line by line (the same as git's, so a person's habits carry over):
//   - a blank line matches nothing; a line starting with `#` is a comment (`\#` for a
//     literal `#`); trailing spaces are dropped unless escaped (`\ `); CR LF line ends
//     and a UTF-8 byte order mark are accepted;
//   - `!` before a pattern re-includes what an earlier line excluded (`\!` for a literal
//     `!`); it cannot re-include an entry of an excluded folder, since an excluded folder
//     is never entered;
//   - a trailing `/` makes the pattern match folders only;
//   - a pattern with a `/` at its start or in its middle is anchored: it is matched
//     against the path relative to the folder of the file it comes from; a pattern
//     without one is matched against the entry's name, at any depth below that folder;
//   - `*` matches any run of characters except `/`, `?` one character except `/`,
//     `[...]` one of a set (`a-z` ranges, `!` or `^` to negate, `[:alpha:]` classes);
//     `\` takes the next character literally;
//   - `**` matches across folders when it stands for a whole part of the path:
//     `**/x` (x at any depth), `x/**` (everything inside x), `a/**/b` (zero or more
//     folders between); elsewhere it is a plain `*`;
//   - the last matching line decides.
// Matching is by bytes and case-sensitive, as git does by default: `?` matches one byte,
// so one byte of a multi-byte UTF-8 character.
//
// Layers, later ones winning over earlier ones (the order git gives its exclude sources):
//   1. the site-wide patterns of the Options field, anchored at the source root (like
//      git's info/exclude: a site's own ignore files can re-include what they exclude);
//   2. each folder's `.quillwardignore`, those of deeper folders after those above them;
//   3. the `--exclude` patterns of the command line, anchored at the source root (the
//      person running the tool has the last word, as with `git ls-files --exclude`).
// The ignore files themselves are always excluded.
//
// Why a matcher of our own: no well-kept C++ library for this language is packaged for
// Debian; libgit2 has one but only for a repository's own ignore files (it needs a
// repository and its `.gitignore` name), is a C library outside the standard library
// that run/ is limited to, and is not at hand for the MinGW build. The language is
// small; the tests check this matcher against real git, row by row.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kIgnoreFileName[] = ".quillwardignore";

// The path of the entry `name` of the folder `folder`, both relative to the source root.
inline std::string JoinRelative(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty()) path += '/';
  return path.append(name);
}

// Glob match of `pattern` against `text` (paths with `/`), with the rules above for
// `*`, `?`, `[...]`, `\` and `**`. A malformed pattern (an unclosed `[`, a `\` at the end,
// an unknown `[:class:]`) matches nothing.
bool GlobMatch(std::string_view pattern, std::string_view text);

// One parsed line.
struct IgnoreRule {
  std::string pattern;     // without `!`, leading `/` and trailing `/`
  std::string base;        // folder it is anchored to, relative to the source root ("" = root)
  bool negative = false;   // `!`: re-include
  bool foldersOnly = false;
  bool nameOnly = false;   // no `/`: matched against the entry's name
  bool Matches(std::string_view relativePath, bool isFolder) const;
};

// The rules of one text (an ignore file, or patterns one per line) whose anchored
// patterns are relative to `base` (a folder relative to the source root, "" for the root,
// `/` between parts).
std::vector<IgnoreRule> ParseIgnoreText(std::string_view text, std::string_view base);

// The Options field's text split into patterns: at white space and `;`, with `\ ` for a
// space that belongs to a pattern.
std::vector<std::string> SplitPatternList(std::string_view field);

// A failure to read an ignore file: "permission denied (open /site/a/.quillwardignore)",
// "not a regular file (stat /site/a/.quillwardignore)". The folder's rules are then
// unknown, so nothing of the folder may be deployed.
struct IgnoreReadError {
  std::filesystem::path file;
  std::string message;
};

// The rules in force while a walk is inside a folder. The walk pushes a folder as it enters
// it and pops it as it leaves; Excluded() answers for the entries of the folder on top.
// Paths are relative to the source root, UTF-8, `/` between parts, no leading `/`.
class IgnoreStack {
public:
  IgnoreStack() = default;
  // `sitePatterns`: the Options field (layer 1); `commandPatterns`: `--exclude` (layer 3).
  IgnoreStack(const std::vector<std::string>& sitePatterns,
              const std::vector<std::string>& commandPatterns);

  // Enters `relativeFolder` whose place on disk is `folder`, reading its ignore file if it
  // has one. A missing file is no error; one that cannot be read, or is not a regular file
  // (a FIFO, a folder, a device, a link that leads nowhere: never opened to be read), is
  // returned, and the folder is pushed all the same (with no rules of its own), so that
  // Push and Pop stay paired.
  std::optional<IgnoreReadError> Push(const std::filesystem::path& folder,
                                      std::string_view relativeFolder);
  // Enters `relativeFolder` with `text` as its ignore file's content.
  void PushText(std::string_view relativeFolder, std::string_view text);
  void Pop();
  std::size_t Depth() const { return levels_.size(); }

  // Whether the entry `relativePath` of the folder on top is left out. An excluded folder
  // is not to be entered.
  bool Excluded(std::string_view relativePath, bool isFolder) const;

private:
  std::vector<IgnoreRule> rules_;       // layers 1 and 2, in order
  std::vector<std::size_t> levels_;     // rules_.size() before each push
  std::vector<IgnoreRule> command_;     // layer 3
};
