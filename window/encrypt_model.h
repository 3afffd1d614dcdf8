#pragma once
// The main window frmEncrypt as rules, apart from any toolkit: which folder each side
// shows and how a typed, pasted, dropped or command-line path opens; what Start checks,
// in what order, with which messages; what is enabled during a run; the question on
// Exit and on close during a run; the progress text, the time left, the title's share
// done, which log lines stand out, the summary kept in the status line and when the
// end-of-run notice is given; the remembered folders and place of the window.
//
// The model is the encoding run's host (RunHost) for every face. A face builds its
// controls, hands the model an EncryptFace, calls Form_Load once, then calls the
// handlers below as the user acts. Everything runs on the window's thread.
//
// Start (Command1_Click), in this order:
//   1. A run in progress: nothing.
//   2. The folders are remembered; the old log is cleared.
//   3. A destination that cannot be written (no folder can be made there, or a file
//      cannot be created in it) is refused with one message, before anything is done.
//   4. No kind of script chosen in Options and script files in the source: the question
//      "Nothing is set to be encoded: N script files would be copied as they are." with
//      Options (opens Options, no run), Copy anyway (the run) and Cancel (no run).
//   5. The run (RunEncoding), which refuses same or nested folders, a missing source and
//      a missing encoder with kSourceEncodeTitle messages.
// A refused start writes its reason to the log and the status line too.
// During a run only Stop (and the menus but File, Start) take input; Stop shows
// "Stopping after <file>..." at once and disables itself. After a run the focus goes
// to Start; the summary (RunSummaryText) is the log's last line, the status line and the
// notice's body, in the failure look when something failed; a run that took at least
// NoticeAfterMs while the user was away (EncryptFace::UserIsAway) is told to the desktop.

#include "encrypt_face.h"
#include "progress_model.h"
#include "run/run_host.h"
#include "window_place.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

class SettingsStore;
struct RunOutcome;

class frmEncryptModel : public RunHost {
public:
  // `store` holds the settings the runs and Options share and the remembered folders
  // and place; it must outlive the model. `appDir` is the program's own folder, where
  // the encoder is looked for. `clock` gives milliseconds on a steady clock (tests).
  frmEncryptModel(SettingsStore& store, EncryptFace& face, std::filesystem::path appDir,
                  std::function<long long()> clock = {});
  ~frmEncryptModel() override;

  // Once, before the window is shown: the sides open the folders of the last time (or
  // the nearest folder above one removed since); with none remembered the source opens
  // `currentDir` and the destination a folder beside it named "<name>-encoded" (shown as
  // "will be created"), so the two sides never start at the same folder.
  void Form_Load(const std::string& currentDir);
  // The folders named on the command line (`quillward [SOURCE [DESTINATION]]`), read
  // like typed text relative to `currentDir`; an empty one leaves its side as it is. A
  // file names the folder that holds it.
  void OpenFolders(const std::string& source, const std::string& destination, const std::string& currentDir);

  // The pickers. Each is ignored during a run.
  // A drive picked: its root opens; a drive that cannot be read shows kDeviceUnavailable
  // (critical icon, kEncodeWebsiteTitle) and the side keeps its folder.
  void Drive_Change(Side side, const std::string& root);
  // The path field's text changed (typed or pasted): the list follows it. A folder that
  // exists is listed and chosen; one that does not is shown under its nearest existing
  // folder as pending ("will be created" for the destination, "not found" for the
  // source). The field keeps the text as typed.
  void Path_Change(Side side, const std::string& text);
  // Enter in the path field: as Path_Change, and the field then shows the folder in its
  // clean form (quotes, variables, ~ and relative parts resolved).
  void Path_Enter(Side side);
  // A folder of the list chosen by a click or an arrow key: Start takes it and the field
  // shows it; the list keeps listing the same folder.
  void Dir_Choose(Side side, const std::string& folder);
  // A folder of the list opened (double-click, Enter): listed and chosen.
  void Dir_Open(Side side, const std::string& folder);
  // A drop from a file manager: the first local path; a file opens the folder that
  // holds it. False (nothing taken) during a run or when nothing usable was dropped.
  bool AcceptsDrop() const;
  bool Drop(Side side, const std::string& path);

