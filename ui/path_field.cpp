#include "path_field.h"

#include "folder_paths.h"
#include "folders.h"
#include "run_text.h"

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
  return QtText(::TypedFolder(RunText(text), RunText(base), RunText(QDir::toNativeSeparators(QDir::homePath()))));
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
