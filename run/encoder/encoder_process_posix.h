#pragma once
// What starting and following an encoder process have in common on POSIX: the one-file
// run (basShell_posix.cpp) and the serving encoder (encoder_session_posix.cpp).

#include "run/encoder/encoder_deadline.h"

#include <cstddef>
#include <spawn.h>
#include <string>
#include <sys/types.h>

// How much of an encoder's own output is kept, for its last line.
inline constexpr std::size_t kKeptEncoderOutput = 4096;

// The attributes every encoder is started with: a process group of its own (the
// terminal's Ctrl-C reaches the run, which stops after the current file, and not the
// encoder), the default action for the stop signals and none blocked. 0 or an errno.
int SetEncoderSpawnAttributes(posix_spawnattr_t& attributes);

// What the system's wait status says of how a process ended.
ExitStatus ExitStatusOfWait(int status);

// Carries out what the deadline says on the process group `group`.
void Enforce(EncoderAction action, pid_t group);

// A descriptor that becomes readable when `pid` ends, where the system has one; else -1.
int ExitDescriptor(pid_t pid);

// Appends what the non-blocking `fd` holds now to `into`; with `keepTail`, only about the
// last kKeptEncoderOutput bytes are kept. True while the other end is open; false at its
// end, or on an error (a server that ended with requests unread resets a socket, once
// its answers have been read).
bool ReadAvailable(int fd, std::string& into, bool keepTail);
