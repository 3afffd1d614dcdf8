// File names: full paths, extensions and the wildcards of a source pattern.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "atomic_file.h"

namespace screnc {

// The absolute, lexically normalised form of path (relative to the working folder).
std::string full_path(const std::string& path);

std::string folder_part(const std::string& path);  // "/a/b.asp" -> "/a"
std::string name_part(const std::string& path);    // "/a/b.asp" -> "b.asp"

// The extension with its dot ("b.asp" -> ".asp"), or nullopt when the name has none.
std::optional<std::string> extension_of(std::string_view name);

bool has_wildcard(std::string_view s);

// Whether path names an existing directory entry of any kind (a dangling link too).
bool exists(const std::string& path);

// Windows-style match: '*' any run, '?' one character, ASCII case ignored; "*.*" also
// matches names without a dot.
bool wildcard_match(std::string_view pattern, std::string_view name);

// The names in folder matching pattern ("." and ".." excluded), in a stable order.
std::optional<IoError> list_matches(const std::string& folder, std::string_view pattern,
                                    std::vector<std::string>& names);

}  // namespace screnc
