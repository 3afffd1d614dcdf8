// Reading and atomically replacing files on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "atomic_file.h"
#include "paths.h"

namespace screnc {
namespace {

// The named temporary file to remove if a signal ends the process; empty when none.
char g_pending[4096];

void on_signal(int sig) {
  if (g_pending[0] != '\0') unlink(g_pending);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void set_pending(const std::string& path) {
  g_pending[0] = '\0';
  if (path.size() < sizeof g_pending) {
    std::memcpy(g_pending + 1, path.c_str() + 1, path.size());  // first byte last
    g_pending[0] = path[0];
  }
}

void clear_pending() { g_pending[0] = '\0'; }

// Read once: nothing in this process changes it, and a serving process asks for every file.
mode_t umask_mode() {
  static const mode_t bits = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
  }();
  return bits;
}

// The folder's name limit, remembered for the last folder asked about: the files of a
// folder come one after another.
std::size_t folder_name_limit(const std::string& dir) {
  static std::string last;
  static std::size_t limit = 0;
  if (limit == 0 || dir != last) {
    limit = name_limit(dir);
    last = dir;
  }
  return limit;
}

// A name for the temporary file: hidden, next to the destination, unlikely to clash, and
// never longer than the folder allows. `tail` goes last (mkstemp's "XXXXXX").
std::string temp_name(const std::string& path, unsigned attempt, std::string_view tail = {}) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  char unique[48];
  static const long pid = static_cast<long>(getpid());
  std::snprintf(unique, sizeof unique, "%ld-%lx-%u", pid,
                static_cast<unsigned long>(ts.tv_nsec), attempt);
  const std::string dir = folder_part(path);
  return join(dir, temp_file_name(name_part(path), std::string(unique).append(tail),
                                   folder_name_limit(dir), name_units()));
}

std::optional<IoError> write_all(int fd, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return last_error("write", path);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return std::nullopt;
}

// A named temporary file beside path, open for writing.
std::optional<IoError> open_named(const std::string& path, int& fd, std::string& temp) {
  temp = temp_name(path, 0, "-XXXXXX");
  set_pending(temp);
  fd = mkstemp(temp.data());
  if (fd < 0) {
    clear_pending();
    temp.clear();
    return last_error("mkstemp", folder_part(path));
  }
  set_pending(temp);
  return std::nullopt;
}

// Gives the unnamed file fd a temporary name; `unsupported` when the system cannot.
std::optional<IoError> link_unnamed(int fd, const std::string& path, std::string& temp,
                                    bool& unsupported) {
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  for (unsigned attempt = 0;; ++attempt) {
    const std::string name = temp_name(path, attempt);
    set_pending(name);
    if (linkat(AT_FDCWD, proc, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temp = name;
      return std::nullopt;
    }
    clear_pending();
    if (errno == EEXIST && attempt < 100) continue;
    if (errno == ENOENT || errno == EPERM || errno == EOPNOTSUPP) {
      unsupported = true;
      return std::nullopt;
    }
    return last_error("linkat", name);
  }
}

// Gives the unnamed file fd the destination's own name when nothing has it yet: whole at
// once, as a rename would make it, for one call fewer. False when the name is taken (the
// file then goes through a temporary name and a rename) or the system cannot do it.
bool link_as_destination(int fd, const std::string& path) {
  char proc[64];
  std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
  return linkat(AT_FDCWD, proc, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Where an unnamed file cannot get a name: its content copied to a named one, which
// then takes fd's place.
std::optional<IoError> copy_to_named(int& fd, const std::string& path, std::string& temp) {
  const int from = fd;
  std::optional<IoError> err = open_named(path, fd, temp);
  char buf[1 << 16];
  for (off_t at = 0; !err;) {
    const ssize_t n = pread(from, buf, sizeof buf, at);
    if (n == 0) break;
    if (n < 0) {
      if (errno != EINTR) err = last_error("read", path);
      continue;
    }
    err = write_all(fd, std::string_view(buf, static_cast<std::size_t>(n)), path);
    at += n;
  }
  close(from);
  return err;
}

// Where path leads, through links, when it reaches the system's own folder of process
// entries (/proc on Linux): /dev/stdout leads to /proc/self/fd/1, the link that stands for
// this process's descriptor 1. Nothing there is a name of a file that could be replaced.
struct ProcessEntry {
  bool reached = false;
  int own_fd = -1;  // the descriptor of this process it names, if any
};

// The descriptor that the entry `name` of the folder `dir` (in /proc) names, when `dir`
// is this process's own descriptor folder; else -1.
int own_descriptor(const std::string& dir, const std::string& name) {
  char real[4096];
  if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos || name.size() > 9 ||
      realpath(dir.c_str(), real) == nullptr)
    return -1;
  const std::string self = "/proc/" + std::to_string(getpid());
  const std::string folder = real;
  const bool own = folder == self + "/fd" ||
                   (folder.starts_with(self + "/task/") && folder.ends_with("/fd"));
  return own ? std::stoi(name) : -1;
}

ProcessEntry process_entry(const std::string& path) {
  ProcessEntry entry;
#ifdef __linux__
  std::string at = path;
  for (int hop = 0; hop < 40; ++hop) {
    const std::string dir = folder_part(at);
    struct statfs where {};
    if (statfs(dir.c_str(), &where) == 0 && where.f_type == PROC_SUPER_MAGIC) {
      entry.reached = true;
      entry.own_fd = own_descriptor(dir, name_part(at));
      return entry;
    }
    struct stat st {};
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return entry;
    char target[4096];
    const ssize_t n = readlink(at.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return entry;
    const std::string to(target, static_cast<std::size_t>(n));
    at = to[0] == '/' ? to : join(dir, to);
  }
#else
  (void)path;
#endif
  return entry;
}

// The destination itself, opened to be written into: this process's own descriptor when
// path names one (so that it writes where that descriptor stands, as a shell's
// redirection to /dev/stdout does), else the file the path leads to. O_NOCTTY: a terminal
// named as the destination never becomes this process's terminal. A FIFO waits for its
// reader, as a shell's redirection does.
std::optional<IoError> open_stream(const std::string& path, int& fd) {
  const ProcessEntry entry = process_entry(path);
  if (entry.own_fd >= 0) {
    fd = fcntl(entry.own_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return last_error("dup", path);
    return std::nullopt;
  }
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (entry.reached ? O_APPEND : 0));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return last_error("open", path);
  return std::nullopt;
}

}  // namespace

bool written_as_stream(const std::string& path) {
  if (process_entry(path).reached) return true;  // even when it leads nowhere now
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
}

std::optional<IoError> AtomicWrite::open(const std::string& path,
                                         std::optional<std::uint32_t> mode) {
  discard();
  path_ = path;
  mode_ = mode;
  stream_ = written_as_stream(path);
  if (stream_) {
    int fd = -1;
    auto err = open_stream(path, fd);
    handle_ = fd;
    return err;
  }
#ifdef O_TMPFILE
  handle_ = ::open(folder_part(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (handle_ >= 0) {
    named_ = false;
    return std::nullopt;
  }
#endif
  named_ = true;
  int fd = -1;
  auto err = open_named(path_, fd, temp_);
  handle_ = fd;
  return err;
}

std::optional<IoError> AtomicWrite::write(std::string_view data) {
  return write_all(static_cast<int>(handle_), data, path_);
}

std::optional<IoError> AtomicWrite::commit() {
  std::optional<IoError> err;
  if (stream_) {  // the destination itself: no permissions set, nothing renamed
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    if (close(fd) != 0) err = last_error("close", path_);
    return err;
  }
  const mode_t bits = mode_ ? static_cast<mode_t>(*mode_) : umask_mode();
  int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (fchmod(fd, bits) != 0) err = last_error("fchmod", named_ ? temp_ : path_);
  const bool direct = !err && !named_ && link_as_destination(fd, path_);
  if (!err && !named_ && !direct) {
    bool unsupported = false;
    err = link_unnamed(fd, path_, temp_, unsupported);
    if (!err && unsupported) {
      named_ = true;
      err = copy_to_named(fd, path_, temp_);
      if (!err && fchmod(fd, bits) != 0) err = last_error("fchmod", temp_);
    }
  }
  if (fd >= 0 && close(fd) != 0 && !err) {
    err = last_error("close", named_ ? temp_ : path_);
    if (direct) unlink(path_.c_str());  // it took the name whole, but may not stay
  }
  if (!err && !temp_.empty() && rename(temp_.c_str(), path_.c_str()) != 0) err = last_error("rename", path_);
  if (!err) temp_.clear();  // it is the destination now
  discard();
  return err;
}

void AtomicWrite::discard() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  clear_pending();
}

void install_cleanup_on_signals() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGBUS}) std::signal(sig, on_signal);
}

}  // namespace screnc
