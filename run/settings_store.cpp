#include "settings_store.h"

#include "paths.h"
#include "status.h"

#include <QSettings>
#include <cerrno>
#include <fstream>
#include <QStringList>

namespace {

// The stored spellings of `key` in `group`, ignoring case. QSettings files on Linux are
// case-sensitive, so a key may exist under more than one spelling (written by hand or by
// an older build); every one of them is found here.
QStringList SpellingsOf(QSettings& settings, const QString& section, const QString& key) {
  QStringList found;
  settings.beginGroup(section);
  const QStringList keys = settings.childKeys();
  settings.endGroup();
  for (const QString& k : keys) {
    if (k.compare(key, Qt::CaseInsensitive) == 0) found << k;
  }
  return found;
}

QString MemoryKey(const QString& section, const QString& key) {
  return (section + QLatin1Char('/') + key).toLower();
}

}  // namespace

QSettingsStore::QSettingsStore(const QString& application)
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            application, application)) {}

QSettingsStore::QSettingsStore(std::unique_ptr<QSettings> settings)
    : settings_(std::move(settings)) {}

std::unique_ptr<QSettingsStore> QSettingsStore::AtFile(const QString& iniPath) {
  return std::unique_ptr<QSettingsStore>(
      new QSettingsStore(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)));
}

QSettingsStore::~QSettingsStore() = default;

QString QSettingsStore::Read(const QString& section, const QString& key,
                             const QString& def) const {
  const QStringList spellings = SpellingsOf(*settings_, section, key);
  if (spellings.isEmpty()) return def;
  // The exact spelling wins over others, if several were left behind by hand edits.
  const QString& use = spellings.contains(key) ? key : spellings.first();
  return settings_->value(section + QLatin1Char('/') + use).toString();
}

void QSettingsStore::Write(const QString& section, const QString& key, const QString& value) {
  for (const QString& old : SpellingsOf(*settings_, section, key)) {
    if (old != key) settings_->remove(section + QLatin1Char('/') + old);
  }
  settings_->setValue(section + QLatin1Char('/') + key, value);
}

QString QSettingsStore::Problem() const {
  const QString file = settings_->fileName();
  if (settings_->format() == QSettings::NativeFormat && !file.startsWith(QLatin1Char('/'))) {
    return QString();  // the registry: nothing to open
  }
  const std::filesystem::path path = ToNativePath(file);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return QString();
  std::ifstream in(path, std::ios::binary);
  char byte;
  if (!in || (!in.get(byte) && !in.eof())) {
    const int err = errno;
    return QStringLiteral("cannot read the settings: ") +
           Status::FromErrno(err ? err : EIO, "open", path).reason();
  }
  if (settings_->status() == QSettings::FormatError) {
    return QStringLiteral("cannot read the settings: not a settings file (") + file + QLatin1Char(')');
  }
  return QString();
}

bool QSettingsStore::Sync() {
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

QString MemorySettingsStore::Read(const QString& section, const QString& key,
                                  const QString& def) const {
  const auto it = values_.constFind(MemoryKey(section, key));
  if (it != values_.constEnd()) return *it;
  return behind_ ? behind_->Read(section, key, def) : def;
}

void MemorySettingsStore::Write(const QString& section, const QString& key,
                                const QString& value) {
  values_.insert(MemoryKey(section, key), value);
}
