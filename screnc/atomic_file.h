// Reading a whole file, and replacing a file only once its new content is complete.
// One implementation per platform: atomic_file_posix.cpp, atomic_file_win.cpp. Files are
// read and written as bytes, never as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "file_system.h"

namespace screnc {

std::optional<IoError> read_whole_file(const std::string& path, std::string& out);

// Reserves room for n bytes in s; for a large text, where the system can, asks for huge
// pages, which saves most of the page faults of a 100 MB page.
void reserve_large(std::string& s, std::size_t n);

// Writes data to a new file in path's folder and puts it in place of path only once it
// is complete. Nothing is left behind on failure, and a process killed while writing
// leaves no partial file: on Linux the content goes to an unnamed file (O_TMPFILE) that
// gets a name only when complete; on Windows the new file is marked for deletion until
// it is complete, then replaces the destination (ReplaceFileW, which keeps the replaced
// file's attributes and security, or MoveFileExW for a new name). `mode` sets the POSIX
// permissions (in-place encoding keeps the source's); without it they follow the umask.
// Windows ignores it.
std::optional<IoError> write_file_atomic(const std::string& path, std::string_view data,
                                         std::optional<std::uint32_t> mode);

// Removes a named temporary file of write_file_atomic still pending when the process is
// asked to end (SIGINT, SIGTERM, SIGHUP), then lets it end.
void install_cleanup_on_signals();

}  // namespace screnc
