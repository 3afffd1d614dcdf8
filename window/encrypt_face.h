#pragma once
// What the main window's model (frmEncryptModel) needs from a face that draws it: Qt's
// (ui/) or the native Windows one (ui_win/). The model decides every rule; a face only
// shows what it is handed, asks what it is told to ask, and reports the user's acts back
// to the model's handlers. Every call comes on the window's own thread. Text is UTF-8.

#include "run/run_host.h"

#include <string>
#include <vector>

enum class Side { Source, Destination };

// How a log entry is drawn. The text is always exactly the entry.
enum class EntryLook {
  Plain,
  Failed,         // a file or folder that failed, or a warning that must not be missed
  Summary,        // the run's last line: bold
  FailedSummary,  // the last line of a run where something failed: bold, failure colour
};

// One side's pickers: the drive list (Drive1/Drive2), the path field (txtPath1/txtPath2)
// and the folder list (Dir1/Dir2).
struct SideView {
  // The path field's text. A face sets it only when it differs from what the field holds,
  // so the user's typing is never disturbed (the model echoes what was typed).
  std::string field;
  // The folder whose subfolders the list shows; it exists. The list shows the folders
  // that lead to it, it open, and the folders directly inside it.
  std::string listed;
  // The folder Start takes, which the list highlights: `listed` itself, one of its
  // subfolders, or (when `pending`) a folder not there yet below `listed`, which the list
  // shows as an extra row captioned `pendingCaption` under `listed`.
  std::string chosen;
  bool pending = false;
  std::string pendingCaption;  // "name (will be created)" / "name (not found)"
  // The volume root the drive list shows ("/", "C:\").
  std::string drive;
};

// Which controls take input. A face that is about to disable the control holding the
// focus gives the focus to Stop when Stop is enabled (so Space or Enter pressed again
// stops the run), else leaves it where the face's toolkit puts it.
struct ControlsView {
  bool start = true;    // Command1 and mnuFileStart
  bool stop = false;    // Command2
  bool pickers = true;  // Drive1/2, txtPath1/2, Dir1/2, and drops onto the window
};

// The progress bar (prgRun) under the log.
struct ProgressView {
  bool visible = false;
  bool busy = false;      // no total yet (counting): a moving bar without a value
  long long value = 0;    // files done, unchanged and excluded ones included
  long long maximum = 0;  // the files of the run
  std::string text;       // "Counting files: 1,234", "741 of 1,000 files"
  bool failed = false;    // something failed: the bar is drawn in the failure colour
};

enum class StatusLook { Plain, Failed };

// A message box. `buttons` are the captions in order, with "&" before an access letter;
// the answer is the index of the button pressed, `cancel` when the box is closed with
// Esc or its close button. Standard captions are "OK", "&Yes", "&No", "Cancel".
struct MessageSpec {
  std::string text;
  std::string title;
  MessageIcon icon = MessageIcon::None;
  std::vector<std::string> buttons{"OK"};
  int defaultButton = 0;
  int cancel = 0;
  std::string detail;  // shown under the text in smaller type; may be empty
};

class EncryptFace {
public:
  virtual ~EncryptFace() = default;

  virtual void ShowSide(Side side, const SideView& view) = 0;
  virtual void ShowControls(const ControlsView& view) = 0;
  virtual void ShowTitle(const std::string& title) = 0;
  // The status line under the window (lblStatus): the time left during a run, the
  // summary after it, what a picker or Start refused.
  virtual void ShowStatus(const std::string& text, StatusLook look) = 0;
  virtual void ShowProgress(const ProgressView& view) = 0;

  // The log box (Text1). Entries may be queued and drawn at FlushLog; a face keeps the
  // view at the log's end unless the user scrolled up.
  virtual void ClearLog() = 0;
  virtual void AppendLog(const std::string& entry, EntryLook look) = 0;
  // The entry appended last is a failure: drawn as EntryLook::Failed.
  virtual void MarkLastFailed() = 0;
  virtual void FlushLog() = 0;

  // Shows a modal message box and returns the index of the button pressed. The control
  // that had the focus before has it again after.
  virtual int Ask(const MessageSpec& message) = 0;
  // Lets pending window events run (clicks, keys, paint, close) and returns at once.
  virtual void PumpEvents() = 0;
  // True when the window is shown but not the active one and no modal window of the
  // program is open: then the end of a long run is told to the desktop.
  virtual bool UserIsAway() = 0;
  // The end-of-run notice: a desktop notification and/or a flash of the task bar button.
  virtual void Notify(const std::string& summary, const std::string& body) = 0;

  virtual void FocusStart() = 0;
  // Options and About: modal to the user, but a run goes on while they are open, so a
  // face shows them without a loop of its own (or pumps PumpEvents' loop). The face
  // builds them over a DialogModel / the about texts.
  virtual void OpenOptions() = 0;
  virtual void OpenAbout() = 0;
  // Opens `url` (a file:// URL, possibly with a #fragment) in the user's viewer; false
  // when nothing could be started.
  virtual bool OpenDocument(const std::string& url) = 0;
  // Closes the window for good (the model has already asked and remembered).
  virtual void CloseWindow() = 0;
};
