#pragma once
// The drive list: the volume roots of the machine, showing one of them.

#include "folders.h"

#include <QComboBox>

class DriveList : public QComboBox {
  Q_OBJECT
public:
  explicit DriveList(QWidget* parent);

  // Fills the list (tests give their own volumes); keeps the shown root when it is listed.
  void SetVolumes(const QList<Volume>& volumes);
  // The root of the shown entry.
  QString Drive() const;
  // Shows the entry of `root` without reporting a change.
  void ShowDrive(const QString& root);

signals:
  // The user, or the program, picked another entry.
  void Change();
};
