#pragma once
// What the one-file run (basShell_win.cpp) and the serving encoder
// (encoder_session_win.cpp) share on Windows.

#include <windows.h>

// The job every encoder runs in, made once: closing the program's last handle to it (the
// program ending in any way) ends every encoder still running. Null when it cannot be made.
HANDLE EncoderJob();
