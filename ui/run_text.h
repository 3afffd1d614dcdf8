#pragma once
// Where the windows meet the run: the run and its settings store speak UTF-8 in
// std::string and native paths; the windows speak QString. Converted here, and only here.

#include "run/util/native_path.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"

#include <QString>
#include <filesystem>

inline QString QtText(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string RunText(const QString& text) { return text.toStdString(); }

// A folder as the pickers show it, as the run's native path.
inline std::filesystem::path NativePathOf(const QString& path) { return ToNativePath(RunText(path)); }

// The section "Settings" of the store, which holds everything the windows keep.
inline QString ReadSetting(const SettingsStore& store, const QString& key, const QString& def) {
  return QtText(store.Read(kSettingsSection, RunText(key), RunText(def)));
}
inline void WriteSetting(SettingsStore& store, const QString& key, const QString& value) {
  store.Write(kSettingsSection, RunText(key), RunText(value));
}
