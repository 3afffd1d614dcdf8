#include "run/redeploy/deploy_lock.h"

#include "run/util/native_path.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The process id written in the lock file, 0 when there is none (yet).
unsigned long HolderOf(int fd) {
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return 0;
  return std::strtoul(text, nullptr, 10);
}

}  // namespace

DeployLock::~DeployLock() { ::close(static_cast<int>(handle_)); }  // the lock goes with it

DeployLock::Attempt DeployLock::TryTake(const fs::path& file) {
  Attempt attempt;
  // O_NONBLOCK: a FIFO in the lock's place must not block the run; it is refused below.
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) {
    attempt.problem = Status::FromErrno(errno, "open", file);
    return attempt;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    attempt.problem = Status::Fail("not a regular file (open " + ToDisplayPath(file) + ")");
    ::close(fd);
    return attempt;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    if (err == EWOULDBLOCK) {
      attempt.result = Result::Busy;
      attempt.holder = HolderOf(fd);
    } else {
      attempt.problem = Status::FromErrno(err, "flock", file);
    }
    ::close(fd);
    return attempt;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  // The id is for the message of a run that waits: a failure to write it is no failure.
  if (::ftruncate(fd, 0) == 0) {
    const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
    (void)written;
  }
  attempt.result = Result::Held;
  attempt.lock.reset(new DeployLock(fd));
  return attempt;
}
