// screnc: encodes the script in web pages and script files into the classic
// "#@~^...^#~@" blocks that JScript.Encode and VBScript.Encode run.
//
// The program without its entry point: main_posix.cpp and main_win.cpp hand it the
// arguments as UTF-8 (on Windows from the wide command line, never the ANSI code page).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace screnc {

// Runs the command line argv[1..]; returns the exit status: 0 when at least one file
// was encoded and written, else 255 (the classic tool's -1).
// With `capture`, the messages for stdout and stderr are appended there instead, in the
// order they would have been written.
int run_program(const std::vector<std::string_view>& args, std::string* capture = nullptr);

// The whole program for argv[1..] as the entry points hand it over: `--serve` alone
// serves requests on stdin and stdout, `--decode ...` decodes, anything else encodes.
// Standard output is flushed before the status is returned.
int run_main(const std::vector<std::string_view>& args);

}  // namespace screnc
