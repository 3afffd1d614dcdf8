#pragma once
// Stand-ins for the registry and the system behind the System Info button.

#include "sysinfo.h"

#include <QMap>
#include <QSet>
#include <QStringList>

struct StoredValue {
  quint32 type;
  QByteArray bytes;
};

// Keys by name below HKEY_LOCAL_MACHINE; reads fail, like the real call, when the value
// needs more bytes than offered.
class FakeRegistry : public RegistryApi {
public:
  bool OpenKey(qint32 root, const QByteArray& keyName, quint32 access, quintptr& key) override {
    lastAccess = access;
    if (root != kHkeyLocalMachine || !keys.contains(keyName)) return false;
    key = quintptr(keyNames.size() + 1);
    keyNames.append(keyName);
    open.insert(key);
    return true;
  }
  bool QueryValue(quintptr key, const QByteArray& valueName, quint32& type, QByteArray& buffer) override {
    offered = int(buffer.size());
    const auto& values = keys[keyNames[int(key) - 1]];
    if (!values.contains(valueName)) return false;
    const StoredValue& v = values[valueName];
    if (v.bytes.size() > buffer.size()) return false;
    type = v.type;
    buffer = v.bytes;
    return true;
  }
  void CloseKey(quintptr key) override { open.remove(key); }

  QMap<QByteArray, QMap<QByteArray, StoredValue>> keys;
  QList<QByteArray> keyNames;
  QSet<quintptr> open;
  quint32 lastAccess = 0;
  int offered = 0;
};

class FakeSystem : public SysInfoSystem {
public:
  RegistryApi& Registry() override { return registry; }
  QString Setting(const QString& key) override { return settings.value(key); }
  bool FileExists(const QString& path) override { return files.contains(path); }
  QString FindOnPath(const QString& program) override { return onPath.value(program); }
  bool StartDetached(const QString& program) override {
    started.append(program);
    return startWorks;
  }

  FakeRegistry registry;
  QMap<QString, QString> settings;
  QSet<QString> files;
  QMap<QString, QString> onPath;
  QStringList started;
  bool startWorks = true;
};
