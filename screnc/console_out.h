// Writing the program's UTF-8 text to stdout or stderr: bytes as they are on POSIX; on
// Windows as characters to a console window (whatever its code page), as bytes to a
// pipe or file.
#pragma once

#include <cstdio>
#include <string_view>

namespace screnc {

void write_text(std::FILE* stream, std::string_view text);

// Puts a standard stream in binary mode, so that every byte passes unchanged (Windows;
// nothing to do on POSIX).
void set_binary(std::FILE* stream);

}  // namespace screnc
