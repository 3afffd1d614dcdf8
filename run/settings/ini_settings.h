#pragma once
// The settings store in INI files: the first file is the one written; reads look in the
// files in order, so later ones give defaults (as the system-wide files do for Qt's
// settings class, which kept this store in earlier builds).
//
// Each read sees the file as it is now (it is read again when it has changed); each
// write takes the file's lock, reads it afresh, changes the one key and replaces the
// file whole (a new file renamed into place), so a reader never sees half a file and a
// writer never loses another's change.

#include "run/util/ini_file.h"
#include "run/settings/settings_store.h"

#include <filesystem>
#include <optional>
#include <vector>

class IniSettingsStore : public SettingsStore {
public:
  explicit IniSettingsStore(std::vector<std::filesystem::path> files);

  std::string Read(const std::string& section, const std::string& key,
                   const std::string& def) const override;
  void Write(const std::string& section, const std::string& key, const std::string& value) override;
  std::string Problem() const override;
  std::string WriteProblem() const override { return writeProblem_; }

private:
  struct Loaded {
    std::filesystem::path file;
    std::optional<std::filesystem::file_time_type> time;  // nothing: no file
    std::uintmax_t size = 0;
    IniDocument document;
    std::string problem;  // why the file could not be read
  };
  const Loaded& Current(std::size_t index) const;

  mutable std::vector<Loaded> files_;
  std::string writeProblem_;
};
