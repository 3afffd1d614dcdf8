#include "folder_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

namespace {

constexpr int kPathRole = Qt::UserRole;

}  // namespace

FolderList::FolderList(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setIndentation(10);
  setUniformRowHeights(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A focus mark that can be seen from across the room: the list's frame turns into a
  // thick line in the highlight colour while the list has the focus.
  setStyleSheet(QStringLiteral("FolderList { border: 2px solid palette(mid); }"
                               "FolderList:focus { border: 2px solid palette(highlight); }"
                               "FolderList:disabled { border: 2px solid palette(midlight); }"));
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OpenItem(item); });
}

FolderAccess FolderList::SetPath(const QString& path) {
  const QString clean = CleanFolderPath(path);
  const FolderAccess access = CheckFolder(clean);
  if (access != FolderAccess::Ok) return access;
  const bool changed = clean != path_;
  path_ = clean;
  Rebuild(ListFolder(clean));
  if (changed) emit Change();
  return FolderAccess::Ok;
}

void FolderList::Rebuild(const FolderListing& listing) {
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  QTreeWidgetItem* parentItem = nullptr;
  for (const QString& path : listing.ancestors) {
    auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
    item->setText(0, FolderName(path));
    item->setIcon(0, open);
    item->setData(0, kPathRole, path);
    parentItem = item;
  }
  for (const QString& path : listing.children) {
    auto* item = new QTreeWidgetItem(parentItem);
    item->setText(0, FolderName(path));
    item->setIcon(0, closed);
    item->setData(0, kPathRole, path);
  }
  expandAll();
  if (parentItem) {
    setCurrentItem(parentItem);
    scrollToItem(parentItem, QAbstractItemView::PositionAtTop);
  }
}

void FolderList::OpenItem(QTreeWidgetItem* item) {
  if (item) SetPath(item->data(0, kPathRole).toString());
}

void FolderList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    OpenItem(currentItem());
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}
