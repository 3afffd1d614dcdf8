#pragma once
// Where Help, Help finds the README's section on the window.

#include <filesystem>
#include <string>

inline const std::string kHelpSection = "quillward";  // the README's heading "### quillward"

// The README's section on the window as a file:// URL with its #fragment: the README
// beside the program (the Windows zip and install), in ../../share/doc/quillward (an
// installed package) or two folders up (a build folder). Empty when none is there.
std::string HelpUrl(const std::filesystem::path& appDir);
// `path` as a file:// URL: "/a b" gives "file:///a%20b", "C:\a" gives "file:///C:/a".
std::string FileUrl(const std::string& path);
