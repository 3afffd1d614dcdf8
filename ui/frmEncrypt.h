#pragma once
// The main window: the source and destination pickers (drive list, path field, folder
// list), the log, the progress of a run, Start and Stop, and the File and Help menus.
// It is the encoding run's host: the run reaches the window only through RunHost, and
// the window holds RunState and AppDir for its whole life. The RunHost methods only
// convert and hand on; what they show is drawn once per frame (about 50 ms), so a run
// costs the window about what it costs the console.

#include "run_host.h"
#include "run_progress.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>

class Button;
class DriveList;
class FolderList;
class LogBox;
class PathField;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class SettingsStore;
struct RunOutcome;

class frmEncrypt : public QMainWindow, public RunHost {
  Q_OBJECT
public:
  // `store` holds the settings the runs and the Options dialog share; it must outlive
  // the window. The folders are the ones remembered from the last time, else the
  // process's current folder.
  explicit frmEncrypt(SettingsStore& store);

  // Opens the folders named on the command line; either may be empty (then the side
  // keeps its folder). A destination that does not exist is created when Start is pressed.
  void OpenFolders(const QString& source, const QString& destination);
  // Shows the window where the user left it, or centred at its first size.
  void ShowWhereLeft();

  // Tests: where the run looks for the encoder instead of the program's own folder.
  void SetAppDir(const QString& dir);
  // Tests: how a run's end is told to the desktop (by default a desktop notification
  // and a flash of the task bar entry), and after how long a run (10 s by default).
  using Notifier = std::function<void(const QString& summary, const QString& body)>;
  void SetNotifier(Notifier notifier) { notify_ = std::move(notifier); }
  void SetNoticeAfter(qint64 ms) { noticeAfterMs_ = ms; }

  // RunHost
  std::filesystem::path SourcePath() override;
  std::filesystem::path DestinationPath() override;
  std::filesystem::path AppDir() override;
  RunState& State() override { return state_; }
  void SetStopEnabled(bool enabled) override;
  void ClearLog() override;
  void AppendLog(const std::string& entry) override;
  void MarkLastFailed() override;
  void RepaintLog() override;
  void ScrollText(std::int16_t lines) override;
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) override;
  void ProcessEvents() override;
  void ShowProgress(qint64 done, qint64 total) override;

  // The whole log, lines joined by CR LF.
  QString LogText() const;

  QLabel* Label1;
  QLabel* Label2;
  DriveList* Drive1;
  DriveList* Drive2;
  PathField* txtPath1;
  PathField* txtPath2;
  FolderList* Dir1;
  FolderList* Dir2;
  LogBox* Text1;
  QProgressBar* prgRun;
  Button* Command1;
  Button* Command2;
  QLabel* lblStatus;
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
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void BuildControls(QWidget* client);
  void NameControls();
  void BuildMenus();
  void Connect();
  void SetRunning(bool running);
  void ChangeDrive(DriveList* drive, FolderList* dir);
  void ShowOpened(FolderList* dir, DriveList* drive, PathField* field);
  void OpenTyped(PathField* field, FolderList* dir, bool destination);
  void ShowFrame(bool now);
  void EndOfRun(const RunOutcome& outcome);
  bool AskToCancel();
  void Remember();

  void Form_Load();
  void Drive1_Change();
  void Drive2_Change();
  void Dir1_Change();
  void Dir2_Change();
  void txtPath1_Open();
  void txtPath2_Open();
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
  RunProgress progress_;
  QElapsedTimer frame_;
  QElapsedTimer events_;  // since events were last let in
  static constexpr int kEventsEveryMs = 10;
  bool exitConfirmed_ = false;
  Notifier notify_;
  qint64 noticeAfterMs_ = 10000;
};
