#pragma once
// What the window tests share: a settings store that records every write, and the
// program's look applied as at start-up, with message boxes answered through the seam.

#include "look.h"
#include "message_box.h"
#include "run_text.h"
#include "run/settings/settings_store.h"

#include <QApplication>
#include <QList>
#include <QMap>
#include <QPair>

// Keys matched without regard to case, like the real store; every write is recorded.
class RecordingStore : public SettingsStore {
public:
  std::string Read(const std::string& section, const std::string& key, const std::string& def) const override {
    return RunText(values.value(Key(QtText(section), QtText(key)), QtText(def)));
  }
  void Write(const std::string& section, const std::string& key, const std::string& value) override {
    values.insert(Key(QtText(section), QtText(key)), QtText(value));
    writes.append({QtText(key), QtText(value)});
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
