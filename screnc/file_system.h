// What the encoder needs from the file system, one implementation per platform
// (file_system_posix.cpp, file_system_win.cpp). Paths are UTF-8 strings everywhere; the
// Windows half converts them to UTF-16 at the system's edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "temp_name.h"

namespace screnc {

// A failed system call on a path: "open '/srv/a.asp': Permission denied".
struct IoError {
  std::string call;
  std::string path;
  std::string reason;  // the system's text: "No space left on device"
  std::string message() const { return call + " '" + path + "': " + reason; }
};

// The last system error (errno, or GetLastError on Windows) of call on path.
IoError last_error(const char* call, const std::string& path);

struct FileInfo {
  bool regular = false;     // a plain file: not a folder, device, pipe
  bool hidden = false;      // hidden or system by the platform's own attributes
  bool read_only = false;
  std::uint32_t mode = 0;   // POSIX permission bits (0 on Windows)
};

// What the file at path is; follows links.
std::optional<IoError> file_info(const std::string& path, FileInfo& info);

// Whether path names an existing directory entry of any kind (a dangling link too).
bool exists(const std::string& path);

// Whether a and b are one file or folder: the same full path, or the same identity
// (device and inode; volume serial number and file index on Windows).
bool same_file(const std::string& a, const std::string& b);

// The absolute, lexically normalised form of path (relative to the working folder),
// without a trailing separator except for a root ("/", "C:\").
std::string full_path(const std::string& path);

// The names in a folder ("." and ".." excluded), in no particular order.
std::optional<IoError> list_folder(const std::string& folder, std::vector<std::string>& names);

// '/' on POSIX; '\' and '/' on Windows.
bool is_separator(char c);

// The separator used to join a folder and a name.
char preferred_separator();

// The length of path's root ("/" on POSIX; "C:\", "\\server\share\", "\\?\C:\" on
// Windows), 0 when it has none.
std::size_t root_length(std::string_view path);

// How this platform's file systems count a name's length (bytes, or UTF-16 units),
// and the longest name allowed in folder.
NameUnits name_units();
std::size_t name_limit(const std::string& folder);

}  // namespace screnc
