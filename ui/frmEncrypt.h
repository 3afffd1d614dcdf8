#pragma once
// The main window: the source and destination pickers, the log, Start and Stop, and the
// File and Help menus. It is the encoding run's host: the run reaches the window only
// through RunHost, and the window holds RunState and AppDir for its whole life.

#include "run_host.h"

#include <QMainWindow>

class DriveList;
class FolderList;
class LogBox;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class SettingsStore;

class frmEncrypt : public QMainWindow, public RunHost {
  Q_OBJECT
public:
  // `store` holds the settings the runs and the Options dialog share; it must outlive
  // the window.
  explicit frmEncrypt(SettingsStore& store);

  // Tests: where the run looks for the encoder instead of the program's own folder.
  void SetAppDir(const QString& dir);

  // RunHost
  std::filesystem::path SourcePath() override;
  std::filesystem::path DestinationPath() override;
  std::filesystem::path AppDir() override;
  RunState& State() override { return state_; }
  void SetStopEnabled(bool enabled) override;
  void ClearLog() override;
  void AppendLog(const std::string& entry) override;
  void RepaintLog() override;
  void ScrollText(std::int16_t lines) override;
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) override;
  void ProcessEvents() override;

  // The whole log, lines joined by CR LF.
  QString LogText() const;

  QLabel* Label1;
  QLabel* Label2;
  DriveList* Drive1;
  DriveList* Drive2;
  FolderList* Dir1;
  FolderList* Dir2;
  LogBox* Text1;
  QPushButton* Command1;
  QPushButton* Command2;
  QMenu* mnuFile;
  QAction* mnuFileStart;
  QAction* mnuFileSep2;
  QAction* mnuFileOpt;
  QAction* mnuFileSep1;
  QAction* mnuFileExit;
  QMenu* mnuHelp;
  QAction* mnuHelpAbout;
  QAction* mnuHelpHelp;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildControls(QWidget* client);
  void BuildMenus();
  void Connect();
  void SetRunning(bool running);
  void ChangeDrive(DriveList* drive, FolderList* dir);

  void Form_Load();
  void Drive1_Change();
  void Drive2_Change();
  void Command1_Click();
  void Command2_Click();
  void mnuFileStart_Click();
  void mnuFileOpt_Click();
  void mnuFileExit_Click();
  void mnuHelpAbout_Click();
  void mnuHelpHelp_Click();

  SettingsStore& store_;
  RunState state_;
  QString appDir_;
};
