// A destination that cannot be written is found before the run, with one message: on a
// read-only file system (a read-only tmpfs where we may mount one) and in a folder
// without write permission for an unprivileged user.
#include "check.h"
#include "fake_face.h"

#include "encrypt_model.h"
#include "folder_paths.h"
#include "run/util/native_path.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Start with `destination`; the messages asked and whether anything reached it.
std::vector<MessageSpec> StartInto(const fs::path& site, const std::string& destination, FakeFace& face) {
  MemorySettingsStore store;
  store.Write(kSettingsSection, "Jobs", "1");
  frmEncryptModel model(store, face, site);
  model.Form_Load(CleanFolderPath(site.string()));
  model.Path_Change(Side::Destination, destination);
  model.Command1_Click();
  return face.asked;
}

}  // namespace

TEST(aReadOnlyDestinationIsRefusedBeforeTheRun) {
  check::TempDir tmp;
  std::ofstream(tmp.Path() / "a.txt") << "x";
  fs::create_directories(tmp.Path() / "site");
  std::ofstream(tmp.Path() / "site" / "a.txt") << "x";
  const fs::path ro = tmp.Path() / "ro";
  fs::create_directories(ro);
  if (mount("qw-ro", ro.c_str(), "tmpfs", MS_RDONLY, "size=1m") != 0) {
    std::cout << "SKIP read-only tmpfs: " << std::strerror(errno) << "\n";
    return;
  }
  struct Row {
    std::string destination;
  };
  const Row rows[] = {{ro.string()}, {(ro / "new" / "deeper").string()}};
  for (const Row& r : rows) {
    FakeFace face;
    const auto asked = StartInto(tmp.Path() / "site", r.destination, face);
    CHECK_EQ(asked.size(), size_t(1));
    CHECK(!asked.empty() && asked[0].text.find("cannot be written") != std::string::npos);
    CHECK(!asked.empty() && asked[0].text.find("Read-only") != std::string::npos);
    CHECK_EQ(face.log.size(), size_t(1));  // one line, not one a file
    CHECK(face.statusLook == StatusLook::Failed);
  }
  umount(ro.c_str());
}

// Run as the unprivileged user in a child, since root ignores permission bits.
TEST(aFolderWithoutWritePermissionIsRefusedBeforeTheRun) {
  check::TempDir tmp;
  fs::create_directories(tmp.Path() / "site");
  std::ofstream(tmp.Path() / "site" / "a.txt") << "x";
  fs::create_directories(tmp.Path() / "locked");
  chmod(tmp.Path().c_str(), 0755);
  chmod((tmp.Path() / "site").c_str(), 0755);
  chmod((tmp.Path() / "site" / "a.txt").c_str(), 0644);
  chmod((tmp.Path() / "locked").c_str(), 0555);
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    FakeFace face;
    const auto asked = StartInto(tmp.Path() / "site", (tmp.Path() / "locked").string(), face);
    const bool refused = asked.size() == 1 && asked[0].text.find("cannot be written") != std::string::npos &&
                         face.log.size() == 1;
    _exit(refused && !fs::exists(tmp.Path() / "locked" / "a.txt") ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  CHECK(WIFEXITED(status));
  CHECK_EQ(WEXITSTATUS(status), 0);
}
