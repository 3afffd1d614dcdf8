#pragma once
// Starting the encoder: hidden, stdin, stdout and stderr on the null device, waited for.

#include "encoder_command.h"
#include <QString>

struct ProcessOutcome {
  enum class How {
    Exited,         // `code` is the exit code
    CouldNotStart,  // `code` is the system's error number, `reason` says why
    Killed,         // `code` is the signal number (POSIX) or the exception code (Windows)
  };
  How how = How::CouldNotStart;
  int code = 0;
  QString reason;

  bool Succeeded() const { return how == How::Exited && code == 0; }
};

// "screnc" on POSIX, "screnc.exe" on Windows.
const QString& EncoderFileName();

// Starts `command` and returns when its process has ended. POSIX: `command.program` with
// `command.arguments`, in a process group of its own (so a Ctrl-C meant for the run does
// not reach the encoder). Windows: `command.text`, hidden, with no console window.
// Never throws; a program that cannot be started is an ordinary outcome.
ProcessOutcome RunHiddenAndWait(const EncoderCommand& command);
