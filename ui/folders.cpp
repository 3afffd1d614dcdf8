#include "folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace {

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

QList<Volume> MachineVolumes() {
  QList<Volume> volumes;
  auto add = [&volumes](const QString& rootPath, const QString& label) {
    const QString root = CleanFolderPath(rootPath);
    if (!QFileInfo(rootPath).isDir()) return;  // bind mounts of single files
    for (const Volume& v : volumes) {
      if (v.root == root) return;
    }
    volumes.append({root, label});
  };
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) add(info.rootPath(), info.name());
  for (const QFileInfo& drive : QDir::drives()) add(drive.absoluteFilePath(), QString());
  std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
    return a.root.compare(b.root, Qt::CaseInsensitive) < 0;
  });
  return volumes;
}

QString VolumeRootOf(const QString& path) {
  const QStorageInfo info(QDir::fromNativeSeparators(path));
  return info.isValid() ? CleanFolderPath(info.rootPath()) : CleanFolderPath(QDir::rootPath());
}

FolderAccess CheckFolder(const QString& path) {
  const QFileInfo info(QDir::fromNativeSeparators(path));
  if (!info.exists() || !info.isDir()) return FolderAccess::Unavailable;
  if (!info.isReadable() || !info.isExecutable()) return FolderAccess::Denied;
  return FolderAccess::Ok;
}

FolderListing ListFolder(const QString& path) {
  FolderListing listing;
  QDir dir(QDir::fromNativeSeparators(CleanFolderPath(path)));
  for (QDir up = dir;; ) {
    listing.ancestors.prepend(CleanFolderPath(up.absolutePath()));
    if (up.isRoot() || !up.cdUp()) break;
  }
  const QFileInfoList inside =
      dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& info : inside) listing.children.append(CleanFolderPath(info.absoluteFilePath()));
  return listing;
}

QString CleanFolderPath(const QString& path) {
  return Native(QDir::cleanPath(QDir::fromNativeSeparators(path)));
}

QString FolderName(const QString& path) {
  const QString clean = QDir::fromNativeSeparators(CleanFolderPath(path));
  const QString name = QFileInfo(clean).fileName();
  return name.isEmpty() ? Native(clean) : name;
}

QString WithTrailingSeparator(const QString& dir, QChar separator) {
  return dir.endsWith(separator) ? dir : dir + separator;
}
