// The name of the temporary file written beside a destination before it replaces it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace screnc {

// How a file system counts the length of a name.
enum class NameUnits { Bytes, Utf16 };

// The length of a UTF-8 name in the given units.
std::size_t name_length(std::string_view name, NameUnits units);

// ".<name>.screnc-<unique>": hidden, next to the destination, recognisable by the
// ".screnc-" in it. The destination's name is cut short (never inside a character) so
// that the whole stays within `limit`, which is what a file system allows for a name;
// `unique` is always kept whole. With no room for any of the name: ".screnc-<unique>".
std::string temp_file_name(std::string_view name, std::string_view unique, std::size_t limit,
                           NameUnits units);

}  // namespace screnc
