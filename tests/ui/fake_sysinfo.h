#pragma once
// Stand-ins for the registry and the system behind the System Info button.

#include "about_model.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct StoredValue {
  std::uint32_t type;
  std::string bytes;
};

// Keys by name below HKEY_LOCAL_MACHINE; reads fail, like the real call, when the value
// needs more bytes than offered.
class FakeRegistry : public RegistryApi {
public:
  bool OpenKey(std::int32_t root, const std::string& keyName, std::uint32_t access, std::uintptr_t& key) override {
    lastAccess = access;
    if (root != kHkeyLocalMachine || !keys.count(keyName)) return false;
    keyNames.push_back(keyName);
    key = keyNames.size();
    open.insert(key);
    return true;
  }
  bool QueryValue(std::uintptr_t key, const std::string& valueName, std::uint32_t& type, std::string& buffer) override {
    offered = static_cast<int>(buffer.size());
    const auto& values = keys[keyNames[key - 1]];
    const auto it = values.find(valueName);
    if (it == values.end() || it->second.bytes.size() > buffer.size()) return false;
    type = it->second.type;
    buffer = it->second.bytes;
    return true;
  }
  void CloseKey(std::uintptr_t key) override { open.erase(key); }

  std::map<std::string, std::map<std::string, StoredValue>> keys;
  std::vector<std::string> keyNames;
  std::set<std::uintptr_t> open;
  std::uint32_t lastAccess = 0;
  int offered = 0;
};

class FakeSystem : public SysInfoSystem {
public:
  RegistryApi& Registry() override { return registry; }
  std::string Setting(const std::string& key) override { return settings.count(key) ? settings[key] : ""; }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  std::string FindOnPath(const std::string& program) override { return onPath.count(program) ? onPath[program] : ""; }
  bool StartDetached(const std::string& program) override {
    started.push_back(program);
    return startWorks;
  }

  FakeRegistry registry;
  std::map<std::string, std::string> settings;
  std::set<std::string> files;
  std::map<std::string, std::string> onPath;
  std::vector<std::string> started;
  bool startWorks = true;
};
