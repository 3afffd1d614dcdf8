// Reading a whole file, and replacing a file only once its new content is complete.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace screnc {

// A failed system call on a path: "open '/srv/a.asp': Permission denied".
struct IoError {
  std::string call;
  std::string path;
  int error = 0;
  std::string message() const;
  std::string reason() const;  // "No space left on device"
};

std::optional<IoError> read_whole_file(const std::string& path, std::string& out);

// Reserves room for n bytes in s; for a large text, asks the system to back it with huge
// pages, which saves most of the page faults of a 100 MB page.
void reserve_large(std::string& s, std::size_t n);

// Writes data to a new file in path's folder and renames it onto path. Nothing is left
// behind on failure, and a process killed while writing leaves no partial file: on Linux
// the content is written to an unnamed file (O_TMPFILE) that gets a name only when
// complete. `mode` sets the permissions (in-place encoding keeps the source's); without
// it they follow the umask.
std::optional<IoError> write_file_atomic(const std::string& path, std::string_view data,
                                         std::optional<mode_t> mode);

// Removes a named temporary file of write_file_atomic still pending when SIGINT, SIGTERM
// or SIGHUP arrives, then lets the signal end the process.
void install_cleanup_on_signals();

}  // namespace screnc
