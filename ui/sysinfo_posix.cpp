// System information on systems without the Windows registry: the viewer comes from the
// settings or from PATH, and the registry has no keys.
#include "sysinfo.h"
#include "sysinfo_system.h"

#include "look.h"

#include <QSettings>

namespace {

class NoRegistry : public RegistryApi {
public:
  bool OpenKey(qint32, const QByteArray&, quint32, quintptr&) override { return false; }
  bool QueryValue(quintptr, const QByteArray&, quint32&, QByteArray&) override { return false; }
  void CloseKey(quintptr) override {}
};

}  // namespace

QString FindSysInfoViewer(SysInfoSystem& system) { return FindDesktopViewer(system); }

QString SysInfoSearchText() {
  const QString file = QSettings(QSettings::NativeFormat, QSettings::UserScope, kAppTitle, kAppTitle).fileName();
  return QStringLiteral("Looked for the viewer named by the SysInfoPath setting, then for %1 on PATH.\n\n"
                        "To name one, add a line such as SysInfoPath=/usr/bin/hardinfo under [Settings] in %2.")
      .arg(kKnownViewers.join(QStringLiteral(", ")), file);
}

std::unique_ptr<SysInfoSystem> MakeSysInfoSystem(const SettingsStore& store) {
  return std::make_unique<HostSysInfoSystem>(store, std::make_unique<NoRegistry>());
}
