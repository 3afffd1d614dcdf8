#include "sysinfo.h"

namespace {

// A text value: the bytes written, less one terminating NUL. An empty value is empty text.
QString TextValue(QByteArray bytes) {
  if (bytes.endsWith('\0')) bytes.chop(1);
  return QString::fromLocal8Bit(bytes);
}

// A 32-bit number, stored little-endian.
QString NumberValue(const QByteArray& bytes) {
  quint32 value = 0;
  for (int i = qMin<int>(bytes.size(), 4) - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<quint8>(bytes[i]);
  }
  return QString::number(value);
}

}  // namespace

bool GetKeyValue(RegistryApi& registry, qint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                 QString& KeyVal) {
  quintptr key = 0;
  if (!registry.OpenKey(KeyRoot, KeyName.toLocal8Bit(), kRegOpenAccess, key)) {
    KeyVal.clear();
    return false;
  }
  quint32 type = 0;
  QByteArray buffer(kRegBufferSize, '\0');
  const bool read = registry.QueryValue(key, SubKeyRef.toLocal8Bit(), type, buffer);
  registry.CloseKey(key);
  if (!read) {
    KeyVal.clear();
    return false;
  }
  if (type == kRegSz) KeyVal = TextValue(buffer);
  if (type == kRegDword) KeyVal = NumberValue(buffer);
  return true;
}

QString FindMsInfoViewer(SysInfoSystem& system) {
  QString path;
  if (GetKeyValue(system.Registry(), kHkeyLocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                  QStringLiteral("PATH"), path)) {
    return path;
  }
  if (GetKeyValue(system.Registry(), kHkeyLocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                  QStringLiteral("MSINFO"), path)) {
    const QString exe = path + QStringLiteral("\\MSINFO32.EXE");
    if (system.FileExists(exe)) return exe;
  }
  return QString();
}

QString FindDesktopViewer(SysInfoSystem& system) {
  const QString configured = system.Setting(kSysInfoPathKey);
  if (!configured.isEmpty()) return configured;
  for (const QString& name : kKnownViewers) {
    const QString found = system.FindOnPath(name);
    if (!found.isEmpty()) return found;
  }
  return QString();
}
