#pragma once
// The folder list: the folders that lead to the current path, the current one open, and
// the folders directly inside it. A double-click (or Enter) opens a folder.

#include "folders.h"

#include <QTreeWidget>

class FolderList : public QTreeWidget {
  Q_OBJECT
public:
  explicit FolderList(QWidget* parent);

  // The opened folder, without a trailing separator except at a root.
  QString Path() const { return path_; }
  // Opens `path`. When it cannot be opened nothing changes and the reason is returned.
  FolderAccess SetPath(const QString& path);

signals:
  void Change();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  // No expand arrows: every folder shown is open or closed for good.
  void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
  void Rebuild(const FolderListing& listing);
  void OpenItem(QTreeWidgetItem* item);

  QString path_;
};
