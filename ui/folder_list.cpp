#include "folder_list.h"

#include "run_text.h"

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
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!rebuilding_ && item) emit Chosen(item->data(0, kPathRole).toString());
  });
}

FolderAccess FolderList::SetPath(const QString& path) {
  const QString clean = CleanFolderPath(path);
  const FolderAccess access = CheckFolder(clean);
  if (access != FolderAccess::Ok) return access;
  const bool changed = clean != path_;
  path_ = clean;
  Rebuild(clean, clean, QString());
  if (changed) emit Change();
  return FolderAccess::Ok;
}

void FolderList::Show(const QString& listed, const QString& chosen, const QString& pendingCaption) {
  path_ = CleanFolderPath(listed);
  Rebuild(path_, CleanFolderPath(chosen), pendingCaption);
}

void FolderList::Rebuild(const QString& listed, const QString& chosen, const QString& pendingCaption) {
  const FolderListing listing = ListFolder(RunText(listed));
  rebuilding_ = true;
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  QTreeWidgetItem* parentItem = nullptr;
  QTreeWidgetItem* current = nullptr;
  for (const std::string& text : listing.ancestors) {
    const QString path = QtText(text);
    auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
    item->setText(0, FolderName(path));
    item->setIcon(0, open);
    item->setData(0, kPathRole, path);
    parentItem = item;
  }
  current = parentItem;
  for (const std::string& text : listing.children) {
    const QString path = QtText(text);
    auto* item = new QTreeWidgetItem(parentItem);
    item->setText(0, FolderName(path));
    item->setIcon(0, closed);
    item->setData(0, kPathRole, path);
    if (path == chosen) current = item;
  }
  if (!pendingCaption.isEmpty() && parentItem) {
    auto* item = new QTreeWidgetItem(parentItem);
    item->setText(0, pendingCaption);
    item->setIcon(0, style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    item->setData(0, kPathRole, chosen);
    QFont italic = font();
    italic.setItalic(true);
    item->setFont(0, italic);
    current = item;
  }
  expandAll();
  if (current) {
    setCurrentItem(current);
    scrollToItem(parentItem, QAbstractItemView::PositionAtTop);
    scrollToItem(current);
  }
  rebuilding_ = false;
}

void FolderList::OpenItem(QTreeWidgetItem* item) {
  if (!item) return;
  const QString path = item->data(0, kPathRole).toString();
  SetPath(path);
  emit Opened(path);
}

void FolderList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    OpenItem(currentItem());
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}
