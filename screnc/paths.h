// File names: folder and name parts, extensions and the wildcards of a source pattern.
// Separators and roots are the platform's (file_system.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_system.h"

namespace screnc {

std::string folder_part(const std::string& path);  // "/a/b.asp" -> "/a", "/b.asp" -> "/"
std::string name_part(const std::string& path);    // "/a/b.asp" -> "b.asp"

// folder and name joined by one separator ("/" + "a" -> "/a", "C:\" + "a" -> "C:\a").
std::string join(const std::string& folder, const std::string& name);

// The extension with its dot ("b.asp" -> ".asp"), or nullopt when the name has none.
std::optional<std::string> extension_of(std::string_view name);

bool has_wildcard(std::string_view s);

// Windows-style match: '*' any run, '?' one character, ASCII case ignored; "*.*" also
// matches names without a dot.
bool wildcard_match(std::string_view pattern, std::string_view name);

// The names in folder matching pattern, sorted by their bytes, on every platform.
std::optional<IoError> list_matches(const std::string& folder, std::string_view pattern,
                                    std::vector<std::string>& names);

}  // namespace screnc
