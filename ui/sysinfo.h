#pragma once
// The system information viewer that About's System Info button starts, and how it is
// found: on Windows through two registry values (GetKeyValue), elsewhere through a
// viewer path configured in the settings, then the known viewers on PATH.
// The lookups are plain functions over SysInfoSystem, so tests run them against
// stand-ins; sysinfo_posix.cpp and sysinfo_win.cpp pick this platform's lookup and
// provide the real system.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class SettingsStore;

// The registry's numbers, as the Windows headers define them.
inline constexpr qint32 kHkeyLocalMachine = static_cast<qint32>(0x80000002u);
inline constexpr quint32 kRegOpenAccess = 0x20019;  // KEY_READ: what a user without administrator rights may ask
inline constexpr quint32 kRegSz = 1;
inline constexpr quint32 kRegDword = 4;
inline constexpr int kRegBufferSize = 1024;  // bytes offered for one value

// The three registry calls GetKeyValue makes (the byte-string versions).
class RegistryApi {
public:
  virtual ~RegistryApi() = default;
  // Opens `keyName` below `root`: true and `key` set when it was opened.
  virtual bool OpenKey(qint32 root, const QByteArray& keyName, quint32 access, quintptr& key) = 0;
  // Reads the value `valueName` into `buffer`, offered at its present size: true when the
  // value fitted; then `type` is set and `buffer` is cut to the bytes written.
  virtual bool QueryValue(quintptr key, const QByteArray& valueName, quint32& type, QByteArray& buffer) = 0;
  virtual void CloseKey(quintptr key) = 0;
};

// Reads one registry value into `KeyVal`. False, with `KeyVal` empty, when the key or the
// value is missing or the value needs more than 1024 bytes. A text value loses its
// terminating NUL; a 32-bit number becomes its decimal text; other types leave `KeyVal`
// as it was.
bool GetKeyValue(RegistryApi& registry, qint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                 QString& KeyVal);

// What the lookups and the start need from the system.
class SysInfoSystem {
public:
  virtual ~SysInfoSystem() = default;
  virtual RegistryApi& Registry() = 0;
  // A value of the settings section, empty when absent.
  virtual QString Setting(const QString& key) = 0;
  virtual bool FileExists(const QString& path) = 0;
  // The full path of `program` found on PATH, empty when absent.
  virtual QString FindOnPath(const QString& program) = 0;
  // Starts `program` with a normal, focused window, without waiting: false when it could
  // not be started.
  virtual bool StartDetached(const QString& program) = 0;
};

// Windows: the MSINFO path value, used as it is; else the Shared Tools Location value
// followed by \MSINFO32.EXE, when that file exists. Empty when neither gives a viewer.
QString FindMsInfoViewer(SysInfoSystem& system);

// Elsewhere: the path under kSysInfoPathKey in the settings, used as it is; else the
// first of kKnownViewers on PATH. Empty when neither gives a viewer.
inline const QString kSysInfoPathKey = QStringLiteral("SysInfoPath");
inline const QStringList kKnownViewers = {
    QStringLiteral("gnome-system-monitor"), QStringLiteral("kinfocenter"), QStringLiteral("hardinfo"),
    QStringLiteral("hardinfo2"), QStringLiteral("xfce4-taskmanager"), QStringLiteral("lxtask")};
QString FindDesktopViewer(SysInfoSystem& system);

// This platform's lookup.
QString FindSysInfoViewer(SysInfoSystem& system);
// When no viewer was found: which were looked for and how to name one; empty where the
// lookup is the registry's (Windows).
QString SysInfoSearchText();
// This platform's real system, reading settings from `store`.
std::unique_ptr<SysInfoSystem> MakeSysInfoSystem(const SettingsStore& store);
