#include "sysinfo_system.h"

#include "run_text.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

HostSysInfoSystem::HostSysInfoSystem(const SettingsStore& store, std::unique_ptr<RegistryApi> registry)
    : store_(store), registry_(std::move(registry)) {}

HostSysInfoSystem::~HostSysInfoSystem() = default;

QString HostSysInfoSystem::Setting(const QString& key) { return ReadSetting(store_, key, QString()); }

bool HostSysInfoSystem::FileExists(const QString& path) { return QFileInfo(path).isFile(); }

QString HostSysInfoSystem::FindOnPath(const QString& program) { return QStandardPaths::findExecutable(program); }

bool HostSysInfoSystem::StartDetached(const QString& program) { return QProcess::startDetached(program, {}); }
