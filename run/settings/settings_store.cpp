#include "run/settings/settings_store.h"

#include "run/util/text.h"

namespace {

std::string MemoryKey(const std::string& section, const std::string& key) {
  return FoldCase(section + "/" + key);
}

}  // namespace

std::string MemorySettingsStore::Read(const std::string& section, const std::string& key,
                                      const std::string& def) const {
  const auto it = values_.find(MemoryKey(section, key));
  if (it != values_.end()) return it->second;
  return behind_ ? behind_->Read(section, key, def) : def;
}

void MemorySettingsStore::Write(const std::string& section, const std::string& key,
                                const std::string& value) {
  values_[MemoryKey(section, key)] = value;
}
