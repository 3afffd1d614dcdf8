#pragma once
// Where this tool keeps what it remembers between runs (never settings, never anything a
// deploy would ship): on Linux $XDG_STATE_HOME, else ~/.local/state; on Windows the
// local application data folder. One implementation per platform (state_dir_posix.cpp,
// state_dir_win.cpp).

#include <filesystem>

// <state folder>/Quillward/manifests, not created; empty when the system names no such
// place (no HOME, say): then nothing is remembered and every run is a full one.
std::filesystem::path ManifestFolder();
