#pragma once
// The window program's command line (`quillward [SOURCE [DESTINATION]]`), and the keys
// under which the window model remembers the folders and the window's place, per user in
// the settings store beside the run's keys.

#include "run/settings/settings_keys.h"

#include <QString>
#include <QStringList>

inline const QString kLastSourceKey = QString::fromLatin1(setting_keys::kLastSource);
inline const QString kLastDestinationKey = QString::fromLatin1(setting_keys::kLastDestination);
inline const QString kWindowGeometryKey = QString::fromLatin1(setting_keys::kWindowPlace);

struct StartArgs {
  QString source;       // empty: not given
  QString destination;  // empty: not given
  bool help = false;
  QString error;  // not empty: the arguments cannot be used
};

// The arguments after the program's name (Qt's own already taken out). "--" ends the
// options; a folder may then begin with "-".
StartArgs ParseStartArgs(const QStringList& args);
QString StartUsage();
