#include "about_model.h"

#include "window_texts.h"

SplashTexts SplashFormLoad() {
  SplashTexts t;
  t.lblVersion = VersionText();
  t.lblProductName = kAppTitle;
  t.lblCompanyProduct = kMakerName;
  t.lblCopyright = kCopyright;
  t.lblCompany = kMakerName;
  return t;
}

AboutTexts AboutFormLoad() {
  AboutTexts t;
  t.caption = "About";
  t.lblVersion = VersionText();
  t.lblTitle = kAppTitle;
  t.lblDescription = kDescription;
  t.lblDisclaimer.clear();
  return t;
}

namespace {

// A text value: the bytes written, less one terminating NUL.
std::string TextValue(std::string bytes) {
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

// A 32-bit number, stored little-endian.
std::string NumberValue(const std::string& bytes) {
  std::uint32_t value = 0;
  for (int i = static_cast<int>(std::min<size_t>(bytes.size(), 4)) - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
  }
  return std::to_string(value);
}

}  // namespace

bool GetKeyValue(RegistryApi& registry, std::int32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
  std::uintptr_t key = 0;
  if (!registry.OpenKey(KeyRoot, KeyName, kRegOpenAccess, key)) {
    KeyVal.clear();
    return false;
  }
  std::uint32_t type = 0;
  std::string buffer(kRegBufferSize, '\0');
  const bool read = registry.QueryValue(key, SubKeyRef, type, buffer);
  registry.CloseKey(key);
  if (!read) {
    KeyVal.clear();
    return false;
  }
  if (type == kRegSz) KeyVal = TextValue(buffer);
  if (type == kRegDword) KeyVal = NumberValue(buffer);
  return true;
}

std::string FindMsInfoViewer(SysInfoSystem& system) {
  std::string path;
  if (GetKeyValue(system.Registry(), kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path)) {
    return path;
  }
  if (GetKeyValue(system.Registry(), kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                  path)) {
    const std::string exe = path + "\\MSINFO32.EXE";
    if (system.FileExists(exe)) return exe;
  }
  return {};
}

std::string FindDesktopViewer(SysInfoSystem& system) {
  const std::string configured = system.Setting(kSysInfoPathKey);
  if (!configured.empty()) return configured;
  for (const std::string& name : kKnownViewers) {
    const std::string found = system.FindOnPath(name);
    if (!found.empty()) return found;
  }
  return {};
}

bool StartSysInfo(SysInfoSystem& system, MessageSpec& message) {
  const std::string viewer = FindSysInfoViewer(system);
  if (!viewer.empty() && system.StartDetached(viewer)) return true;
  message = MessageSpec{};
  message.text = kSysInfoUnavailable;
  message.title = kAppTitle;
  message.icon = MessageIcon::None;
  message.detail = SysInfoSearchText();
  return false;
}
