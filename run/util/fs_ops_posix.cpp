#include "run/util/fs_ops.h"

#include "run/util/sha256.h"

#include "run/util/native_path.h"

#include "run/util/text.h"

#include <csignal>
#include <fstream>
#include <limits>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace fs = std::filesystem;

namespace {

// Closes a descriptor on every way out.
class Fd {
public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { if (fd_ >= 0) ::close(fd_); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { int fd = fd_; fd_ = -1; return fd; }
private:
  int fd_;
};

long long Nanoseconds(const timespec& t) {
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

FileStamp StampOfStat(const struct stat& st) {
  FileStamp s;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = static_cast<unsigned long long>(st.st_size);
  s.modifiedNs = Nanoseconds(st.st_mtim);
  s.changedNs = Nanoseconds(st.st_ctim);
  return s;
}

FolderEntry::Type TypeOfLink(const fs::path& full, std::string& reason) {
  struct stat target;
  if (::stat(full.c_str(), &target) != 0) {
    reason = Status::FromErrno(errno, "stat", full).reason();
    return FolderEntry::Type::Other;
  }
  if (S_ISDIR(target.st_mode)) return FolderEntry::Type::FolderLink;
  if (S_ISREG(target.st_mode)) return FolderEntry::Type::File;
  reason = "not a regular file";
  return FolderEntry::Type::Other;
}

FolderEntry::Type TypeOf(const fs::path& folder, const dirent& e, std::string& reason) {
  unsigned char type = e.d_type;
  if (type == DT_REG) return FolderEntry::Type::File;  // most entries: no path made
  const fs::path full = folder / e.d_name;
  if (type == DT_UNKNOWN) {  // some file systems do not say: ask
    struct stat st;
    if (::lstat(full.c_str(), &st) != 0) {
      reason = Status::FromErrno(errno, "lstat", full).reason();
      return FolderEntry::Type::Other;
    }
    type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR
         : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
  }
  switch (type) {
    case DT_REG: return FolderEntry::Type::File;
    case DT_DIR: return FolderEntry::Type::Folder;
    case DT_LNK: return TypeOfLink(full, reason);
    default:
      reason = "not a regular file";
      return FolderEntry::Type::Other;
  }
}

// Copies all of `in` to `out`, in the kernel where it can; through a buffer, and shown
// to `hash`, when there is one.
bool CopyBytes(int in, int out, int& err, Sha256* hash) {
#ifdef __linux__
  while (!hash) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != ENOSYS && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP) {
      err = errno;
      return false;
    }
    break;  // not supported here: copy through a buffer
  }
#endif
  static thread_local char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (hash) hash->Add(buffer, static_cast<std::size_t>(n));
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        err = errno;
        return false;
      }
      done += w;
    }
  }
}

// Writes `in` (a regular file with the status `st`) to a new temporary file, gives it the
// source's modification time (as the platform copy on Windows does), and renames it to `to`.
Status WriteThenRename(int in, const struct stat& st, const fs::path& to, Sha256* hash) {
  const mode_t mode = st.st_mode;
  const fs::path tmp = TemporaryBeside(to);
  Fd out(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777));
  if (out.get() < 0) return Status::FromErrno(errno, "open", tmp);
  int err = 0;
  if (!CopyBytes(in, out.get(), err, hash)) {
    ::unlink(tmp.c_str());
    return Status::FromErrno(err, "write", tmp);
  }
  const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  ::futimens(out.get(), times);  // a file system that keeps no times is no failure
  if (::close(out.release()) != 0) {
    err = errno;
    ::unlink(tmp.c_str());
    return Status::FromErrno(err, "close", tmp);
  }
  if (::rename(tmp.c_str(), to.c_str()) != 0) {
    err = errno;
    ::unlink(tmp.c_str());
    return Status::FromErrno(err, "rename", to);
  }
  return Status::Ok();
}

}  // namespace

