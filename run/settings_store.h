#pragma once
// The per-user settings store: text values addressed by (application, section, key).
//
// Keys are matched without regard to case: a value written under "Check2" is read back
// under "check2", and a write never leaves two spellings of one key behind, also in the
// INI file QSettings keeps on Linux (which is case-sensitive by itself).
// The application name is the one the store was made for ("Quillward" in production).

#include <QMap>
#include <QString>
#include <memory>

class QSettings;

class SettingsStore {
public:
  virtual ~SettingsStore() = default;
  // The stored text, or `def` when the key is absent.
  virtual QString Read(const QString& section, const QString& key, const QString& def) const = 0;
  // Stores `value` unchanged, replacing any earlier value under any spelling of `key`.
  virtual void Write(const QString& section, const QString& key, const QString& value) = 0;
};

// The production store: QSettings per user (registry on Windows, the INI file under the
// user's config folder elsewhere, which follows XDG_CONFIG_HOME).
class QSettingsStore : public SettingsStore {
public:
  // Per-user native store for `application` (the application title).
  explicit QSettingsStore(const QString& application);
  // An INI file at `iniPath`: for tests, never the user's real settings.
  static std::unique_ptr<QSettingsStore> AtFile(const QString& iniPath);
  ~QSettingsStore() override;

  QString Read(const QString& section, const QString& key, const QString& def) const override;
  void Write(const QString& section, const QString& key, const QString& value) override;
  // Pushes pending writes to disk; returns false when the store could not be written.
  bool Sync();
  // Why the stored settings could not be read (a file that cannot be opened or parsed),
  // or an empty text. A run must not go on with the defaults in place of what the user
  // saved.
  QString Problem() const;

private:
  explicit QSettingsStore(std::unique_ptr<QSettings> settings);
  std::unique_ptr<QSettings> settings_;
};

// A store in memory, optionally in front of another one: reads find the overrides first,
// then the store behind. Writes stay in memory. Used for one-run overrides
// (`quillward-batch --set`) and in tests.
class MemorySettingsStore : public SettingsStore {
public:
  explicit MemorySettingsStore(const SettingsStore* behind = nullptr) : behind_(behind) {}
  QString Read(const QString& section, const QString& key, const QString& def) const override;
  void Write(const QString& section, const QString& key, const QString& value) override;

private:
  const SettingsStore* behind_;
  QMap<QString, QString> values_;  // "section/key" in lower case -> value
};
