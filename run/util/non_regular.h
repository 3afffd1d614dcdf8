#pragma once
// Files that are not regular files, where a run reads or writes a file of its own choosing
// (an ignore file in the source, the report). One implementation per platform
// (non_regular_posix.cpp, non_regular_win.cpp).
//
// Reading: a FIFO, a device or a folder is never read as text, so no read can block the
// run: the type is looked at before the file is opened (without waiting for a writer)
// and again on what was opened.
//
// Writing: a destination that exists and is not a regular file (a device such as
// /dev/null, a FIFO, a socket, a console or pipe on Windows, or a link to one) is written
// into as a stream, as `cp` does, never renamed over or removed. So is anything reached
// through /proc on Linux, whatever the file behind it: /dev/stdout, /dev/fd/N and
// /proc/self/fd/N are written through this process's own descriptor N, where it stands
// (as a shell's redirection does), so that the log before the report stays before it.

#include "run/util/status.h"

#include <filesystem>
#include <string>
#include <string_view>

// ReadRegularFile of fs_ops.h, for a file that may be absent: `missing` is set, and
// the result is Ok, when there is no entry of that name at all. A link that leads nowhere,
// a folder, FIFO, socket or device is a failure ("not a regular file (stat PATH)"), as is
// any error of the system.
Status ReadRegularFile(const std::filesystem::path& path, std::string& text, bool& missing);

// Whether `path` is to be written into as a stream (see above).
bool IsStreamTarget(const std::filesystem::path& path);

// `content` written into the stream `path`. A FIFO waits for its reader, as a shell's
// redirection does; a stop signal (Ctrl-C, SIGTERM) ends the wait and fails the write.
Status WriteIntoStream(const std::filesystem::path& path, std::string_view content);
