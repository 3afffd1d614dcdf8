// A serving encoder on POSIX: posix_spawn with a socket pair as stdin and stdout (sent
// to with MSG_NOSIGNAL, so a server that died is an error, not a SIGPIPE), stderr on a
// pipe of its own, in a process group of its own; the wait polls in slices.
#include "run/encoder/encoder_session.h"

#include "run/encoder/encoder_process_posix.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Reads what is there now; false once the other end has closed.
}  // namespace

struct ServerProcess::Impl {
  pid_t pid = 0;
  int channel = -1;  // our end of the socket pair: requests out, answers in
  int errors = -1;   // the server's stderr
  int exitFd = -1;
  bool ended = false;
  bool gone = false;  // a request could not be sent: the server has ended
  int status = 0;
  std::string answers, kept;
  std::string outbox;  // requests not written yet

  ~Impl() {
    CloseFd(channel);
    CloseFd(errors);
    CloseFd(exitFd);
  }
  bool Reaped() {
    if (ended) return true;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    ended = r == pid || (r < 0 && errno == ECHILD);
    if (ended) NoteEncoderEnded(pid);
    return ended;
  }
  // Waits up to `ms` for the process to end by itself.
  bool EndsWithin(int ms) {
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
    while (!Reaped()) {
      if (Clock::now() >= until) return false;
      pollfd p{exitFd, POLLIN, 0};
      ::poll(&p, exitFd >= 0 ? 1 : 0, exitFd >= 0 ? 10 : 2);
    }
    return true;
  }
  void Kill() {
    if (Reaped()) return;
    ::kill(-pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ended = true;
    NoteEncoderEnded(pid);
  }
  bool Handshake();
};

bool ServerProcess::Impl::Handshake() {
  if (::send(channel, kServeHello, kServeHelloSize, MSG_NOSIGNAL) != static_cast<ssize_t>(kServeHelloSize)) return false;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kHandshakeMs);
  while (answers.size() < kServeHelloSize) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{channel, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
    if (!ReadAvailable(channel, answers, false) && answers.size() < kServeHelloSize) return false;
    if (answers.compare(0, answers.size(), kServeHello, std::min(answers.size(), kServeHelloSize)) != 0) return false;
  }
  answers.erase(0, kServeHelloSize);
  return answers.empty();
}

ServerProcess::ServerProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<ServerProcess> ServerProcess::Start(const std::filesystem::path& program) {
  int pair[2], errPipe[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return nullptr;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(pair[0]);
    ::close(pair[1]);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->channel = pair[0];
  impl->errors = errPipe[0];

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
  posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  SetEncoderSpawnAttributes(attributes);
  char flag[] = "--serve";
  char* argv[] = {const_cast<char*>(program.c_str()), flag, nullptr};
  const int rc = posix_spawn(&impl->pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pair[1]);
  ::close(errPipe[1]);
  if (rc != 0) {
    impl->ended = true;
    return nullptr;
  }
  NoteEncoderStarted(impl->pid);
  impl->exitFd = ExitDescriptor(impl->pid);
  ::fcntl(impl->channel, F_SETFL, ::fcntl(impl->channel, F_GETFL) | O_NONBLOCK);
  ::fcntl(impl->errors, F_SETFL, ::fcntl(impl->errors, F_GETFL) | O_NONBLOCK);
  if (!impl->Handshake()) {
    impl->Kill();
    return nullptr;
  }
  return std::make_unique<ServerProcess>(std::move(impl));
}

bool ProbeServing(const std::filesystem::path& program, const std::filesystem::path& folder) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int moved = posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  SetEncoderSpawnAttributes(attributes);
  char flag[] = "--serve";
  char* argv[] = {const_cast<char*>(program.c_str()), flag, nullptr};
  pid_t pid = 0;
  const int rc = moved != 0 ? moved : posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    return false;
  }
  NoteEncoderStarted(pid);
  // Its output up to its end, or as much as comes within the limit.
  std::string said;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kHandshakeMs);
  for (bool open = true; open && said.size() <= kServeHelloSize;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[64];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n > 0) said.append(buffer, static_cast<std::size_t>(n));
    else open = n < 0 && errno == EINTR;
  }
  ::close(out[0]);
  // The group as well: whatever a foreign program started goes with it. Not reaped yet,
  // the process keeps its id, so the group cannot be another's.
  ::kill(-pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  NoteEncoderEnded(pid);
  return said == std::string_view(kServeHello, kServeHelloSize);
}

ServerProcess::~ServerProcess() {
  if (!impl_->ended) {
    CloseFd(impl_->channel);  // the end of input: an idle server ends with status 0
    if (!impl_->EndsWithin(1000)) impl_->Kill();
  }
}

bool ServerProcess::Ended() const { return impl_->ended; }

void ServerProcess::Send(const std::vector<std::string>& arguments) { impl_->outbox += RequestFrame(arguments); }

void ServerProcess::Flush() {
  Impl& s = *impl_;
  for (std::size_t sent = 0; sent < s.outbox.size() && !s.gone;) {
    const ssize_t n = ::send(s.channel, s.outbox.data() + sent, s.outbox.size() - sent, MSG_NOSIGNAL);
    if (n > 0) sent += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EAGAIN) {
      pollfd p{s.channel, POLLOUT, 0};
      ::poll(&p, 1, kEncoderSliceMs);
    } else if (n < 0 && errno != EINTR) {
      s.gone = true;  // the server is gone; what ended it shows in Await
    }
  }
  s.outbox.clear();
}

ProcessOutcome ServerProcess::Await(const WaitControl& control) {
  Flush();
  Impl& s = *impl_;
  s.kept.clear();
  // The channel still carries answers, also when a request could not be sent: a server
  // that ended may have answered the files before the one it ended on.
  bool open = true;
  {
    std::uint32_t status = 0;
    std::string text;
    if (TakeAnswer(s.answers, status, text)) return AnswerOutcome(status, text);  // came with an earlier one
  }

  EncoderDeadline deadline(control, Clock::now());
  for (;;) {
    pollfd fds[3];
    nfds_t n = 0;
    if (open) fds[n++] = {s.channel, POLLIN, 0};
    if (s.errors >= 0) fds[n++] = {s.errors, POLLIN, 0};
    if (s.exitFd >= 0) fds[n++] = {s.exitFd, POLLIN, 0};
    const int timeout = !open && s.exitFd < 0 ? 5 : kEncoderSliceMs;
    if (::poll(fds, n, timeout) < 0 && errno != EINTR) break;
    if (open) open = ReadAvailable(s.channel, s.answers, false);
    if (s.errors >= 0 && !ReadAvailable(s.errors, s.kept, true)) CloseFd(s.errors);
    const bool ending = deadline.EndedBy() != ProcessOutcome::How::Exited;
    std::uint32_t status = 0;
    std::string text;
    if (!ending && TakeAnswer(s.answers, status, text)) return AnswerOutcome(status, text);
    if ((!open || ending) && s.Reaped()) break;
    Enforce(deadline.Next(Clock::now()), s.pid);
  }
  if (!s.ended) s.Kill();
  if (s.errors >= 0) ReadAvailable(s.errors, s.kept, true);

  // Ended without an answer: never a success, whatever its status.
  ProcessOutcome out = OutcomeOfExit(ExitStatusOfWait(s.status), deadline.EndedBy(), control.timeoutSeconds, true);
  out.errorText = LastOutputLine(s.kept);
  return out;
}
