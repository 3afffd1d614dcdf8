#include "run/util/non_regular.h"
#include "run/util/fs_ops.h"

#include "run/util/native_path.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

namespace fs = std::filesystem;

namespace {

Status NotRegular(const char* call, const fs::path& path) {
  return Status::Fail("not a regular file (" + std::string(call) + " " + ToDisplayPath(path) + ")");
}

// Where `path` leads, through links, when it reaches the system's own folder of process
// entries (/proc on Linux): /dev/stdout leads to /proc/self/fd/1, the link that stands for
// this process's descriptor 1. Nothing there is a name of a file that could be replaced.
struct ProcessEntry {
  bool reached = false;
  int ownFd = -1;  // the descriptor of this process it names, if any
};

// The descriptor the entry `name` of `folder` (in /proc) names when `folder` is this
// process's own descriptor folder; else -1.
int OwnDescriptor(const fs::path& folder, const std::string& name) {
  if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos) return -1;
  std::error_code ec;
  const fs::path real = fs::canonical(folder, ec);
  const fs::path self = fs::path("/proc") / std::to_string(::getpid());
  const bool own = !ec && real.filename() == "fd" &&
                   (real.parent_path() == self || real.parent_path().parent_path() == self / "task");
  return own ? std::stoi(name) : -1;
}

ProcessEntry ProcessEntryOf(const fs::path& path) {
  ProcessEntry entry;
#ifdef __linux__
  fs::path at = path;
  for (int hop = 0; hop < 40; ++hop) {
    const fs::path folder = at.parent_path().empty() ? fs::path(".") : at.parent_path();
    struct statfs where;
    if (::statfs(folder.c_str(), &where) == 0 && where.f_type == PROC_SUPER_MAGIC) {
      entry.reached = true;
      entry.ownFd = OwnDescriptor(folder, at.filename().string());
      return entry;
    }
    struct stat st;
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return entry;
    char target[4096];
    const ssize_t n = ::readlink(at.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return entry;
    at = folder / fs::path(std::string(target, static_cast<size_t>(n)));  // an absolute target replaces
  }
#else
  (void)path;
#endif
  return entry;
}

}  // namespace

Status ReadRegularFile(const fs::path& path, std::string& text, bool& missing) {
  missing = false;
  text.clear();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    const int err = errno;
    struct stat own;
    if ((err == ENOENT || err == ENOTDIR) && ::lstat(path.c_str(), &own) != 0) {
      missing = true;  // no entry at all; a link that leads nowhere is no rule file
      return Status::Ok();
    }
    return Status::FromErrno(err, "stat", path);
  }
  if (!S_ISREG(st.st_mode)) return NotRegular("stat", path);
  return ReadRegularFile(path, text);  // which refuses a FIFO put in its place since
}

bool IsStreamTarget(const fs::path& path) {
  if (ProcessEntryOf(path).reached) return true;  // even when it leads nowhere now
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
}

Status WriteIntoStream(const fs::path& path, std::string_view content) {
  // This process's own descriptor when the path names one (/dev/stdout): written where it
  // stands, after what the program wrote there before, as a shell's redirection does.
  const ProcessEntry entry = ProcessEntryOf(path);
  int fd = -1;
  if (entry.ownFd >= 0) {
    fd = ::fcntl(entry.ownFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return Status::FromErrno(errno, "dup", path);
  } else {
    // A signal that interrupts the open or a write is a stop (the run's signals do not
    // restart calls): not retried, so that a FIFO nobody reads cannot hold the program.
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | (entry.reached ? O_APPEND : 0));
    if (fd < 0) return Status::FromErrno(errno, "open", path);
  }
  Status status = Status::Ok();
  for (size_t done = 0; done < content.size() && status.ok();) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) status = Status::FromErrno(errno, "write", path);
    else done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && status.ok()) status = Status::FromErrno(errno, "close", path);
  return status;
}
