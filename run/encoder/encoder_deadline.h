#pragma once
// The rule for a running encoder, the same on every platform: the caller's events run
// once a slice; after a stop request the file may still finish for the stop grace, and
// the time limit counts from the start; either one asks the encoder to end, and one
// still there after the kill grace is killed. Then what the way it ended means for the
// file. The platform parts (basShell_*.cpp, encoder_session_*.cpp) only wait, read and
// signal: after each slice they ask the deadline what to do.

#include "run/encoder/basShell.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// The wait's slice: the caller's events run about this often while an encoder works.
inline constexpr int kEncoderSliceMs = 50;

enum class EncoderAction {
  Wait,       // let it run another slice
  Terminate,  // ask it to end (SIGTERM; on Windows, where nothing is gentler, TerminateProcess)
  Kill,       // it outlived the kill grace: kill it
};

class EncoderDeadline {
public:
  using Clock = std::chrono::steady_clock;
  // `control` must outlive the deadline.
  EncoderDeadline(const WaitControl& control, Clock::time_point started);

  // What to do at `now`, after a slice of waiting: runs the control's poll when a slice
  // has passed since the last one (until it has asked for a stop).
  EncoderAction Next(Clock::time_point now);
  // Stopped or TimedOut once the deadline has asked the encoder to end; Exited before.
  ProcessOutcome::How EndedBy() const { return endedBy_; }

private:
  const WaitControl& control_;
  Clock::time_point started_, polled_;
  std::optional<Clock::time_point> stopAt_, terminatedAt_;
  ProcessOutcome::How endedBy_ = ProcessOutcome::How::Exited;
};

// How a process ended, as the system tells it.
struct ExitStatus {
  enum class Kind {
    Code,       // it exited: `value` is its exit code
    Signal,     // POSIX: `value` is the signal that ended it
    Exception,  // Windows: `value` is the exception code it ended with
  };
  Kind kind = Kind::Code;
  std::uint32_t value = 0;
};

// A Windows exit code: the exception codes (0xC0000000 and up, but not -1, a failure's
// ordinary code) are exceptions, the rest exit codes.
ExitStatus ExitStatusOfCode(std::uint32_t code);

// The outcome of an encoder that has ended: ended by us (`endedBy` Stopped or TimedOut,
// after `timeoutSeconds`), killed, or exited with its code. `answerDue`: a serving encoder
// that ended without answering the file in hand, never a success whatever its status.
ProcessOutcome OutcomeOfExit(ExitStatus status, ProcessOutcome::How endedBy, int timeoutSeconds,
                             bool answerDue = false);

// The reason of a file whose encoder we ended ("stopped: encoder ended", "encoder timed
// out after N s").
std::string EndedByUsReason(ProcessOutcome::How how, int timeoutSeconds);
