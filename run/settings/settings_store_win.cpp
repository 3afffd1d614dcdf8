// The user's settings in the registry where the classic runtime's per-user settings
// functions keep them, one REG_SZ value per key under the key
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// Value names are matched without regard to case by the registry itself. Options a user
// saved with the classic program are read as they are.
#include "run/settings/settings_store.h"

#include "run/util/status.h"
#include "run/util/text.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

const std::wstring kRoot = L"Software\\VB and VBA Program Settings\\";

Status RegistryError(LONG code, const char* call, const std::wstring& key) {
  return Status::FromError(std::error_code(static_cast<int>(code), std::system_category()), call,
                           std::filesystem::path(L"HKEY_CURRENT_USER\\" + key));
}

class Key {
public:
  Key() = default;
  ~Key() {
    if (h_) RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &h_; }
  HKEY get() const { return h_; }

private:
  HKEY h_ = nullptr;
};

class RegistrySettingsStore : public SettingsStore {
public:
  explicit RegistrySettingsStore(const std::string& application)
      : application_(kRoot + WideFromUtf8(application)) {}

  std::string Read(const std::string& section, const std::string& key,
                   const std::string& def) const override {
    Key k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Path(section).c_str(), 0, KEY_QUERY_VALUE, k.out()) != ERROR_SUCCESS) {
      return def;
    }
    const std::wstring name = WideFromUtf8(key);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return def;
    std::vector<BYTE> data(size + sizeof(wchar_t));
    if (RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return def;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
      DWORD number = 0;
      std::memcpy(&number, data.data(), sizeof number);
      return std::to_string(number);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return def;
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return Utf8FromWide(text);
  }

  void Write(const std::string& section, const std::string& key, const std::string& value) override {
    Key k;
    const std::wstring path = Path(section);
    if (LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  k.out(), nullptr);
        rc != ERROR_SUCCESS) {
      writeProblem_ = "cannot write the settings: " + RegistryError(rc, "RegCreateKeyExW", path).reason();
      return;
    }
    const std::wstring name = WideFromUtf8(key), text = WideFromUtf8(value);
    if (LONG rc = RegSetValueExW(k.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        rc != ERROR_SUCCESS) {
      writeProblem_ = "cannot write the settings: " + RegistryError(rc, "RegSetValueExW", path).reason();
    }
  }

  // A key that is not there holds no settings; one that is there but cannot be opened
  // (its permissions say no) is a problem. "Settings" is the section every part of the
  // program uses.
  std::string Problem() const override {
    for (const std::wstring& path : {application_, Path("Settings")}) {
      Key k;
      const LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, k.out());
      if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && rc != ERROR_PATH_NOT_FOUND) {
        return "cannot read the settings: " + RegistryError(rc, "RegOpenKeyExW", path).reason();
      }
    }
    return {};
  }

  std::string WriteProblem() const override { return writeProblem_; }

private:
  std::wstring Path(const std::string& section) const { return application_ + L"\\" + WideFromUtf8(section); }

  std::wstring application_;
  std::string writeProblem_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenUserSettings(const std::string& application) {
  return std::make_unique<RegistrySettingsStore>(application);
}
