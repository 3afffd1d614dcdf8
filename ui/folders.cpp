#include "folders.h"

#include "run_text.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

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

QString VolumeRootOf(const QString& path) { return QtText(::VolumeRootOf(RunText(path))); }

FolderAccess CheckFolder(const QString& path) { return ::CheckFolder(RunText(path)); }

QString CleanFolderPath(const QString& path) {
  return QtText(::CleanFolderPath(RunText(QDir::toNativeSeparators(path))));
}

QString FolderName(const QString& path) { return QtText(::FolderName(RunText(QDir::toNativeSeparators(path)))); }

QString WithTrailingSeparator(const QString& dir, QChar separator) {
  return dir.endsWith(separator) ? dir : dir + separator;
}
