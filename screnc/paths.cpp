#include "paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>

namespace screnc {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool match(std::string_view p, std::string_view n) {
  // Iterative match with one backtracking point for the last '*'.
  std::size_t pi = 0, ni = 0, star = std::string_view::npos, resume = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || lower(p[pi]) == lower(n[ni]))) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      resume = ni;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      ni = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

std::string full_path(const std::string& path) {
  std::filesystem::path p(path);
  if (p.is_relative()) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) p = std::filesystem::path(cwd) / p;
  }
  std::string s = p.lexically_normal().string();
  // Keep a trailing slash only for the root.
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string folder_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> extension_of(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return std::string(name.substr(dot));
}

bool has_wildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos &&
      match(pattern.substr(0, pattern.size() - 2), name))
    return true;
  return match(pattern, name);
}

std::optional<IoError> list_matches(const std::string& folder, std::string_view pattern,
                                    std::vector<std::string>& names) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return IoError{"opendir", folder, errno};
  errno = 0;
  while (const dirent* e = readdir(dir)) {
    const std::string_view n = e->d_name;
    if (n != "." && n != ".." && wildcard_match(pattern, n)) names.emplace_back(n);
  }
  const int err = errno;
  closedir(dir);
  if (err != 0) return IoError{"readdir", folder, err};
  std::sort(names.begin(), names.end());
  return std::nullopt;
}

}  // namespace screnc
