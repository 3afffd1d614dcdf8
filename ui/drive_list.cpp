#include "drive_list.h"

#include <QSignalBlocker>
#include <QStyle>

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  SetVolumes(MachineVolumes());
  connect(this, &QComboBox::currentIndexChanged, this, [this] { emit Change(); });
}

void DriveList::SetVolumes(const QList<Volume>& volumes) {
  const QString shown = Drive();
  const QSignalBlocker block(this);
  clear();
  const QIcon icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
  for (const Volume& v : volumes) {
    const QString text = v.label.isEmpty() ? v.root : QStringLiteral("%1  [%2]").arg(v.root, v.label);
    addItem(icon, text, v.root);
  }
  ShowDrive(shown);
}

QString DriveList::Drive() const { return currentData().toString(); }

void DriveList::ShowDrive(const QString& root) {
  const QSignalBlocker block(this);
  const int index = findData(root);
  if (index >= 0) setCurrentIndex(index);
}
