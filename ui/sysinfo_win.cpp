// System information on Windows: MSINFO32.EXE, located through the registry.
#include "sysinfo.h"
#include "sysinfo_system.h"

#include <windows.h>

namespace {

class Win32Registry : public RegistryApi {
public:
  bool OpenKey(qint32 root, const QByteArray& keyName, quint32 access, quintptr& key) override {
    HKEY opened = nullptr;
    const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
    if (RegOpenKeyExA(rootKey, keyName.constData(), 0, access, &opened) != ERROR_SUCCESS) return false;
    key = reinterpret_cast<quintptr>(opened);
    return true;
  }

  bool QueryValue(quintptr key, const QByteArray& valueName, quint32& type, QByteArray& buffer) override {
    DWORD valueType = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.constData(), nullptr, &valueType,
                                         reinterpret_cast<LPBYTE>(buffer.data()), &size);
    if (result != ERROR_SUCCESS) return false;
    type = valueType;
    buffer.truncate(static_cast<int>(size));
    return true;
  }

  void CloseKey(quintptr key) override { RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

}  // namespace

QString FindSysInfoViewer(SysInfoSystem& system) { return FindMsInfoViewer(system); }

std::unique_ptr<SysInfoSystem> MakeSysInfoSystem(const SettingsStore& store) {
  return std::make_unique<HostSysInfoSystem>(store, std::make_unique<Win32Registry>());
}

QString SysInfoSearchText() { return QString(); }
