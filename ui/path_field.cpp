#include "path_field.h"

#include "folders.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

PathField::PathField(QWidget* parent) : QLineEdit(parent) {
  // A folder dropped here is the window's to open, not text to insert.
  setAcceptDrops(false);
  setClearButtonEnabled(false);
  connect(this, &QLineEdit::returnPressed, this, [this] { emit Open(Folder()); });
}

void PathField::ShowFolder(const QString& path) {
  shown_ = path;
  setText(path);
  setCursorPosition(0);
}

QString PathField::Folder() const { return TypedFolder(text(), shown_); }

QString TypedFolder(const QString& text, const QString& base) {
  QString t = text.trimmed();
  if (t.size() >= 2 && (t.front() == u'"' || t.front() == u'\'') && t.back() == t.front()) t = t.mid(1, t.size() - 2);
  if (t.startsWith(QLatin1String("file:"))) t = QUrl(t).toLocalFile();
  if (t.isEmpty()) return QString();
  if (t == QLatin1String("~") || t.startsWith(QLatin1String("~/"))) t = QDir::homePath() + t.mid(1);
  const QString plain = QDir::fromNativeSeparators(t);
  const QString absolute =
      QDir::isAbsolutePath(plain) ? plain : QDir(QDir::fromNativeSeparators(base)).absoluteFilePath(plain);
  return CleanFolderPath(absolute);
}

QString DroppedFolder(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return QString();
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo info(url.toLocalFile());
    if (info.isDir()) return CleanFolderPath(info.absoluteFilePath());
    if (info.exists()) return CleanFolderPath(info.absolutePath());
  }
  return QString();
}
