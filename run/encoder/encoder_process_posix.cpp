#include "run/encoder/encoder_process_posix.h"

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/syscall.h>
#endif

int SetEncoderSpawnAttributes(posix_spawnattr_t& attributes) {
  sigset_t defaults, none;
  sigemptyset(&defaults);
  for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGPIPE, SIGHUP}) sigaddset(&defaults, sig);
  sigemptyset(&none);
  if (int rc = posix_spawnattr_setsigdefault(&attributes, &defaults)) return rc;
  if (int rc = posix_spawnattr_setsigmask(&attributes, &none)) return rc;
  if (int rc = posix_spawnattr_setpgroup(&attributes, 0)) return rc;
  return posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

ExitStatus ExitStatusOfWait(int status) {
  if (WIFSIGNALED(status)) return {ExitStatus::Kind::Signal, static_cast<std::uint32_t>(WTERMSIG(status))};
  return {ExitStatus::Kind::Code, static_cast<std::uint32_t>(WEXITSTATUS(status))};
}

void Enforce(EncoderAction action, pid_t group) {
  if (action != EncoderAction::Wait) ::kill(-group, action == EncoderAction::Kill ? SIGKILL : SIGTERM);
}

int ExitDescriptor(pid_t pid) {
#if defined(__linux__) && defined(SYS_pidfd_open)
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

bool ReadAvailable(int fd, std::string& into, bool keepTail) {
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
      if (keepTail && into.size() > 2 * kKeptEncoderOutput) into.erase(0, into.size() - kKeptEncoderOutput);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);  // nothing more for now
  }
}
