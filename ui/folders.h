#pragma once
// The drive list's volumes, and the folder rules of window/folder_paths.h in the
// windows' text (QString). Paths are text with native separators and no trailing
// separator except at a root ("/", "C:\").

#include "folder_paths.h"

#include <QList>
#include <QString>
#include <QStringList>

struct Volume {
  QString root;   // "/", "/media/usb", "C:\"
  QString label;  // the volume's name, may be empty
};

// The volume roots of the machine (drives on Windows, mounted volumes elsewhere), sorted.
QList<Volume> MachineVolumes();
// The root of the volume that holds `path`.
QString VolumeRootOf(const QString& path);

FolderAccess CheckFolder(const QString& path);
// `path` in the folder lists' form: native separators, no "." or "..", no trailing
// separator except at a root.
QString CleanFolderPath(const QString& path);
// The last element of `path`, or the root itself.
QString FolderName(const QString& path);
// `dir` ending in one `separator`: "C:\Tools" gives "C:\Tools\", "C:\" stays.
QString WithTrailingSeparator(const QString& dir, QChar separator);
