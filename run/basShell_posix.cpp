// Starting the encoder on POSIX: posix_spawn with an argument vector, never a shell.
#include "basShell.h"

#include "paths.h"
#include "status.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

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

int Configure(SpawnSetup& s) {
  if (int rc = posix_spawn_file_actions_addopen(&s.actions, 0, "/dev/null", O_RDONLY, 0)) return rc;
  if (int rc = posix_spawn_file_actions_addopen(&s.actions, 1, "/dev/null", O_WRONLY, 0)) return rc;
  if (int rc = posix_spawn_file_actions_adddup2(&s.actions, 1, 2)) return rc;

  // Own process group: the terminal's Ctrl-C reaches the run, which stops after the
  // current file, and not the encoder working on that file.
  sigset_t defaults, none;
  sigemptyset(&defaults);
  for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGPIPE, SIGHUP}) sigaddset(&defaults, sig);
  sigemptyset(&none);
  if (int rc = posix_spawnattr_setsigdefault(&s.attributes, &defaults)) return rc;
  if (int rc = posix_spawnattr_setsigmask(&s.attributes, &none)) return rc;
  if (int rc = posix_spawnattr_setpgroup(&s.attributes, 0)) return rc;
  return posix_spawnattr_setflags(
      &s.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

ProcessOutcome CouldNotStart(int err, const std::filesystem::path& program) {
  ProcessOutcome out;
  out.how = ProcessOutcome::How::CouldNotStart;
  out.code = err;
  out.reason = err == ENOENT
                   ? QStringLiteral("encoder not found (posix_spawn %1)").arg(ToDisplayPath(program))
                   : QStringLiteral("encoder could not start: ") +
                         Status::FromErrno(err, "posix_spawn", program).reason();
  return out;
}

}  // namespace

const QString& EncoderFileName() {
  static const QString name = QStringLiteral("screnc");
  return name;
}

ProcessOutcome RunHiddenAndWait(const EncoderCommand& command) {
  SpawnSetup setup;
  if (int rc = Configure(setup)) return CouldNotStart(rc, command.program);

  std::vector<char*> argv;
  argv.reserve(command.arguments.size() + 2);
  argv.push_back(const_cast<char*>(command.program.c_str()));
  for (const auto& arg : command.arguments) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int rc = posix_spawn(&pid, command.program.c_str(), &setup.actions, &setup.attributes,
                             argv.data(), environ);
  if (rc != 0) return CouldNotStart(rc, command.program);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return CouldNotStart(errno, command.program);
  }
  ProcessOutcome out;
  if (WIFSIGNALED(status)) {
    out.how = ProcessOutcome::How::Killed;
    out.code = WTERMSIG(status);
    out.reason = QStringLiteral("encoder killed by signal %1").arg(out.code);
  } else {
    out.how = ProcessOutcome::How::Exited;
    out.code = WEXITSTATUS(status);
    if (out.code != 0) out.reason = QStringLiteral("encoder exit code %1").arg(out.code);
  }
  return out;
}
