// System information where there is no Windows registry: the viewer comes from the
// settings or from PATH, and the registry has no keys.
#include "about_model.h"

#include "environment.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace {

class NoRegistry : public RegistryApi {
public:
  bool OpenKey(std::int32_t, const std::string&, std::uint32_t, std::uintptr_t&) override { return false; }
  bool QueryValue(std::uintptr_t, const std::string&, std::uint32_t&, std::string&) override { return false; }
  void CloseKey(std::uintptr_t) override {}
};

bool IsRunnableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

class PosixSysInfoSystem : public SysInfoSystem {
public:
  explicit PosixSysInfoSystem(const SettingsStore& store) : store_(store) {}
  RegistryApi& Registry() override { return registry_; }
  std::string Setting(const std::string& key) override { return store_.Read(kSettingsSection, key, ""); }
  bool FileExists(const std::string& path) override {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }
  std::string FindOnPath(const std::string& program) override {
    const std::string path = EnvironmentValue("PATH");
    size_t begin = 0;
    while (begin <= path.size()) {
      size_t end = path.find(':', begin);
      if (end == std::string::npos) end = path.size();
      const std::string dir = end > begin ? path.substr(begin, end - begin) : ".";
      const std::string candidate = dir + "/" + program;
      if (IsRunnableFile(candidate)) return candidate;
      begin = end + 1;
    }
    return {};
  }
  // A grandchild started in a session of its own, stdin from the null device, so the
  // viewer outlives the window and leaves no zombie; the child's exit says whether exec
  // could be reached.
  bool StartDetached(const std::string& program) override {
    if (!IsRunnableFile(program)) return false;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    fcntl(pipeFds[1], F_SETFD, FD_CLOEXEC);
    const pid_t child = fork();
    if (child < 0) {
      close(pipeFds[0]);
      close(pipeFds[1]);
      return false;
    }
    if (child == 0) {
      close(pipeFds[0]);
      setsid();
      if (fork() != 0) _exit(0);
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) dup2(null, 0);
      char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
      execv(program.c_str(), argv);
      const char failed = 1;
      (void)!write(pipeFds[1], &failed, 1);
      _exit(127);
    }
    close(pipeFds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char failed = 0;
    const ssize_t got = read(pipeFds[0], &failed, 1);  // EOF once exec closed the pipe
    close(pipeFds[0]);
    return got == 0;
  }

private:
  const SettingsStore& store_;
  NoRegistry registry_;
};

}  // namespace

std::string FindSysInfoViewer(SysInfoSystem& system) { return FindDesktopViewer(system); }

std::string SysInfoSearchText() {
  std::string names;
  for (const std::string& name : kKnownViewers) names += (names.empty() ? "" : ", ") + name;
  return "Looked for the viewer named by the " + kSysInfoPathKey + " setting, then for " + names +
         " on PATH. Installing one of them makes System Info start it.";
}

std::unique_ptr<SysInfoSystem> MakeSysInfoSystem(const SettingsStore& store) {
  return std::make_unique<PosixSysInfoSystem>(store);
}