Status ListFolder(const fs::path& folder, std::vector<FolderEntry>& entries, bool stamps) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return Status::FromErrno(errno, "opendir", folder);
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(dir);
    if (!e) break;
    const char* n = e->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    FolderEntry entry;
    entry.name = n;
    entry.displayName = ValidUtf8(n);
    entry.type = TypeOf(folder, *e, entry.reason);
    struct stat st;
    if (stamps && entry.type == FolderEntry::Type::File && ::fstatat(::dirfd(dir), n, &st, 0) == 0) {
      entry.stamp = StampOfStat(st);
    }
    entries.push_back(std::move(entry));
  }
  const int err = errno;
  ::closedir(dir);
  if (err != 0) return Status::FromErrno(err, "readdir", folder);
  return Status::Ok();
}

Status MakeFolder(const fs::path& path, bool* existed) {
  if (existed) *existed = false;
  if (::mkdir(path.c_str(), 0777) == 0) return Status::Ok();
  int err = errno;
  if (err == EEXIST) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      if (existed) *existed = true;
      return Status::Ok();
    }
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      if (::unlink(path.c_str()) != 0) return Status::FromErrno(errno, "unlink", path);
      if (::mkdir(path.c_str(), 0777) == 0) return Status::Ok();
      err = errno;
    } else {
      err = ENOTDIR;
    }
  }
  return Status::FromErrno(err, "mkdir", path);
}

Status RemoveIfLink(const fs::path& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return Status::Ok();
  if (::unlink(path.c_str()) != 0) return Status::FromErrno(errno, "unlink", path);
  return Status::Ok();
}

Status RenameOver(const fs::path& from, const fs::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Status::FromErrno(errno, "rename", to);
  return Status::Ok();
}

Status RemoveFile(const fs::path& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return Status::Ok();
  return Status::FromErrno(errno, "unlink", path);
}

Status CopyModifiedTime(const fs::path& from, const fs::path& to) {
  const std::optional<FileStamp> stamp = StampOf(from);
  if (!stamp) return Status::FromErrno(errno, "stat", from);
  return SetModifiedTime(to, *stamp);
}

Status SetModifiedTime(const fs::path& to, const FileStamp& from) {
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(from.modifiedNs / 1000000000), static_cast<long>(from.modifiedNs % 1000000000)}};
  if (::utimensat(AT_FDCWD, to.c_str(), times, 0) != 0) return Status::FromErrno(errno, "utimensat", to);
  return Status::Ok();
}

bool RemoveEmptyFolder(const fs::path& path) { return ::rmdir(path.c_str()) == 0; }

