#pragma once
// What the window tests share: a settings store that records every write, and the
// program's look applied as at start-up, with message boxes answered through the seam.

#include "look.h"
#include "message_box.h"
#include "settings_store.h"

#include <QApplication>
#include <QList>
#include <QMap>
#include <QPair>

// Keys matched without regard to case, like the real store; every write is recorded.
class RecordingStore : public SettingsStore {
public:
  QString Read(const QString& section, const QString& key, const QString& def) const override {
    return values.value(Key(section, key), def);
  }
  void Write(const QString& section, const QString& key, const QString& value) override {
    values.insert(Key(section, key), value);
    writes.append({key, value});
  }
  void Set(const QString& key, const QString& value) { values.insert(Key(QStringLiteral("Settings"), key), value); }
  QString Get(const QString& key) const { return values.value(Key(QStringLiteral("Settings"), key)); }

  QMap<QString, QString> values;
  QList<QPair<QString, QString>> writes;  // key as written, value

private:
  static QString Key(const QString& section, const QString& key) { return (section + u'/' + key).toLower(); }
};

// Call from initTestCase: the default font and icon, and no real message boxes.
inline void PrepareWindowTests() {
  ApplyProgramLook(*qApp);
  MessageBox::SetTestMode(true);
}
