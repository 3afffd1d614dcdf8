// The file system on POSIX.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "file_system.h"

namespace screnc {

IoError last_error(const char* call, const std::string& path) {
  return {call, path, std::strerror(errno)};
}

std::optional<IoError> file_info(const std::string& path, FileInfo& info) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return last_error("stat", path);
  info.regular = S_ISREG(st.st_mode);
  info.hidden = false;
  info.read_only = (st.st_mode & 0222) == 0;
  info.mode = st.st_mode & 07777;
  return std::nullopt;
}

bool exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string full_path(const std::string& path) {
  std::filesystem::path p(path);
  if (p.is_relative()) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) p = std::filesystem::path(cwd) / p;
  }
  std::string s = p.lexically_normal().string();
  // Keep a trailing slash only for the root.
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::optional<IoError> list_folder(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return last_error("opendir", folder);
  errno = 0;
  while (const dirent* e = readdir(dir)) {
    const std::string_view n = e->d_name;
    if (n != "." && n != "..") names.emplace_back(n);
  }
  std::optional<IoError> err;
  if (errno != 0) err = last_error("readdir", folder);
  closedir(dir);
  return err;
}

bool is_separator(char c) { return c == '/'; }

char preferred_separator() { return '/'; }

std::size_t root_length(std::string_view path) { return path.starts_with('/') ? 1 : 0; }

NameUnits name_units() { return NameUnits::Bytes; }

std::size_t name_limit(const std::string& folder) {
  const long n = pathconf(folder.c_str(), _PC_NAME_MAX);
  return n > 0 ? static_cast<std::size_t>(n) : 255;
}

}  // namespace screnc
