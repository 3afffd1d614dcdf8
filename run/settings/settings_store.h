#pragma once
// The per-user settings store: UTF-8 text values addressed by (application, section, key).
//
// Keys are matched without regard to case: a value written under "Check2" is read back
// under "check2", and a write never leaves two spellings of one key behind. The
// application name is the one the store was opened for ("Quillward" in production).

#include <filesystem>
#include <map>
#include <memory>
#include <string>

class SettingsStore {
public:
  virtual ~SettingsStore() = default;
  // The stored text, or `def` when the key is absent.
  virtual std::string Read(const std::string& section, const std::string& key,
                           const std::string& def) const = 0;
  // Stores `value` unchanged, replacing any earlier value under any spelling of `key`.
  virtual void Write(const std::string& section, const std::string& key, const std::string& value) = 0;
  // Why the stored settings could not be read (a file that cannot be opened or parsed, a
  // registry key that cannot be opened), or an empty text. A run must not go on with the
  // defaults in place of what the user saved.
  virtual std::string Problem() const { return {}; }
  // Whether every write so far reached the store; the reason of the last one that did
  // not, or an empty text.
  virtual std::string WriteProblem() const { return {}; }
};

// The user's own store for `application`. One back end per platform: on Windows the
// registry, HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>,
// REG_SZ values; elsewhere the INI file $XDG_CONFIG_HOME/<application>/<application>.conf
// (~/.config when XDG_CONFIG_HOME is not set), the file the earlier builds kept.
std::unique_ptr<SettingsStore> OpenUserSettings(const std::string& application);

// The INI file at `file` alone: for tests and tools, never the user's real settings.
std::unique_ptr<SettingsStore> OpenSettingsFile(const std::filesystem::path& file);

// A store in memory, optionally in front of another one: reads find the overrides first,
// then the store behind. Writes stay in memory. Used for one-run overrides
// (`quillward-batch --set`) and in tests.
class MemorySettingsStore : public SettingsStore {
public:
  explicit MemorySettingsStore(const SettingsStore* behind = nullptr) : behind_(behind) {}
  std::string Read(const std::string& section, const std::string& key,
                   const std::string& def) const override;
  void Write(const std::string& section, const std::string& key, const std::string& value) override;
  std::string Problem() const override { return behind_ ? behind_->Problem() : std::string(); }

private:
  const SettingsStore* behind_;
  std::map<std::string, std::string> values_;  // "section/key" case-folded -> value
};
