// Replacing a file only once its new content is complete.
// One implementation per platform: atomic_file_posix.cpp, atomic_file_win.cpp. Files are
// written as bytes, never as text.
#pragma once

#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "file_system.h"

namespace screnc {

// A new file in path's folder, written piece by piece, that takes path's place only once
// it is complete (commit). Nothing is left behind on failure or when it is dropped
// uncommitted, and a process killed while writing leaves no partial file: on Linux the
// content goes to an unnamed file (O_TMPFILE) that gets a name only when complete; on
// Windows the new file is marked for deletion until it is complete, then replaces the
// destination (ReplaceFileW, which keeps the replaced file's attributes and security,
// or MoveFileExW for a new name). `mode` sets the POSIX permissions (in-place encoding
// keeps the source's); without it they follow the umask. Windows ignores it.
//
// A destination that exists and is not a regular file (a device, a FIFO, a socket, a
// console or pipe on Windows, or a link to one) is no name to replace: it is opened and
// written into as a stream, as `cp` does, and neither renamed over nor removed. So is
// anything reached through /proc on Linux, whatever the file behind it: /dev/stdout,
// /dev/fd/N and /proc/self/fd/N are written through this process's own descriptor N,
// where it stands (as a shell's redirection does), so that output before and after ours
// stays in order. A stream gets what was written before a failure.
class AtomicWrite {
 public:
  AtomicWrite() = default;
  AtomicWrite(const AtomicWrite&) = delete;
  AtomicWrite& operator=(const AtomicWrite&) = delete;
  ~AtomicWrite() { discard(); }

  std::optional<IoError> open(const std::string& path, std::optional<std::uint32_t> mode);
  std::optional<IoError> write(std::string_view data);
  std::optional<IoError> commit();

 private:
  void discard();

  std::string path_;
  std::string temp_;  // the temporary file's name, once it has one
  std::optional<std::uint32_t> mode_;
  std::intptr_t handle_ = -1;  // file descriptor, or HANDLE on Windows
  bool stream_ = false;        // written into the destination itself, which stays
  bool named_ = false;         // POSIX: a named temporary file, not an unnamed one
  bool marked_ = false;        // Windows: marked for deletion while incomplete
};

// The whole of data, through AtomicWrite.
inline std::optional<IoError> write_file_atomic(const std::string& path, std::string_view data,
                                                std::optional<std::uint32_t> mode) {
  AtomicWrite file;
  if (auto err = file.open(path, mode)) return err;
  if (auto err = file.write(data)) return err;
  return file.commit();
}

// An AtomicWrite opened with the first piece written (so that an output refused before any
// piece never opens its file); after a failure the rest is not written and the first
// failure is kept, for the caller to report once all is done.
struct PieceOutput {
  PieceOutput(const std::string& p, std::optional<std::uint32_t> m) : path(p), mode(m) {}
  const std::string& path;
  std::optional<std::uint32_t> mode;
  AtomicWrite file;
  std::optional<IoError> err;
  bool opened = false;

  void put(std::string_view piece) {
    if (!opened) {
      opened = true;
      err = file.open(path, mode);
    }
    if (!err && !piece.empty()) err = file.write(piece);
  }
};

// Whether AtomicWrite writes into path as a stream (see above) rather than replacing it.
bool written_as_stream(const std::string& path);

// Removes a named temporary file of write_file_atomic still pending when the process is
// asked to end (SIGINT, SIGTERM, SIGHUP), then lets it end.
void install_cleanup_on_signals();

}  // namespace screnc
