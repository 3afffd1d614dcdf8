// Starting the encoder on POSIX: posix_spawn with an argument vector, never a shell;
// the wait polls the encoder's output pipe and its exit in slices.
#include "run/encoder/basShell.h"

#include "run/encoder/encoder_process_posix.h"

#include "run/util/native_path.h"
#include "run/util/status.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Process groups of the encoders running now, one slot each.
constexpr size_t kSlots = 256;
std::atomic<pid_t> g_running[kSlots];

// Frees the spawn attributes on every way out.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

class Fd {
public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
private:
  int fd_;
};

int Configure(SpawnSetup& s, int outputFd) {
  if (int rc = posix_spawn_file_actions_addopen(&s.actions, 0, "/dev/null", O_RDONLY, 0)) return rc;
  if (int rc = posix_spawn_file_actions_adddup2(&s.actions, outputFd, 1)) return rc;
  if (int rc = posix_spawn_file_actions_adddup2(&s.actions, outputFd, 2)) return rc;
  return SetEncoderSpawnAttributes(s.attributes);
}

ProcessOutcome CouldNotStart(int err, const std::filesystem::path& program) {
  ProcessOutcome out;
  out.how = ProcessOutcome::How::CouldNotStart;
  out.code = err;
  out.reason = err == ENOENT ? "encoder not found (posix_spawn " + ToDisplayPath(program) + ")"
                             : "encoder could not start: " + Status::FromErrno(err, "posix_spawn", program).reason();
  return out;
}

// Follows one child until it has ended: reads its output, runs the caller's poll, and
// ends it as the deadline says (a stop request's grace time over, or the time limit).
class ChildWatch {
public:
  ChildWatch(pid_t pid, int outputFd, const WaitControl& control)
      : pid_(pid), output_(outputFd), exit_(ExitDescriptor(pid)), control_(control),
        deadline_(control, Clock::now()) {}

  ProcessOutcome Wait();

private:
  void ReadOutput();
  bool Reaped();

  pid_t pid_;
  Fd output_, exit_;
  const WaitControl& control_;
  EncoderDeadline deadline_;
  int status_ = 0;
  std::string kept_;
};

void ChildWatch::ReadOutput() {
  if (!ReadAvailable(output_.get(), kept_, true)) output_.reset();  // every writer has closed it
}

bool ChildWatch::Reaped() {
  const pid_t r = ::waitpid(pid_, &status_, WNOHANG);
  return r == pid_ || (r < 0 && errno == ECHILD);
}

ProcessOutcome ChildWatch::Wait() {
  ::fcntl(output_.get(), F_SETFL, ::fcntl(output_.get(), F_GETFL) | O_NONBLOCK);
  for (;;) {
    pollfd fds[2];
    nfds_t n = 0;
    if (output_.get() >= 0) fds[n++] = {output_.get(), POLLIN, 0};
    if (exit_.get() >= 0) fds[n++] = {exit_.get(), POLLIN, 0};
    // Without an exit descriptor, a closed pipe leaves only the clock: wait briefly.
    const int timeout = exit_.get() < 0 && output_.get() < 0 ? 5 : kEncoderSliceMs;
    if (::poll(fds, n, timeout) < 0 && errno != EINTR) break;
    if (output_.get() >= 0) ReadOutput();
    if (Reaped()) break;
    Enforce(deadline_.Next(Clock::now()), pid_);
  }
  if (output_.get() >= 0) ReadOutput();
  ProcessOutcome out = OutcomeOfExit(ExitStatusOfWait(status_), deadline_.EndedBy(), control_.timeoutSeconds);
  out.errorText = LastOutputLine(kept_);
  return out;
}

}  // namespace

const std::string& EncoderFileName() {
  static const std::string name = "screnc";
  return name;
}

ProcessOutcome RunHiddenAndWait(const EncoderCommand& command, const WaitControl& control) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return CouldNotStart(errno, command.program);
  Fd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);

  SpawnSetup setup;
  if (int rc = Configure(setup, writeEnd.get())) return CouldNotStart(rc, command.program);

  std::vector<char*> argv;
  argv.reserve(command.arguments.size() + 2);
  argv.push_back(const_cast<char*>(command.program.c_str()));
  for (const auto& arg : command.arguments) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int rc = posix_spawn(&pid, command.program.c_str(), &setup.actions, &setup.attributes,
                             argv.data(), environ);
  if (rc != 0) return CouldNotStart(rc, command.program);
  writeEnd.reset();
  NoteEncoderStarted(pid);
  ChildWatch watch(pid, readEnd.release(), control);
  ProcessOutcome out = watch.Wait();
  NoteEncoderEnded(pid);
  return out;
}

std::string EncoderProblem(const std::filesystem::path& program) {
  struct stat st;
  if (::stat(program.c_str(), &st) != 0) return Status::FromErrno(errno, "stat", program).reason();
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  if (::access(program.c_str(), X_OK) != 0) return Status::FromErrno(errno, "access", program).reason();
  return {};
}

void NoteEncoderStarted(std::intptr_t process) {
  for (auto& slot : g_running) {
    pid_t free = 0;
    if (slot.compare_exchange_strong(free, static_cast<pid_t>(process))) return;
  }
}

void NoteEncoderEnded(std::intptr_t process) {
  for (auto& slot : g_running) {
    pid_t mine = static_cast<pid_t>(process);
    if (slot.compare_exchange_strong(mine, 0)) return;
  }
}

void KillRunningEncoder() {
  for (auto& slot : g_running) {
    const pid_t pid = slot.load();
    if (pid > 0) ::kill(-pid, SIGKILL);
  }
}
