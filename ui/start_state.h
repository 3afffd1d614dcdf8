#pragma once
// What the main window starts with: the folders named on the command line
// (`quillward [SOURCE [DESTINATION]]`), else the ones remembered from the last time, and
// the window's remembered size and place. Remembered per user in the settings store,
// beside the run's keys and apart from them.

#include <QByteArray>
#include <QString>
#include <QStringList>

class SettingsStore;

inline const QString kLastSourceKey = QStringLiteral("LastSource");
inline const QString kLastDestinationKey = QStringLiteral("LastDestination");
inline const QString kWindowGeometryKey = QStringLiteral("WindowGeometry");

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

struct Remembered {
  QString source, destination;  // empty when none is stored
  QByteArray geometry;          // empty when none is stored
};
Remembered ReadRemembered(const SettingsStore& store);
void RememberFolders(SettingsStore& store, const QString& source, const QString& destination);
void RememberGeometry(SettingsStore& store, const QByteArray& geometry);

// `path` when it is a folder, else the nearest folder above it that exists: a
// remembered folder that was removed since opens its parent.
QString NearestFolder(const QString& path);
