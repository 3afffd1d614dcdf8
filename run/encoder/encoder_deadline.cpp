#include "run/encoder/encoder_deadline.h"

#include <cstdio>

EncoderDeadline::EncoderDeadline(const WaitControl& control, Clock::time_point started)
    : control_(control), started_(started), polled_(started) {}

EncoderAction EncoderDeadline::Next(Clock::time_point now) {
  if (!stopAt_ && control_.poll && now - polled_ >= std::chrono::milliseconds(kEncoderSliceMs)) {
    polled_ = now;
    if (control_.poll()) stopAt_ = now;
  }
  if (terminatedAt_) {
    return now - *terminatedAt_ >= std::chrono::milliseconds(control_.killGraceMs) ? EncoderAction::Kill
                                                                                  : EncoderAction::Wait;
  }
  const bool graceOver = stopAt_ && now - *stopAt_ >= std::chrono::milliseconds(control_.stopGraceMs);
  const bool timedOut = control_.timeoutSeconds > 0 && now - started_ >= std::chrono::seconds(control_.timeoutSeconds);
  if (!graceOver && !timedOut) return EncoderAction::Wait;
  endedBy_ = graceOver ? ProcessOutcome::How::Stopped : ProcessOutcome::How::TimedOut;
  terminatedAt_ = now;
  return EncoderAction::Terminate;
}

ExitStatus ExitStatusOfCode(std::uint32_t code) {
  const bool exception = code >= 0xC0000000u && code != 0xFFFFFFFFu;
  return {exception ? ExitStatus::Kind::Exception : ExitStatus::Kind::Code, code};
}

std::string EndedByUsReason(ProcessOutcome::How how, int timeoutSeconds) {
  return how == ProcessOutcome::How::Stopped ? "stopped: encoder ended"
                                             : "encoder timed out after " + std::to_string(timeoutSeconds) + " s";
}

ProcessOutcome OutcomeOfExit(ExitStatus status, ProcessOutcome::How endedBy, int timeoutSeconds, bool answerDue) {
  ProcessOutcome out;
  out.code = static_cast<int>(status.value);
  if (endedBy == ProcessOutcome::How::Stopped || endedBy == ProcessOutcome::How::TimedOut) {
    out.how = endedBy;
    out.reason = EndedByUsReason(endedBy, timeoutSeconds);
    return out;
  }
  switch (status.kind) {
    case ExitStatus::Kind::Signal:
      out.how = ProcessOutcome::How::Killed;
      out.reason = "encoder killed by signal " + std::to_string(out.code);
      break;
    case ExitStatus::Kind::Exception: {
      out.how = ProcessOutcome::How::Killed;
      char hex[9];
      std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(status.value));
      out.reason = std::string("encoder ended by exception 0x") + hex;
      break;
    }
    case ExitStatus::Kind::Code:
      out.how = ProcessOutcome::How::Exited;
      if (out.code != 0 || answerDue) out.reason = "encoder exit code " + std::to_string(out.code);
      break;
  }
  return out;
}