bool NameExists(const fs::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsLink(const fs::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsFolder(const fs::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const fs::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::optional<FileId> IdentityOf(const fs::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

namespace {

// A process that has ended but is not yet reaped still answers kill(pid, 0). Its parent
// gone (a run killed with its encoders), it waits for the system's first process to reap
// it, which in a container may be late or never. Where /proc tells, such a zombie has ended.
bool IsZombie(unsigned long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!stat || !std::getline(stat, text)) return false;
  const size_t name_end = text.rfind(')');
  if (name_end == std::string::npos || name_end + 2 >= text.size()) return false;
  const char state = text[name_end + 2];
  return state == 'Z' || state == 'X';
}

}  // namespace

bool ProcessRuns(unsigned long pid) {
  if (pid == 0 || pid > static_cast<unsigned long>(std::numeric_limits<pid_t>::max())) return false;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
  return !IsZombie(pid);
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

Status CreateExclusive(const fs::path& path, std::string_view content) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (fd.get() < 0) return Status::FromErrno(errno, "open", path);
  for (size_t done = 0; done < content.size();) {
    const ssize_t n = ::write(fd.get(), content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status::FromErrno(errno, "write", path);
    done += static_cast<size_t>(n);
  }
  return Status::Ok();
}

std::vector<fs::path> RemoveLeftoverTemporaries(const fs::path& folder, unsigned long endedRun) {
  std::vector<fs::path> removed;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return removed;
  while (const dirent* e = ::readdir(dir)) {
    unsigned long pid = 0;
    if (e->d_name[0] != '.' || !IsLeftoverTemporaryName(e->d_name, pid)) continue;
    if (!(endedRun != 0 && IsOwnTemporaryOf(e->d_name, endedRun)) && ProcessRuns(pid)) continue;
    if (::unlinkat(::dirfd(dir), e->d_name, 0) == 0) {
      removed.push_back(folder / e->d_name);
    } else if (errno == EISDIR || errno == EPERM) {  // the folder of a second pass (include_client.h)
      std::error_code ec;
      if (fs::remove_all(folder / e->d_name, ec) > 0 && !ec) removed.push_back(folder / e->d_name);
    }
  }
  ::closedir(dir);
  return removed;
}

Status ReadRegularFile(const fs::path& path, std::string& bytes) {
  bytes.clear();
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
  Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (in.get() < 0) return Status::FromErrno(errno, "open", path);
  struct stat st;
  if (::fstat(in.get(), &st) != 0) return Status::FromErrno(errno, "fstat", path);
  if (!S_ISREG(st.st_mode)) return Status::Fail("not a regular file (open " + ToDisplayPath(path) + ")");
  ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n == 0) return Status::Ok();
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      bytes.clear();
      return Status::FromErrno(errno, "read", path);
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

Status CopyFileAtomic(const fs::path& from, const fs::path& to, std::string* sourceSha) {
  if (sourceSha) sourceSha->clear();
  // O_NONBLOCK: a FIFO put in the file's place since the listing must not block the run.
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (in.get() < 0) return Status::FromErrno(errno, "open", from);
  struct stat st;
  if (::fstat(in.get(), &st) != 0) return Status::FromErrno(errno, "fstat", from);
  if (!S_ISREG(st.st_mode)) return Status::Fail("not a regular file");
  ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
  std::optional<Sha256> hash;
  if (sourceSha) hash.emplace();
  Status copied = WriteThenRename(in.get(), st, to, hash ? &*hash : nullptr);
  if (copied.ok() && hash) *sourceSha = hash->FinishHex();
  return copied;
}

std::optional<FileStamp> StampOf(const fs::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return StampOfStat(st);
}

FolderHandle::FolderHandle(const fs::path& folder)
    : handle_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

FolderHandle::~FolderHandle() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::optional<FileStamp> FolderHandle::Stamp(const fs::path& path, const fs::path& name) const {
  struct stat st;
  const int got = handle_ >= 0 ? ::fstatat(static_cast<int>(handle_), name.c_str(), &st, 0) : ::stat(path.c_str(), &st);
  if (got != 0) return std::nullopt;
  return StampOfStat(st);
}

std::optional<FileStamp> FolderHandle::PlainFileStamp(const fs::path& path, const fs::path& name) const {
  struct stat st;
  const int got = handle_ >= 0 ? ::fstatat(static_cast<int>(handle_), name.c_str(), &st, AT_SYMLINK_NOFOLLOW)
                               : ::lstat(path.c_str(), &st);
  if (got != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return StampOfStat(st);
}

fs::path PlainPath(const fs::path& path) {
  std::error_code ec;
  fs::path out = fs::absolute(path, ec).lexically_normal();
  if (!out.has_filename() && out.has_relative_path()) out = out.parent_path();
  return out;
}

fs::path RealPath(const fs::path& path) {
  std::error_code ec;
  const fs::path plain = PlainPath(path);
  fs::path real = fs::weakly_canonical(plain, ec);
  if (ec) return plain;
  if (!real.has_filename() && real.has_relative_path()) real = real.parent_path();
  return real;
}

fs::path ParentFolder(const fs::path& path) {
  return path.empty() || path == path.root_path() ? fs::path() : path.parent_path();
}

fs::path AbsolutePath(const fs::path& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  return ec ? path : absolute;
}

bool FileSystemIgnoresCase() {
#ifdef __APPLE__
  return true;  // APFS and HFS+ as usually formatted
#else
  return false;
#endif
}

Status AppendingFile::Open(const fs::path& path) {
  Close();
  path_ = path;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Status::FromErrno(errno, "open", path);
  handle_ = fd;
  return Status::Ok();
}

Status AppendingFile::Append(std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status::FromErrno(errno, "write", path_);
    done += static_cast<std::size_t>(n);
  }
  return Status::Ok();
}

void AppendingFile::Close() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = -1;
}
