#include "options_dialog.h"

#include "ask_box.h"
#include "dialog_frame.h"
#include "options_model.h"
#include "run/settings/run_settings.h"
#include "win_util.h"
#include "window_texts.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <memory>

namespace {

constexpr int kFirstId = 2000;

class Dialog {
public:
  Dialog(SettingsStore& store, std::function<void()> closed) : model_(store), closed_(std::move(closed)) {}

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_INITDIALOG) self->hwnd_ = hwnd;
    return self->Handle(message, wParam, lParam);
  }

private:
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        Build();
        Form_Load();
        return FALSE;
      case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == UDN_DELTAPOS) {
          Step(GetWindow(header->hwndFrom, GW_HWNDPREV), -reinterpret_cast<NMUPDOWN*>(lParam)->iDelta);
          SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);  // the numbers are ours to set
          return TRUE;
        }
        return FALSE;
      }
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

  void Build() {
    SetWindowTextW(hwnd_, Wide(kOptionsTitle).c_str());
    const UINT dpi = WindowDpi(GetWindow(hwnd_, GW_OWNER));
    std::map<std::string, POINT> frames;
    int id = kFirstId;
    for (const OptionsControl& c : OptionsControls()) {
      POINT origin{0, 0};
      if (!c.frame.empty()) origin = frames[c.frame];
      HWND w = Make(c, id++);
      if (c.kind == OptionsKind::Frame) frames[c.name] = {c.left, c.top};
      const int left = origin.x + c.left, top = origin.y + c.top;
      RECT r = TwipsRect(left, top, c.width, c.height, dpi);
      if (c.kind == OptionsKind::Line) r.bottom = r.top + 2;
      if (c.kind == OptionsKind::Combo) r.bottom = r.top + TwipsToPixels(1500, dpi);  // the list
      int width = r.right - r.left;
      if (c.kind == OptionsKind::Spin) width -= GetSystemMetrics(SM_CXVSCROLL);
      // A one-line caption is never cut: as wide as its text needs at this DPI and font.
      if (c.kind == OptionsKind::Label && c.height <= 300) width = std::max(width, TextWidth(w, c.caption, dpi));
      SetWindowPos(w, nullptr, r.left, r.top, width, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
      if (c.kind == OptionsKind::Spin) {
        HWND spin = MakeControl(hwnd_, UPDOWN_CLASSW, "", UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, id++,
                                nullptr);
        SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(w), 0);
        SendMessageW(spin, UDM_SETRANGE32, 0, c.name == "spnJobs" ? kMaxJobs : kMaxTimeoutSeconds);
      }
    }
    SetFontDeep(hwnd_, MessageFont(dpi));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(SM_CXSMICON, dpi)));
    ShowOwnedModal(hwnd_, TwipsToPixels(kOptionsWidthTwips, dpi), TwipsToPixels(kOptionsHeightTwips, dpi));
    SetFocus(Control("OKButton"));
  }

  static int TextWidth(HWND w, const std::string& caption, UINT dpi) {
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, MessageFont(dpi));
    std::wstring text;
    for (wchar_t ch : Wide(caption)) {
      if (ch != L'&') text += ch;
    }
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    return size.cx + 2;
  }

  HWND Make(const OptionsControl& c, int id) {
    const char* name = c.name.c_str();
    HWND w = nullptr;
    switch (c.kind) {
      case OptionsKind::Label:
        w = MakeControl(hwnd_, L"STATIC", c.caption, c.height <= 300 ? SS_LEFTNOWORDWRAP : SS_LEFT, id, name);
        break;
      case OptionsKind::Line: w = MakeControl(hwnd_, L"STATIC", "", SS_ETCHEDHORZ, id, name); break;
      case OptionsKind::Frame: w = MakeControl(hwnd_, L"BUTTON", c.caption, BS_GROUPBOX, id, name); break;
      case OptionsKind::Check:
        w = MakeControl(hwnd_, L"BUTTON", c.caption, WS_TABSTOP | BS_3STATE, id, name);
        break;
      case OptionsKind::Text:
        w = MakeControl(hwnd_, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, id, name, WS_EX_CLIENTEDGE);
        break;
      case OptionsKind::Combo: {
        w = MakeControl(hwnd_, L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, id, name);
        for (const wchar_t* item : {L"VBScript", L"JScript"}) {
          SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        // Typed keys never change the text: it changes only by a choice from the list.
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(w, &info) && info.hwndItem) SendMessageW(info.hwndItem, EM_SETREADONLY, TRUE, 0);
        break;
      }
      case OptionsKind::Spin:
        w = MakeControl(hwnd_, L"EDIT", "", WS_TABSTOP | ES_RIGHT | ES_AUTOHSCROLL, id, name, WS_EX_CLIENTEDGE);
        break;
      case OptionsKind::Lines:
        w = MakeControl(hwnd_, L"EDIT", "",
                        WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, id,
                        name, WS_EX_CLIENTEDGE);
        break;
      case OptionsKind::Button: {
        const bool ok = c.name == "OKButton";
        w = MakeControl(hwnd_, L"BUTTON", c.caption, WS_TABSTOP | (ok ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                        ok ? IDOK : IDCANCEL, name);
        break;
      }
    }
    controls_[c.name] = w;
    return w;
  }

  HWND Control(const std::string& name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
  }

  int Check(const char* name) const {
    const LRESULT state = SendMessageW(Control(name), BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
  }
  void SetCheck(const char* name, int value) {
    SendMessageW(Control(name), BM_SETCHECK, value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED,
                 0);
  }

  // A spin box's number; "All cores" is 0; -1 for text that is no number.
  int Number(const char* name) const {
    const std::string text = WindowText(Control(name));
    if (text == kAllCores) return 0;
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(text);
  }
  void SetNumber(HWND w, int value) {
    const bool jobs = ControlName(w) == "spnJobs";
    SetWindowTextW(w, Wide(jobs && value == 0 ? kAllCores : std::to_string(value)).c_str());
  }
  void Step(HWND edit, int delta) {
    const bool jobs = ControlName(edit) == "spnJobs";
    int value = Number(ControlName(edit).c_str());
    if (value < 0) value = 0;
    const long long next = static_cast<long long>(value) + delta;
    SetNumber(edit, static_cast<int>(std::max<long long>(0, std::min<long long>(next, jobs ? kMaxJobs : kMaxTimeoutSeconds))));
  }

  static std::wstring WithCrLf(const std::string& text) {
    std::wstring out;
    for (wchar_t c : Wide(text)) {
      if (c == L'\n') out += L'\r';
      out += c;
    }
    return out;
  }

  void Form_Load() {
    const OptionsValues v = model_.Form_Load();
    SetWindowTextW(Control("Combo1"), Wide(v.Combo1).c_str());
    SetWindowTextW(Control("Combo2"), Wide(v.Combo2).c_str());
    for (auto [name, value] : Checks(v)) SetCheck(name, value);
    SetWindowTextW(Control("txtDefxt"), Wide(v.txtDefxt).c_str());
    SetNumber(Control("spnTimeout"), v.spnTimeout);
    SetNumber(Control("spnJobs"), v.spnJobs);
    SetWindowTextW(Control("txtExclude"), WithCrLf(v.txtExclude).c_str());
  }

  static std::vector<std::pair<const char*, int>> Checks(const OptionsValues& v) {
    return {{"chkLangDirect", v.chkLangDirect}, {"chkASP", v.chkASP},         {"chkJS", v.chkJS},
            {"chkHTML", v.chkHTML},             {"Check2", v.Check2},         {"chkChanged", v.chkChanged},
            {"chkDelete", v.chkDelete},         {"chkVerify", v.chkVerify}};
  }

  OptionsValues Values() const {
    OptionsValues v;
    v.Combo1 = WindowText(Control("Combo1"));
    v.Combo2 = WindowText(Control("Combo2"));
    v.chkLangDirect = Check("chkLangDirect");
    v.chkASP = Check("chkASP");
    v.chkJS = Check("chkJS");
    v.chkHTML = Check("chkHTML");
    v.Check2 = Check("Check2");
    v.chkChanged = Check("chkChanged");
    v.chkDelete = Check("chkDelete");
    v.chkVerify = Check("chkVerify");
    v.txtDefxt = WindowText(Control("txtDefxt"));
    v.spnTimeout = Number("spnTimeout");
    v.spnJobs = Number("spnJobs");
    std::string lines = WindowText(Control("txtExclude"));
    std::string joined;
    for (char c : lines) {
      if (c != '\r') joined += c;
    }
    v.txtExclude = joined;
    return v;
  }

  void OnCommand(int id, int code) {
    if (id == IDOK) {
      const OptionsValues v = Values();
      if (!model_.OKButton_Click(v)) {
        MessageSpec refusal;
        refusal.text = model_.Refusal(v);
        refusal.title = kOptionsTitle;
        refusal.icon = MessageIcon::Warning;
        AskBox(hwnd_, refusal);
        return;
      }
      CloseOwnedModal(hwnd_);
    } else if (id == IDCANCEL) {
      model_.CancelButton_Click();
      CloseOwnedModal(hwnd_);
    } else if (code == BN_CLICKED) {
      HWND w = GetDlgItem(hwnd_, id);
      if ((GetWindowLongPtrW(w, GWL_STYLE) & BS_TYPEMASK) == BS_3STATE) {
        // A click sets a cleared or greyed box and clears a set one.
        const LRESULT state = SendMessageW(w, BM_GETCHECK, 0, 0);
        SendMessageW(w, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
      }
    }
  }

  DialogModel model_;
  std::function<void()> closed_;
  HWND hwnd_ = nullptr;
  std::map<std::string, HWND> controls_;
};

}  // namespace

HWND OpenOptionsDialog(HWND owner, SettingsStore& store, std::function<void()> closed) {
  auto* dialog = new Dialog(store, std::move(closed));
  HWND hwnd = CreateEmptyDialog(owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, Dialog::Proc,
                                reinterpret_cast<LPARAM>(dialog));
  if (!hwnd) delete dialog;
  return hwnd;
}