  const SideView& View(Side side) const;
  // The folder Start would take now, in the pickers' form.
  std::string ChosenFolder(Side side) const;

  void Command1_Click();
  void Command2_Click();
  void mnuFileStart_Click() { Command1_Click(); }
  void mnuFileOpt_Click();
  void mnuHelpAbout_Click();
  // Opens the README's section on the window; a message when it cannot.
  void mnuHelpHelp_Click();
  // File, Exit: with no run, closes at once; during a run asks kCancelQuestion (Yes, No;
  // question icon; kEncodeWebsiteTitle): No goes on, Yes ends the run after the file in
  // hand and closes the window once the run has returned.
  void mnuFileExit_Click();
  // The title bar's close: true when the window may close now. During a run it asks what
  // Exit asks; Yes raises the stop request and returns true (the face hides the window;
  // the run returns and then nothing more is drawn).
  bool Form_QueryUnload();
  // The window closes: its folders and `place` are remembered.
  void Form_Unload(const WindowPlace& place);
  // Where the window goes when it is first shown: the remembered place brought wholly
  // onto `available` (the work area of the screen it was on, or the primary one), else
  // centred at a first size; never larger than `available`. `least` is the face's least
  // size for the classic layout, in the same pixels as `available`.
  WindowPlace PlaceAtStart(PixelSize least, PixelRect available) const;

  bool Busy() const { return state_.Busy; }
  // The settings store, for the dialogs a face opens over it.
  SettingsStore& Store() { return store_; }
  // Tests and faces: how long a run must have taken before its end is told to the desktop.
  void SetNoticeAfter(long long ms) { noticeAfterMs_ = ms; }
  // Tests: where the run looks for the encoder.
  void SetAppDir(const std::filesystem::path& dir) { appDir_ = dir; }
  // The summary of the last run, as in the log, the status line and the notice.
  const std::string& LastSummary() const { return lastSummary_; }

  // RunHost
  std::filesystem::path SourcePath() override;
  std::filesystem::path DestinationPath() override;
  std::filesystem::path AppDir() override { return appDir_; }
  RunState& State() override { return state_; }
  void SetStopEnabled(bool enabled) override;
  void ClearLog() override;
  void AppendLog(const std::string& entry) override;
  void MarkLastFailed() override;
  void RepaintLog() override;
  void ScrollText(std::int16_t lines) override;
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) override;
  void ProcessEvents() override;
  void ShowProgress(long long done, long long total) override;
  void FileBegun(const std::string& path) override;

  // The log and the progress are drawn at most once per frame; events are let in at most
  // every kEventsEveryMs while a run goes.
  static constexpr long long kFrameMs = 50;
  static constexpr long long kEventsEveryMs = 10;

private:
  struct SideState;
  SideState& SideOf(Side side);
  const SideState& SideOf(Side side) const;
  void Publish(Side side);
  void OpenTyped(Side side, const std::string& text, bool clean);
  void ShowControls(bool running);
  bool CheckBeforeRun();
  void EndOfRun(const RunOutcome& outcome);
  bool AskToCancel();
  void ShowFrame(bool now);
  void Refuse(const std::string& reason);

  SettingsStore& store_;
  EncryptFace& face_;
  std::filesystem::path appDir_;
  std::function<long long()> clock_;
  RunState state_;
  ProgressModel progress_;
  struct SideState* sides_[2] = {nullptr, nullptr};
  long long lastFrameMs_ = -1;
  long long lastEventsMs_ = -1;
  long long noticeAfterMs_ = 10000;
  bool closing_ = false;      // Exit or close was confirmed: the window goes after the run
  bool stopping_ = false;     // Stop was pressed in this run
  bool stopEnabled_ = false;  // as the run last set it
  std::string refusal_;       // the run's refusal message, for the log and status line
  std::string heldSummary_;   // the run's own summary line, replaced by the model's
  std::string lastSummary_;
  std::string currentFile_;   // the file handed out last
};
