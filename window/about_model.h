#pragma once
// The splash (frmSplash) and About (frmAbout) windows as texts and rules, and the System
// Info button's lookup of the system information viewer: on Windows MSINFO32 through two
// registry values (GetKeyValue), elsewhere a viewer named in the settings, then known
// viewers on PATH. The lookups are plain functions over SysInfoSystem, so tests run them
// against stand-ins.

#include "encrypt_face.h"
#include "run/settings/settings_keys.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SettingsStore;

struct SplashTexts {
  std::string lblCompanyProduct;  // the maker
  std::string lblProductName;     // the application title
  std::string lblVersion;         // "Version 1.0.5"
  std::string lblCopyright;
  std::string lblCompany;
};
SplashTexts SplashFormLoad();
// The splash closes itself this long after it was created.
inline constexpr int kSplashMs = 2000;

struct AboutTexts {
  std::string caption;  // "About"
  std::string lblTitle;
  std::string lblVersion;
  std::string lblDescription;
  std::string lblDisclaimer;  // empty
};
AboutTexts AboutFormLoad();

// The registry's numbers, as the Windows headers define them.
inline constexpr std::int32_t kHkeyLocalMachine = static_cast<std::int32_t>(0x80000002u);
inline constexpr std::uint32_t kRegOpenAccess = 0x20019;  // KEY_READ
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr int kRegBufferSize = 1024;  // bytes offered for one value

// The three registry calls GetKeyValue makes (byte strings, as the registry's "A" calls).
class RegistryApi {
public:
  virtual ~RegistryApi() = default;
  virtual bool OpenKey(std::int32_t root, const std::string& keyName, std::uint32_t access, std::uintptr_t& key) = 0;
  // Reads `valueName` into `buffer`, offered at its present size: true when it fitted;
  // then `type` is set and `buffer` cut to the bytes written.
  virtual bool QueryValue(std::uintptr_t key, const std::string& valueName, std::uint32_t& type,
                          std::string& buffer) = 0;
  virtual void CloseKey(std::uintptr_t key) = 0;
};

// Reads one registry value into `KeyVal`. False, with `KeyVal` empty, when the key or
// value is missing or needs more than 1024 bytes. A text value loses its terminating NUL;
// a 32-bit number becomes its decimal text; other types leave `KeyVal` as it was.
bool GetKeyValue(RegistryApi& registry, std::int32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// What the lookups and the start need from the system.
class SysInfoSystem {
public:
  virtual ~SysInfoSystem() = default;
  virtual RegistryApi& Registry() = 0;
  // A value of the settings section, empty when absent.
  virtual std::string Setting(const std::string& key) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // The full path of `program` found on PATH, empty when absent.
  virtual std::string FindOnPath(const std::string& program) = 0;
  // Starts `program` with a normal, focused window, without waiting; false when it
  // could not be started.
  virtual bool StartDetached(const std::string& program) = 0;
};

// Windows: the MSINFO path value as it is; else Shared Tools Location + \MSINFO32.EXE
// when that file exists. Empty when neither gives a viewer.
std::string FindMsInfoViewer(SysInfoSystem& system);
// Elsewhere: the viewer named under kSysInfoPathKey, else the first of kKnownViewers on
// PATH. Empty when neither gives one.
inline const std::string kSysInfoPathKey = setting_keys::kSysInfoPath;
inline const std::vector<std::string> kKnownViewers = {"gnome-system-monitor", "kinfocenter", "hardinfo",
                                                        "hardinfo2", "xfce4-taskmanager", "lxtask"};
std::string FindDesktopViewer(SysInfoSystem& system);
// This platform's lookup.
std::string FindSysInfoViewer(SysInfoSystem& system);
// This platform's real system, reading settings from `store`.
std::unique_ptr<SysInfoSystem> MakeSysInfoSystem(const SettingsStore& store);

// What was looked for, for the message when nothing was found.
std::string SysInfoSearchText();

// About's StartSysInfo: starts the viewer and returns true, or returns false and fills
// `message` with what to show: kSysInfoUnavailable, no icon, the application title, and
// as detail what was looked for (no file to edit is asked of the user).
bool StartSysInfo(SysInfoSystem& system, MessageSpec& message);
