#pragma once
// What the one-file run (basShell_win.cpp) and the serving encoder
// (encoder_session_win.cpp) share on Windows.

#include "run/encoder/encoder_deadline.h"

#include <windows.h>

// The job every encoder runs in, made once: closing the program's last handle to it (the
// program ending in any way) ends every encoder still running. Null when it cannot be made.
HANDLE EncoderJob();

// Carries out what the deadline says on `process`: there is no gentler way to end a
// program without a console than TerminateProcess, for the request and the kill alike.
inline void Enforce(EncoderAction action, HANDLE process) {
  if (action != EncoderAction::Wait) TerminateProcess(process, 1);
}
