#pragma once
// Starting the encoder: hidden, stdin on the null device, stdout and stderr read back
// through a pipe (for the encoder's own error text), waited for without ever blocking
// for long: the caller's events run every slice, a stop request or the time limit ends
// the encoder, and no encoder outlives the program.

#include "run/encoder/encoder_command.h"

#include <cstdint>
#include <functional>
#include <string>

struct ProcessOutcome {
  enum class How {
    Exited,         // `code` is the exit code
    CouldNotStart,  // `code` is the system's error number, `reason` says why
    Killed,         // `code` is the signal number (POSIX) or the exception code (Windows)
    Stopped,        // ended by us after a stop request (the grace time ran out)
    TimedOut,       // ended by us after the time limit
  };
  How how = How::CouldNotStart;
  int code = 0;
  std::string reason;     // empty on success; "encoder exit code 1", "encoder timed out after 5 s"
  std::string errorText;  // the last non-empty line the encoder wrote, at most 200 characters

  // Exited with 0, and nothing said against it (a server that ended with 0 before it
  // answered the file in hand has a reason).
  bool Succeeded() const { return how == How::Exited && code == 0 && reason.empty(); }
  // `reason`, followed by ": " and the encoder's own text when it wrote one.
  std::string Explained() const {
    return errorText.empty() ? reason : reason + ": " + errorText;
  }
};

// How a wait may be cut short.
struct WaitControl {
  // Called about every 50 ms while the encoder runs (the window's events run there);
  // returns true once a stop is requested.
  std::function<bool()> poll;
  int timeoutSeconds = 0;    // the encoder is ended after this long; 0: no limit
  int stopGraceMs = 2000;    // after a stop request the file may still finish this long
  int killGraceMs = 2000;    // after the request to end, the encoder is killed this late
};

// The last non-empty line of what the encoder wrote (UTF-8), as one line of the log:
// control characters as blanks, at most 200 UTF-16 units, trimmed.
std::string LastOutputLine(const std::string& output);

// "screnc" on POSIX, "screnc.exe" on Windows.
const std::string& EncoderFileName();

// Why `program` could not be started as the encoder ("not found", "not executable"), or
// an empty text when it looks startable. Checked before a run writes anything.
std::string EncoderProblem(const std::filesystem::path& program);

// Starts `command` and returns when its process has ended. POSIX: `command.program` with
// `command.arguments`, in a process group of its own (so a Ctrl-C meant for the run does
// not reach the encoder). Windows: `command.nativeText`, hidden, with no console window,
// in a job object that ends it with the program. Never throws; a program that cannot be
// started is an ordinary outcome.
ProcessOutcome RunHiddenAndWait(const EncoderCommand& command, const WaitControl& control = {});

// Ends every encoder running now (one per worker: per-file processes and servers alike),
// at once. Safe to call from a signal handler: a program about to end on a second Ctrl-C
// leaves no encoder behind.
void KillRunningEncoder();

// The encoders KillRunningEncoder reaches: each noted when started and forgotten when
// reaped. POSIX: the process group id; Windows: the process handle. Signal-safe.
void NoteEncoderStarted(std::intptr_t process);
void NoteEncoderEnded(std::intptr_t process);
