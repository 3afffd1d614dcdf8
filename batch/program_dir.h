#pragma once
// Where this program's own file is: the folder the encoder is looked for in.

#include <filesystem>

// The folder of the running program, links resolved, ending in a separator. `argv0` is
// the fallback where the system cannot say. One implementation per platform.
std::filesystem::path ProgramDirectory(const char* argv0);
