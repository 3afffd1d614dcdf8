#include "paths.h"

#include <algorithm>

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

// The position of the last separator, or npos.
std::size_t last_separator(const std::string& path) {
  for (std::size_t i = path.size(); i-- > 0;)
    if (is_separator(path[i])) return i;
  return std::string::npos;
}

}  // namespace

std::string folder_part(const std::string& path) {
  const std::size_t root = root_length(path);
  const std::size_t sep = last_separator(path);
  if (sep == std::string::npos || sep + 1 <= root) return root ? path.substr(0, root) : ".";
  return path.substr(0, sep);
}

std::string name_part(const std::string& path) {
  const std::size_t sep = last_separator(path);
  const std::size_t from = std::max(root_length(path), sep == std::string::npos ? 0 : sep + 1);
  return path.substr(from);
}

std::string join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && is_separator(folder.back())) return folder + name;
  return folder + preferred_separator() + name;
}

std::optional<std::string> extension_of(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return std::string(name.substr(dot));
}

bool has_wildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool wildcard_match(std::string_view pattern, std::string_view name) {
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos &&
      match(pattern.substr(0, pattern.size() - 2), name))
    return true;
  return match(pattern, name);
}

std::optional<IoError> list_matches(const std::string& folder, std::string_view pattern,
                                    std::vector<std::string>& names) {
  std::vector<std::string> all;
  const std::optional<IoError> err = list_folder(folder, all);
  for (std::string& n : all)
    if (wildcard_match(pattern, n)) names.push_back(std::move(n));
  std::sort(names.begin(), names.end());
  return err;
}

}  // namespace screnc
