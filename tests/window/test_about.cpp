// The splash and About texts, and System Info's lookup against a stand-in registry.
#include "check.h"

#include "about_model.h"
#include "window_texts.h"

#include <map>

namespace {

// Values by key and name; OpenKey fails for keys not listed.
class FakeRegistry : public RegistryApi {
public:
  std::map<std::string, std::map<std::string, std::pair<std::uint32_t, std::string>>> keys;
  int open = 0;
  bool OpenKey(std::int32_t root, const std::string& keyName, std::uint32_t, std::uintptr_t& key) override {
    if (root != kHkeyLocalMachine || !keys.count(keyName)) return false;
    names.push_back(keyName);
    key = names.size();
    ++open;
    return true;
  }
  bool QueryValue(std::uintptr_t key, const std::string& valueName, std::uint32_t& type, std::string& buffer) override {
    const auto& values = keys[names.at(key - 1)];
    const auto it = values.find(valueName);
    if (it == values.end() || it->second.second.size() > buffer.size()) return false;
    type = it->second.first;
    buffer = it->second.second;
    return true;
  }
  void CloseKey(std::uintptr_t) override { --open; }
  std::vector<std::string> names;
};

class FakeSystem : public SysInfoSystem {
public:
  FakeRegistry registry;
  std::map<std::string, std::string> settings;
  std::vector<std::string> files, onPath, started;
  bool startWorks = true;
  RegistryApi& Registry() override { return registry; }
  std::string Setting(const std::string& key) override { return settings.count(key) ? settings[key] : ""; }
  bool FileExists(const std::string& path) override { return std::count(files.begin(), files.end(), path) > 0; }
  std::string FindOnPath(const std::string& program) override {
    return std::count(onPath.begin(), onPath.end(), program) ? "/usr/bin/" + program : "";
  }
  bool StartDetached(const std::string& program) override {
    started.push_back(program);
    return startWorks;
  }
};

const std::string kMsInfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location";

}  // namespace

TEST(textsOfSplashAndAbout) {
  const SplashTexts splash = SplashFormLoad();
  const AboutTexts about = AboutFormLoad();
  CHECK_EQ(splash.lblVersion, std::string("Version 1.0.5"));
  CHECK_EQ(about.lblVersion, splash.lblVersion);
  CHECK_EQ(splash.lblProductName, std::string("Quillward"));
  CHECK_EQ(about.lblTitle, std::string("Quillward"));
  CHECK_EQ(about.caption, std::string("About"));
  CHECK_EQ(about.lblDescription, std::string("Quillward - Encodes ASP, vbs, js, HTML code"));
  CHECK(about.lblDisclaimer.empty());
  CHECK_EQ(VersionText(10, 0, 25), std::string("Version 10.0.25"));
}

TEST(getKeyValueReadsTextAndNumbers) {
  FakeSystem system;
  system.registry.keys[kMsInfo] = {{"PATH", {kRegSz, std::string("C:\\X\0", 5)}},
                                   {"N", {kRegDword, std::string("\x05\x01\0\0", 4)}},
                                   {"Long", {kRegSz, std::string(1024, 'a')}},
                                   {"TooLong", {kRegSz, std::string(1025, 'a')}},
                                   {"Bin", {3, "zz"}}};
  struct Row {
    const char* key;
    const char* value;
    bool found;
    std::string expected;
  };
  const Row rows[] = {
      {kMsInfo.c_str(), "PATH", true, "C:\\X"},
      {kMsInfo.c_str(), "N", true, "261"},
      {kMsInfo.c_str(), "Long", true, std::string(1024, 'a')},
      {kMsInfo.c_str(), "TooLong", false, ""},
      {kMsInfo.c_str(), "Missing", false, ""},
      {"SOFTWARE\\Nothing", "PATH", false, ""},
      {kMsInfo.c_str(), "Bin", true, "before"},  // other types leave the value as it was
  };
  for (const Row& r : rows) {
    std::string value = "before";
    CHECK_EQ(GetKeyValue(system.registry, kHkeyLocalMachine, r.key, r.value, value), r.found);
    CHECK_EQ(value, r.expected);
  }
  CHECK_EQ(system.registry.open, 0);  // every key opened was closed
}

TEST(msInfoLookupInItsTwoSteps) {
  struct Row {
    bool pathValue, locationValue, fileThere;
    std::string expected;
  };
  const Row rows[] = {
      {true, true, true, "D:\\first.exe"},  // the first value, used as it is
      {true, false, false, "D:\\first.exe"},
      {false, true, true, "C:\\Tools\\MSINFO32.EXE"},
      {false, true, false, ""},
      {false, false, false, ""},
  };
  for (const Row& r : rows) {
    FakeSystem system;
    if (r.pathValue) system.registry.keys[kMsInfo] = {{"PATH", {kRegSz, std::string("D:\\first.exe\0", 13)}}};
    if (r.locationValue) system.registry.keys[kLocation] = {{"MSINFO", {kRegSz, "C:\\Tools"}}};
    if (r.fileThere) system.files.push_back("C:\\Tools\\MSINFO32.EXE");
    CHECK_EQ(FindMsInfoViewer(system), r.expected);
  }
}

TEST(desktopViewerAndTheMessageWhenNoneStarts) {
  FakeSystem system;
  system.onPath = {"hardinfo", "lxtask"};
  CHECK_EQ(FindDesktopViewer(system), std::string("/usr/bin/hardinfo"));
  system.settings[kSysInfoPathKey] = "/opt/viewer";
  CHECK_EQ(FindDesktopViewer(system), std::string("/opt/viewer"));
  system.onPath.clear();
  system.settings.clear();
  MessageSpec message;
  CHECK(!StartSysInfo(system, message));
  CHECK_EQ(message.text, std::string("System Information Is Unavailable At This Time"));
  CHECK_EQ(message.title, std::string("Quillward"));
  CHECK(message.icon == MessageIcon::None);
  CHECK(message.detail.find("INI") == std::string::npos && message.detail.find(".conf") == std::string::npos &&
        message.detail.find("edit") == std::string::npos);
}
