// System information on Windows: MSINFO32.EXE, located through the registry.
#include "about_model.h"

#include "run/util/native_path.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"

#include <windows.h>

#include <shellapi.h>

namespace {

class Win32Registry : public RegistryApi {
public:
  bool OpenKey(std::int32_t root, const std::string& keyName, std::uint32_t access, std::uintptr_t& key) override {
    HKEY opened = nullptr;
    const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
    if (RegOpenKeyExA(rootKey, keyName.c_str(), 0, access, &opened) != ERROR_SUCCESS) return false;
    key = reinterpret_cast<std::uintptr_t>(opened);
    return true;
  }

  bool QueryValue(std::uintptr_t key, const std::string& valueName, std::uint32_t& type,
                  std::string& buffer) override {
    DWORD valueType = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.c_str(), nullptr, &valueType,
                                         reinterpret_cast<LPBYTE>(buffer.data()), &size);
    if (result != ERROR_SUCCESS) return false;
    type = valueType;
    buffer.resize(size);
    return true;
  }

  void CloseKey(std::uintptr_t key) override { RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

class Win32SysInfoSystem : public SysInfoSystem {
public:
  explicit Win32SysInfoSystem(const SettingsStore& store) : store_(store) {}
  RegistryApi& Registry() override { return registry_; }
  std::string Setting(const std::string& key) override { return store_.Read(kSettingsSection, key, ""); }
  bool FileExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(ToNativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  std::string FindOnPath(const std::string& program) override {
    wchar_t found[MAX_PATH];
    if (SearchPathW(nullptr, ToNativePath(program).c_str(), L".exe", MAX_PATH, found, nullptr) == 0) return {};
    return ToDisplayPath(std::filesystem::path(found));
  }
  bool StartDetached(const std::string& program) override {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", ToNativePath(program).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
  }

private:
  const SettingsStore& store_;
  Win32Registry registry_;
};

}  // namespace

std::string FindSysInfoViewer(SysInfoSystem& system) { return FindMsInfoViewer(system); }

std::string SysInfoSearchText() {
  return "Windows names its system information viewer (MSINFO32.EXE) in the registry; "
         "this system names none, or the file it names is not there.";
}

std::unique_ptr<SysInfoSystem> MakeSysInfoSystem(const SettingsStore& store) {
  return std::make_unique<Win32SysInfoSystem>(store);
}
