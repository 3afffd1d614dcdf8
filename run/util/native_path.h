#pragma once
// Paths of the run: native paths (bytes on POSIX, UTF-16 on Windows) for every file
// operation, UTF-8 text only for what is shown. A POSIX name need not be valid UTF-8.

#include <filesystem>
#include <string>
#include <string_view>

// A path the user typed or picked, as UTF-8 text, to a native path (on Windows with the
// backslash as separator).
std::filesystem::path ToNativePath(std::string_view text);
// A native path as shown in the log and in messages, in UTF-8 with native separators.
// Bytes that are not UTF-8 show as replacement characters; the native path itself is
// never rebuilt from it.
std::string ToDisplayPath(const std::filesystem::path& path);

// `dir` joined with one `name`, with exactly one separator between them, also when `dir`
// is a root ("/", "C:\") or ends in a separator.
std::filesystem::path JoinPath(const std::filesystem::path& dir, const std::filesystem::path& name);

// How two folders of a run lie to each other, compared by their real paths (links
// resolved, case ignored only where the file system ignores it).
enum class PathRelation { Apart, Same, FirstInsideSecond, SecondInsideFirst };
PathRelation RelatePaths(const std::filesystem::path& first, const std::filesystem::path& second);
