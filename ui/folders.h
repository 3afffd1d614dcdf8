#pragma once
// What the drive and folder lists show, apart from the widgets that show it: the volume
// roots of the machine, whether a folder can be opened, the folders that lead to a path
// and those directly inside it. Paths are text with native separators and no trailing
// separator except at a root ("/", "C:\").

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

enum class FolderAccess {
  Ok,           // the folder exists and can be listed
  Unavailable,  // nothing there: a drive without a medium, a volume gone
  Denied,       // there, but it cannot be listed
};
FolderAccess CheckFolder(const QString& path);

struct FolderListing {
  QStringList ancestors;  // from the root down to the folder itself, full paths
  QStringList children;   // the folders directly inside it, full paths, by name ignoring case
};
FolderListing ListFolder(const QString& path);

// `path` in the folder lists' form: native separators, no "." or "..", no trailing
// separator except at a root.
QString CleanFolderPath(const QString& path);
// The last element of `path`, or the root itself.
QString FolderName(const QString& path);
// `dir` ending in one `separator`: "C:\Tools" gives "C:\Tools\", "C:\" stays.
QString WithTrailingSeparator(const QString& dir, QChar separator);
