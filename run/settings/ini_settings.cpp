#include "run/settings/ini_settings.h"

#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "run/util/status.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kStaleLock = std::chrono::seconds(30);

// The file's bytes; `problem` says why it could not be read. No file reads as empty. Only
// a regular file is read: a folder, a FIFO or a device in its place is a settings file
// that cannot be read (and a FIFO never blocks the program).
std::string ReadAll(const fs::path& file, std::string& problem) {
  if (!Exists(file)) return {};
  std::string bytes;
  if (Status read = ReadRegularFile(file, bytes); !read.ok()) {
    problem = "cannot read the settings: " + read.reason();
    return {};
  }
  return bytes;
}

// The lock Qt's settings class takes too: "<file>.lock", made only if it is not there,
// holding the owner's process id. One left by a process that is gone, or older than
// half a minute, is taken over; after ten seconds the write goes ahead without it.
class FileLock {
public:
  explicit FileLock(fs::path path) : path_(std::move(path)) {
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    const std::string owner = std::to_string(CurrentProcessId()) + "\nQuillward\n\n";
    while (!(held_ = CreateExclusive(path_, owner).ok())) {
      if (!Exists(path_)) return;  // no lock can be made here (a read-only folder): none is needed
      if (Stale()) {
        RemoveFile(path_);
        continue;
      }
      if (std::chrono::steady_clock::now() >= until) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~FileLock() {
    if (held_) RemoveFile(path_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

private:
  bool Stale() const {
    std::ifstream in(path_);
    unsigned long pid = 0;
    if (!(in >> pid)) return false;  // being written: wait for it
    std::error_code ec;
    const auto age = fs::file_time_type::clock::now() - fs::last_write_time(path_, ec);
    return !ProcessRuns(pid) || (!ec && age > kStaleLock);
  }
  fs::path path_;
  bool held_ = false;
};

fs::path WithSuffix(const fs::path& path, const char* suffix) {
  fs::path out = path;
  out += suffix;
  return out;
}

// `text` as the whole of `file`: written beside it, then renamed into place. A link is
// followed, so that a settings file kept elsewhere stays where it is.
Status ReplaceFile(const fs::path& file, const std::string& text) {
  std::error_code ec;
  fs::path target = file;
  if (fs::is_symlink(file, ec)) target = fs::weakly_canonical(file, ec);
  if (Status made = MakeFolders(target.parent_path()); !made.ok()) return made;
  const fs::path tmp = TemporaryBeside(target);
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      const int err = errno;
      RemoveFile(tmp);
      return Status::FromErrno(err ? err : EIO, "write", tmp);
    }
  }
  const bool existed = fs::exists(target, ec);
  const fs::perms perms = existed ? fs::status(target, ec).permissions()
                                  : fs::status(tmp, ec).permissions() | fs::perms::owner_read |
                                        fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(tmp, perms, ec);
  fs::rename(tmp, target, ec);
  if (ec) {
    RemoveFile(tmp);
    return Status::FromError(ec, "rename", target);
  }
  return Status::Ok();
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::vector<fs::path> files) {
  for (fs::path& f : files) files_.push_back(Loaded{std::move(f), std::nullopt, 0, IniDocument(), {}});
}

const IniSettingsStore::Loaded& IniSettingsStore::Current(std::size_t index) const {
  Loaded& l = files_[index];
  std::error_code ec;
  const auto time = fs::last_write_time(l.file, ec);
  const std::optional<fs::file_time_type> now = ec ? std::nullopt : std::optional(time);
  const std::uintmax_t size = now && fs::is_regular_file(l.file, ec) ? fs::file_size(l.file, ec) : 0;
  if (now == l.time && size == l.size && (now || l.problem.empty())) return l;
  l.problem.clear();
  l.document = IniDocument(ReadAll(l.file, l.problem));
  if (l.problem.empty() && !l.document.WellFormed()) {
    l.problem = "cannot read the settings: not a settings file (" + ToDisplayPath(l.file) + ")";
  }
  l.time = now;
  l.size = size;
  return l;
}

std::string IniSettingsStore::Read(const std::string& section, const std::string& key,
                                   const std::string& def) const {
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (auto value = Current(i).document.Value(section, key)) return *value;
  }
  return def;
}

void IniSettingsStore::Write(const std::string& section, const std::string& key, const std::string& value) {
  if (files_.empty()) return;
  const fs::path& file = files_.front().file;
  if (Status made = MakeFolders(file.parent_path()); !made.ok()) {
    writeProblem_ = "cannot write the settings: " + made.reason();
    return;
  }
  FileLock lock(WithSuffix(file, ".lock"));
  std::string problem;
  IniDocument document(ReadAll(file, problem));
  if (!problem.empty()) {
    writeProblem_ = problem;  // never overwrite what could not be read
    return;
  }
  document.Set(section, key, value);
  if (Status written = ReplaceFile(file, document.Text()); !written.ok()) {
    writeProblem_ = "cannot write the settings: " + written.reason();
  }
  files_.front().time.reset();  // read again at the next read
}

std::string IniSettingsStore::Problem() const {
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (const std::string& p = Current(i).problem; !p.empty()) return p;
  }
  return {};
}

std::unique_ptr<SettingsStore> OpenSettingsFile(const fs::path& file) {
  return std::make_unique<IniSettingsStore>(std::vector<fs::path>{file});
}
