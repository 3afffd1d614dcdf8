#pragma once
// The About window: the program's title, version and description, and a System Info
// button that starts the system's information viewer.

#include "about_model.h"

#include <QDialog>
#include <memory>

class LineControl;
class QLabel;
class QPushButton;
class SettingsStore;


class frmAbout : public QDialog {
  Q_OBJECT
public:
  // Centred on `parent`, the window that opens it. `system` replaces the real system
  // (tests); by default the viewer path setting is read from `store`.
  frmAbout(const SettingsStore& store, QWidget* parent = nullptr, std::unique_ptr<SysInfoSystem> system = nullptr);
  ~frmAbout() override;

  // Starts the viewer, or says that there is none.
  void StartSysInfo();

  QLabel* picIcon;
  QLabel* lblTitle;
  QLabel* lblVersion;
  QLabel* lblDescription;
  LineControl* Line1_1;
  LineControl* Line1_0;
  QLabel* lblDisclaimer;
  QPushButton* cmdOK;
  QPushButton* cmdSysInfo;

private:
  void BuildControls();
  void Form_Load();
  void cmdOK_Click();
  void cmdSysInfo_Click();

  std::unique_ptr<SysInfoSystem> system_;
};
