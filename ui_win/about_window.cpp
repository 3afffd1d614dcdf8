#include "about_window.h"

#include "about_model.h"
#include "ask_box.h"
#include "dialog_frame.h"
#include "win_util.h"

#include <memory>

namespace {

enum : int { kIcon = 3000, kTitle, kVersion, kDescription, kLine1, kLine0, kDisclaimer, kSysInfo };

class frmAbout {
public:
  frmAbout(SettingsStore& store, std::function<void()> closed) : store_(store), closed_(std::move(closed)) {}

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<frmAbout*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_INITDIALOG) self->hwnd_ = hwnd;
    return self->Handle(message, wParam, lParam);
  }

private:
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
      case WM_INITDIALOG: Form_Load(); return FALSE;
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
          CloseOwnedModal(hwnd_);  // cmdOK_Click; Enter, Esc and the close box alike
        } else if (LOWORD(wParam) == kSysInfo) {
          cmdSysInfo_Click();
        }
        return TRUE;
      case WM_DESTROY: {
        auto closed = closed_;
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        delete this;
        if (closed) closed();
        return TRUE;
      }
      default: return FALSE;
    }
  }

  void Place(int id, int left, int top, int width, int height) {
    const RECT r = TwipsRect(left, top, width, height, dpi_);
    SetWindowPos(GetDlgItem(hwnd_, id), nullptr, r.left, r.top, r.right - r.left, std::max<int>(2, r.bottom - r.top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void Form_Load() {
    dpi_ = WindowDpi(GetWindow(hwnd_, GW_OWNER));
    const AboutTexts t = AboutFormLoad();
    SetWindowTextW(hwnd_, Wide(t.caption).c_str());
    // Made in the Tab order: cmdOK, picIcon, cmdSysInfo, then the labels.
    MakeControl(hwnd_, L"BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, "cmdOK");
    HWND icon = MakeControl(hwnd_, L"STATIC", "", SS_ICON | SS_REALSIZECONTROL, kIcon, "picIcon");
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(ProgramIcon(SM_CXICON, dpi_)), 0);
    MakeControl(hwnd_, L"BUTTON", "&System Info...", WS_TABSTOP | BS_PUSHBUTTON, kSysInfo, "cmdSysInfo");
    MakeControl(hwnd_, L"STATIC", t.lblDescription, SS_LEFT, kDescription, "lblDescription");
    MakeControl(hwnd_, L"STATIC", t.lblDisclaimer, SS_LEFT, kDisclaimer, "lblDisclaimer");
    MakeControl(hwnd_, L"STATIC", t.lblTitle, SS_LEFT, kTitle, "lblTitle");
    MakeControl(hwnd_, L"STATIC", t.lblVersion, SS_LEFT, kVersion, "lblVersion");
    MakeControl(hwnd_, L"STATIC", "", SS_ETCHEDHORZ, kLine1, "Line1(1)");
    Place(IDOK, 4245, 2625, 1260, 345);
    Place(kIcon, 240, 240, 480, 480);
    Place(kSysInfo, 4260, 3075, 1245, 345);
    Place(kDescription, 1050, 1125, 3885, 1170);
    Place(kDisclaimer, 255, 2625, 3870, 825);
    Place(kTitle, 1050, 240, 3885, 480);
    Place(kVersion, 1050, 780, 3885, 225);
    Place(kLine1, 90, 2445, 5564, 30);
    SetFontDeep(hwnd_, MessageFont(dpi_));
    SendMessageW(GetDlgItem(hwnd_, kTitle), WM_SETFONT,
                 reinterpret_cast<WPARAM>(NamedFont(nullptr, 12, true, dpi_)), TRUE);
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(SM_CXSMICON, dpi_)));
    ShowOwnedModal(hwnd_, TwipsToPixels(5730, dpi_), TwipsToPixels(3555, dpi_));
    SetFocus(GetDlgItem(hwnd_, IDOK));
  }

  void cmdSysInfo_Click() {
    auto system = MakeSysInfoSystem(store_);
    MessageSpec message;
    if (!StartSysInfo(*system, message)) AskBox(hwnd_, message);
  }

  SettingsStore& store_;
  std::function<void()> closed_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
};

}  // namespace

HWND OpenAboutWindow(HWND owner, SettingsStore& store, std::function<void()> closed) {
  auto* about = new frmAbout(store, std::move(closed));
  HWND hwnd = CreateEmptyDialog(owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, frmAbout::Proc,
                                reinterpret_cast<LPARAM>(about));
  if (!hwnd) delete about;
  return hwnd;
}
