#pragma once
// The parts of the real SysInfoSystem that are the same on every platform: settings,
// file test, PATH search and the detached start. The registry comes from the platform.

#include "sysinfo.h"

class HostSysInfoSystem : public SysInfoSystem {
public:
  HostSysInfoSystem(const SettingsStore& store, std::unique_ptr<RegistryApi> registry);
  ~HostSysInfoSystem() override;

  RegistryApi& Registry() override { return *registry_; }
  QString Setting(const QString& key) override;
  bool FileExists(const QString& path) override;
  QString FindOnPath(const QString& program) override;
  bool StartDetached(const QString& program) override;

private:
  const SettingsStore& store_;
  std::unique_ptr<RegistryApi> registry_;
};
