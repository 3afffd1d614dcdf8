#pragma once
// The main window: the source and destination pickers (drive list, path field, folder
// list), the log, the progress of a run, Start and Stop, and the File and Help menus.
// It is Qt's face of frmEncryptModel (window/encrypt_model.h), which holds every rule and
// is the run's host: the window draws what the model hands it and reports the user's acts
// to the model's handlers. The model draws at most once per frame (about 50 ms), so a run
// costs the window about what it costs the console.

#include "encrypt_face.h"
#include "encrypt_model.h"

#include <QMainWindow>
#include <functional>
#include <memory>

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

class frmEncrypt : public QMainWindow, public EncryptFace {
  Q_OBJECT
public:
  // `store` holds the settings the runs and the Options dialog share; it must outlive
  // the window. The folders are the ones remembered from the last time, else the
  // process's current folder and a new folder beside it.
  explicit frmEncrypt(SettingsStore& store);
  ~frmEncrypt() override;

  // Opens the folders named on the command line; either may be empty (then the side
  // keeps its folder). A destination that does not exist is created when Start is pressed.
  void OpenFolders(const QString& source, const QString& destination);
  // Shows the window where the user left it (brought wholly onto the screen), or centred
  // at its first size; never larger than the screen's work area.
  void ShowWhereLeft();

  // Tests: where the run looks for the encoder instead of the program's own folder.
  void SetAppDir(const QString& dir);
  // Tests: how a run's end is told to the desktop (by default a desktop notification
  // and a flash of the task bar entry), and after how long a run (10 s by default).
  using Notifier = std::function<void(const QString& summary, const QString& body)>;
  void SetNotifier(Notifier notifier) { notify_ = std::move(notifier); }
  void SetNoticeAfter(qint64 ms) { model_->SetNoticeAfter(ms); }
  // Tests: how Help, Help opens a document (by default the desktop's viewer).
  using DocumentOpener = std::function<bool(const QString& url)>;
  void SetDocumentOpener(DocumentOpener opener) { openDocument_ = std::move(opener); }

  // The run's host is the model; these hand on to it.
  frmEncryptModel& Model() { return *model_; }
  RunState& State() { return model_->State(); }
  std::filesystem::path SourcePath() { return model_->SourcePath(); }
  std::filesystem::path DestinationPath() { return model_->DestinationPath(); }
  std::filesystem::path AppDir() { return model_->AppDir(); }
  void AppendLog(const std::string& entry) { model_->AppendLog(entry); }
  void RepaintLog() { model_->RepaintLog(); }
  void ShowProgress(qint64 done, qint64 total) { model_->ShowProgress(done, total); }

  // The whole log, lines joined by CR LF.
  QString LogText() const;

  // EncryptFace
  void ShowSide(Side side, const SideView& view) override;
  void ShowControls(const ControlsView& view) override;
  void ShowTitle(const std::string& title) override;
  void ShowStatus(const std::string& text, StatusLook look) override;
  void ShowProgress(const ProgressView& view) override;
  void ClearLog() override;
  void AppendLog(const std::string& entry, EntryLook look) override;
  void MarkLastFailed() override;
  void FlushLog() override;
  int Ask(const MessageSpec& message) override;
  void PumpEvents() override;
  bool UserIsAway() override;
  void Notify(const std::string& summary, const std::string& body) override;
  void FocusStart() override;
  void OpenOptions() override;
  void OpenAbout() override;
  bool OpenDocument(const std::string& url) override;
  void CloseWindow() override;

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
  void ConnectSide(Side side, DriveList* drive, PathField* field, FolderList* dir);
  // The screen's work area less the window's frame, in the window's own pixels.
  PixelRect ClientArea() const;

  void Form_Load();
  void Command1_Click();
  void Command2_Click();

  std::unique_ptr<frmEncryptModel> model_;
  bool showing_ = false;  // a side is being shown: its changes are the model's own
  Notifier notify_;
  DocumentOpener openDocument_;
};
