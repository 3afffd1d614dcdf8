#pragma once
// The folder list: the folders that lead to the listed folder, it open, and the folders
// directly inside it; the chosen folder highlighted, and a folder not there yet as a row
// of its own under the listed one. A click or an arrow key chooses a folder (Chosen); a
// double-click or Enter opens it (Opened, and the list lists it).

#include "folders.h"

#include <QTreeWidget>

class FolderList : public QTreeWidget {
  Q_OBJECT
public:
  explicit FolderList(QWidget* parent);

  // The listed folder, without a trailing separator except at a root.
  QString Path() const { return path_; }
  // Lists `path`. When it cannot be opened nothing changes and the reason is returned.
  FolderAccess SetPath(const QString& path);
  // Lists `listed`, highlights `chosen`; a `pendingCaption` adds the chosen folder, not
  // there yet, as a row under `listed`. Reports nothing.
  void Show(const QString& listed, const QString& chosen, const QString& pendingCaption);

signals:
  void Change();                        // SetPath or an opened folder listed another folder
  void Chosen(const QString& folder);   // by a click or an arrow key
  void Opened(const QString& folder);   // by a double-click or Enter

protected:
  void keyPressEvent(QKeyEvent* event) override;
  // No expand arrows: every folder shown is open or closed for good.
  void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
  void Rebuild(const QString& listed, const QString& chosen, const QString& pendingCaption);
  void OpenItem(QTreeWidgetItem* item);

  QString path_;
  bool rebuilding_ = false;
};
