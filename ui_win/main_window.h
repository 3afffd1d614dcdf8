#pragma once
// The main window frmEncrypt as a native Windows window: the controls of the classic
// layout (plus a path field per side, a progress bar and a status bar), the File and
// Help menus, drops from Explorer, the taskbar button's progress. It draws what the
// model (frmEncryptModel) hands it and reports the user's acts to the model; it holds
// no rule of its own.

#include "encrypt_face.h"
#include "encrypt_model.h"
#include "log_view.h"
#include "side_picker.h"
#include "taskbar_button.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

class SettingsStore;

class frmEncrypt : public EncryptFace {
public:
  frmEncrypt(SettingsStore& store, const std::wstring& appDir);
  ~frmEncrypt() override;

  // Creates the window (Form_Load runs), opens the command line's folders and shows it
  // where the user left it. False when the window could not be made.
  bool Create(const std::string& source, const std::string& destination);
  HWND window() const { return hwnd_; }
  frmEncryptModel& model() { return *model_; }

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

private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void BuildControls();
  void BuildMenus();
  void Layout();
  void ApplyDpi(UINT dpi);
  SIZE LeastFrame() const;
  void OnCommand(int id, int code, HWND from);
  void OnEnter();
  void OnDrop(HDROP drop);
  void OnClose();
  void Destroy();
  WindowPlace CurrentPlace() const;
  SidePicker& Picker(Side side) { return side == Side::Source ? *source_ : *destination_; }

  SettingsStore& store_;
  std::wstring appDir_;
  HWND hwnd_ = nullptr;
  HWND Label1 = nullptr, Label2 = nullptr;
  HWND Command1 = nullptr, Command2 = nullptr;
  HWND prgRun = nullptr, lblStatus = nullptr;
  HMENU menu_ = nullptr;
  std::unique_ptr<SidePicker> source_, destination_;
  std::unique_ptr<LogView> Text1;
  std::unique_ptr<frmEncryptModel> model_;
  TaskbarButton taskbar_;
  UINT dpi_ = 96;
  int runDepth_ = 0;          // inside Start's handler: the run holds the thread
  bool closeAfterRun_ = false;
  bool unloaded_ = false;     // the folders and place are remembered
  bool progressBusy_ = false;
  HWND options_ = nullptr, about_ = nullptr;
};
