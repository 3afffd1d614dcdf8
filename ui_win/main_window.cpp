#include "main_window.h"

#include "about_window.h"
#include "dialog_frame.h"
#include "ask_box.h"
#include "event_pump.h"
#include "options_dialog.h"
#include "resource_ids.h"
#include "win_util.h"
#include "window_texts.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>

namespace {

const wchar_t kClassName[] = L"QuillwardEncrypt";
// The notification a path field sends its window for Enter: a code no edit control sends
// (EN_CHANGE + 0x100 would be EN_UPDATE, which the log sends for every line).
constexpr int kPathEnter = 0x7F01;
// The classic client area, in twips: the least the window can be made.
constexpr int kClientWidth = 7620, kClientHeight = 6645;

enum ControlId : int {
  kDrive1 = 1001,  // Drive1, txtPath1, Dir1
  kDrive2 = 1011,  // Drive2, txtPath2, Dir2
  kText1 = 1020,
  kCommand1 = 1021,
  kCommand2 = 1022,
  kPrgRun = 1023,
  kStatus = 1024,
  kLabel1 = 1030,
  kLabel2 = 1031,
};

// The parts of the extra width and height a control's left and top edges move by, and
// that it grows by.
struct Growth {
  double x, y, w, h;
};
struct Place {
  int id;
  RECT twips;  // left, top, width, height
  Growth growth;
};
// Each control at its place in the classic window; what the window grows goes to the
// folder lists (half of the height, each list half of the width) and to the log.
const Place kPlaces[] = {
    {kLabel1, {135, 75, 2760, 315}, {0, 0, 0.5, 0}},
    {kLabel2, {3945, 60, 2655, 240}, {0.5, 0, 0.5, 0}},
    {kDrive1, {120, 285, 3615, 315}, {0, 0, 0.5, 0}},
    {kDrive2, {3915, 285, 3615, 315}, {0.5, 0, 0.5, 0}},
    {kDrive1 + 1, {120, 630, 3600, 315}, {0, 0, 0.5, 0}},
    {kDrive2 + 1, {3915, 630, 3600, 315}, {0.5, 0, 0.5, 0}},
    {kDrive1 + 2, {120, 975, 3600, 2880}, {0, 0, 0.5, 0.5}},
    {kDrive2 + 2, {3915, 975, 3600, 2880}, {0.5, 0, 0.5, 0.5}},
    {kText1, {120, 3945, 7395, 2220}, {0, 0.5, 1, 0.5}},
    {kPrgRun, {120, 6240, 4845, 330}, {0, 1, 1, 0}},
    {kCommand1, {5085, 6195, 1185, 405}, {1, 1, 0, 0}},
    {kCommand2, {6330, 6180, 1185, 435}, {1, 1, 0, 0}},
};

// The path fields take Enter for themselves (the dialog keys would press nothing) and
// tell the window, which opens what was typed.
LRESULT CALLBACK PathFieldProc(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (m == WM_GETDLGCODE && lp && reinterpret_cast<MSG*>(lp)->message == WM_KEYDOWN &&
      reinterpret_cast<MSG*>(lp)->wParam == VK_RETURN)
    return DLGC_WANTALLKEYS;
  if (m == WM_KEYDOWN && wp == VK_RETURN) {
    SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), kPathEnter), 0);
    return 0;
  }
  if (m == WM_CHAR && (wp == L'\r' || wp == L'\n')) return 0;
  return DefSubclassProc(w, m, wp, lp);
}

}  // namespace

frmEncrypt::frmEncrypt(SettingsStore& store, const std::wstring& appDir) : store_(store), appDir_(appDir) {}

frmEncrypt::~frmEncrypt() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool frmEncrypt::Create(const std::string& source, const std::string& destination) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  wc.hIcon = ProgramIcon(SM_CXICON, 96);
  wc.hIconSm = ProgramIcon(SM_CXSMICON, 96);
  RegisterClassExW(&wc);
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, kClassName, Wide(kAppTitle).c_str(),
                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr,
                          nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) return false;
  dpi_ = WindowDpi(hwnd_);
  BuildControls();
  BuildMenus();
  model_ = std::make_unique<frmEncryptModel>(store_, *this, std::filesystem::path(appDir_));
  wchar_t current[MAX_PATH * 4];
  const DWORD n = GetCurrentDirectoryW(MAX_PATH * 4, current);
  const std::string currentDir = Utf8(std::wstring(current, n));
  model_->Form_Load(currentDir);
  model_->OpenFolders(source, destination, currentDir);
  ApplyDpi(dpi_);
  const SIZE least = LeastFrame();
  const RECT work = WorkAreaOf(hwnd_);
  const WindowPlace place = model_->PlaceAtStart(
      {least.cx, least.cy}, {work.left, work.top, work.right - work.left, work.bottom - work.top});
  SetWindowPos(hwnd_, nullptr, place.frame.x, place.frame.y, place.frame.width, place.frame.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd_, place.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  AddKeyboardWindow(hwnd_);
  SetFocus(source_->list());
  UpdateWindow(hwnd_);
  return true;
}

void frmEncrypt::BuildControls() {
  // Made in the Tab order: the source column, the destination column, the log, the
  // buttons. Each label comes just before its path field, so its Alt letter moves there.
  const char* const names1[] = {"Drive1", "txtPath1", "Dir1"};
  const char* const names2[] = {"Drive2", "txtPath2", "Dir2"};
  auto sideActs = [this](Side side) {
    SideActs acts;
    acts.driveChange = [this, side](const std::string& root) { model_->Drive_Change(side, root); };
    acts.pathChange = [this, side](const std::string& text) { model_->Path_Change(side, text); };
    acts.pathEnter = [this, side] { model_->Path_Enter(side); };
    acts.choose = [this, side](const std::string& folder) { model_->Dir_Choose(side, folder); };
    acts.open = [this, side](const std::string& folder) { model_->Dir_Open(side, folder); };
    return acts;
  };
  source_ = std::make_unique<SidePicker>(hwnd_, kDrive1, names1, sideActs(Side::Source));
  Label1 = MakeControl(hwnd_, L"STATIC", "&Original Directory", SS_LEFT, kLabel1, "Label1");
  SetWindowPos(Label1, source_->drive(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  destination_ = std::make_unique<SidePicker>(hwnd_, kDrive2, names2, sideActs(Side::Destination));
  Label2 = MakeControl(hwnd_, L"STATIC", "&Destination Directory", SS_LEFT, kLabel2, "Label2");
  SetWindowPos(Label2, destination_->drive(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Text1 = std::make_unique<LogView>(hwnd_, kText1);
  Command1 = MakeControl(hwnd_, L"BUTTON", "&Start", WS_TABSTOP | BS_PUSHBUTTON, kCommand1, "Command1");
  Command2 = MakeControl(hwnd_, L"BUTTON", "S&top", WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, kCommand2, "Command2");
  prgRun = MakeControl(hwnd_, PROGRESS_CLASSW, "", 0, kPrgRun, "prgRun");
  ShowWindow(prgRun, SW_HIDE);
  lblStatus = MakeControl(hwnd_, STATUSCLASSNAMEW, "", SBARS_SIZEGRIP, kStatus, "lblStatus");
  for (SidePicker* picker : {source_.get(), destination_.get()}) {
    SetWindowSubclass(picker->field(), PathFieldProc, 1, 0);
  }
}

void frmEncrypt::BuildMenus() {
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, IDM_FILE_START, L"&Start");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, IDM_FILE_OPTIONS, L"&Options...");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, IDM_FILE_EXIT, L"E&xit");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, IDM_HELP_ABOUT, L"&About Quillward");
  AppendMenuW(help, MF_STRING, IDM_HELP_HELP, L"&Help");
  menu_ = CreateMenu();
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
  SetMenu(hwnd_, menu_);
}

// Fonts and every place in pixels for `dpi`.
void frmEncrypt::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  SetFontDeep(hwnd_, MessageFont(dpi));
  source_->FontChanged();
  destination_->FontChanged();
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(SM_CXICON, dpi)));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(SM_CXSMICON, dpi)));
  Layout();
}

// The status bar at the bottom; above it the classic layout, grown as the table says.
void frmEncrypt::Layout() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  SendMessageW(lblStatus, WM_SIZE, 0, 0);
  RECT status{};
  GetWindowRect(lblStatus, &status);
  const int statusHeight = status.bottom - status.top;
  const int width = client.right, height = client.bottom - statusHeight;
  const int baseW = TwipsToPixels(kClientWidth, dpi_), baseH = TwipsToPixels(kClientHeight, dpi_);
  const int extraW = std::max(0, width - baseW), extraH = std::max(0, height - baseH);
  // The status bar: the summary, then "N of M files".
  const int parts[] = {std::max(1, width - TwipsToPixels(2400, dpi_)), -1};
  SendMessageW(lblStatus, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  HDWP defer = BeginDeferWindowPos(static_cast<int>(std::size(kPlaces)));
  for (const Place& p : kPlaces) {
    const RECT r = TwipsRect(p.twips.left, p.twips.top, p.twips.right, p.twips.bottom, dpi_);
    const int x = r.left + static_cast<int>(extraW * p.growth.x), y = r.top + static_cast<int>(extraH * p.growth.y);
    int w = r.right - r.left + static_cast<int>(extraW * p.growth.w);
    int h = r.bottom - r.top + static_cast<int>(extraH * p.growth.h);
    HWND control = GetDlgItem(hwnd_, p.id);
    if (p.id == kDrive1 || p.id == kDrive2) h = TwipsToPixels(3000, dpi_);  // the drop-down's list
    if (control) defer = DeferWindowPos(defer, control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  EndDeferWindowPos(defer);
  source_->FitColumn();
  destination_->FitColumn();
}

// The least outer size: the classic client area, the menu and the status bar.
SIZE frmEncrypt::LeastFrame() const {
  RECT status{};
  GetWindowRect(lblStatus, &status);
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_),
             TwipsToPixels(kClientHeight, dpi_) + (status.bottom - status.top)};
  AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_CONTROLPARENT);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

LRESULT CALLBACK frmEncrypt::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<frmEncrypt*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<frmEncrypt*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->Handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT frmEncrypt::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == TaskbarButton::CreatedMessage()) {
    taskbar_.Attach(hwnd_);
    return 0;
  }
  switch (message) {
    case WM_SIZE:
      if (lblStatus) Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      if (!lblStatus) break;
      const SIZE least = LeastFrame();
      const RECT work = WorkAreaOf(hwnd_);
      const PixelSize fit = LeastSize({least.cx, least.cy}, {work.left, work.top, work.right - work.left,
                                                             work.bottom - work.top});
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {fit.width, fit.height};
      return 0;
    }
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT* r = reinterpret_cast<RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (source_ && source_->OnNotify(header)) return 0;
      if (destination_ && destination_->OnNotify(header)) return 0;
      break;
    }
    case WM_DROPFILES:
      OnDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_DEVICECHANGE:
      if (source_) source_->FillDrives();
      if (destination_) destination_->FillDrives();
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      RemoveKeyboardWindow(hwnd_);
      PostQuitMessage(0);
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void frmEncrypt::OnCommand(int id, int code, HWND from) {
  if (source_->OnCommand(id, code) || destination_->OnCommand(id, code)) return;
  // Enter in a path field (the subclass sends it as a notification of its own).
  if (code == kPathEnter && (id == kDrive1 + 1 || id == kDrive2 + 1)) {
    model_->Path_Enter(id == kDrive1 + 1 ? Side::Source : Side::Destination);
    return;
  }
  switch (id) {
    case kCommand1:
    case IDM_FILE_START:
      ++runDepth_;
      if (id == kCommand1) {
        model_->Command1_Click();
      } else {
        model_->mnuFileStart_Click();
      }
      --runDepth_;
      if (runDepth_ == 0 && closeAfterRun_) Destroy();
      return;
    case kCommand2: model_->Command2_Click(); return;
    case IDM_FILE_OPTIONS: model_->mnuFileOpt_Click(); return;
    case IDM_FILE_EXIT: model_->mnuFileExit_Click(); return;
    case IDM_HELP_ABOUT: model_->mnuHelpAbout_Click(); return;
    case IDM_HELP_HELP: model_->mnuHelpHelp_Click(); return;
    case IDOK: OnEnter(); return;
    default: (void)from; return;
  }
}

// Enter: presses the button that has the focus, opens the folder highlighted in a
// folder list; elsewhere nothing (neither button is the window's default).
void frmEncrypt::OnEnter() {
  HWND focus = GetFocus();
  if (focus == Command1 || focus == Command2) {
    SendMessageW(focus, BM_CLICK, 0, 0);
  } else if (focus == source_->list()) {
    source_->OpenHighlighted();
  } else if (focus == destination_->list()) {
    destination_->OpenHighlighted();
  }
}

// A drop from Explorer: the side under the pointer takes the first path.
void frmEncrypt::OnDrop(HDROP drop) {
  POINT at{};
  DragQueryPoint(drop, &at);
  RECT client{};
  GetClientRect(hwnd_, &client);
  const Side side = at.x < client.right / 2 ? Side::Source : Side::Destination;
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length + 1, L'\0');
  DragQueryFileW(drop, 0, path.data(), length + 1);
  path.resize(length);
  DragFinish(drop);
  if (length && model_->AcceptsDrop()) model_->Drop(side, Utf8(path));
}

// The title bar's close (and Alt+F4): during a run the model asks first; then the
// window goes at once, or when the run has returned.
void frmEncrypt::OnClose() {
  if (!model_->Form_QueryUnload()) return;
  if (runDepth_ > 0) {
    closeAfterRun_ = true;
    model_->Form_Unload(CurrentPlace());
    unloaded_ = true;
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  Destroy();
}

void frmEncrypt::Destroy() {
  if (options_) CloseOwnedModal(options_);
  if (about_) CloseOwnedModal(about_);
  options_ = about_ = nullptr;
  if (!unloaded_) model_->Form_Unload(CurrentPlace());
  unloaded_ = true;
  HWND window = hwnd_;
  hwnd_ = nullptr;
  if (window) DestroyWindow(window);
}

WindowPlace frmEncrypt::CurrentPlace() const {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(hwnd_, &placement);
  const RECT& r = placement.rcNormalPosition;
  WindowPlace place;
  place.frame = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  const SIZE least = LeastFrame();
  place.least = {least.cx, least.cy};
  place.maximized = placement.showCmd == SW_SHOWMAXIMIZED;
  return place;
}

// EncryptFace

void frmEncrypt::ShowSide(Side side, const SideView& view) { Picker(side).Show(view); }

// A control about to be disabled while it has the focus hands it to Stop when Stop is
// enabled (so Space or Enter pressed again stops the run), else to the window itself,
// where the keys still reach the menus and the buttons' Alt letters.
void frmEncrypt::ShowControls(const ControlsView& view) {
  EnableWindow(Command2, view.stop);
  EnableWindow(Command1, view.start);
  EnableMenuItem(menu_, IDM_FILE_START, MF_BYCOMMAND | (view.start ? MF_ENABLED : MF_GRAYED));
  source_->Enable(view.pickers);
  destination_->Enable(view.pickers);
  DragAcceptFiles(hwnd_, view.pickers);
  if (GetForegroundWindow() != hwnd_ && GetActiveWindow() != hwnd_) return;
  HWND focus = GetFocus();
  if (!focus || focus == hwnd_ || !IsWindowEnabled(focus)) SetFocus(view.stop ? Command2 : hwnd_);
}

void frmEncrypt::ShowTitle(const std::string& title) { SetWindowTextIfChanged(hwnd_, title); }

void frmEncrypt::ShowStatus(const std::string& text, StatusLook look) {
  SendMessageW(lblStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  const int size = GetSystemMetrics(SM_CXSMICON);
  HICON icon = look == StatusLook::Failed
                   ? static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(32513), IMAGE_ICON, size, size, LR_SHARED))
                   : nullptr;
  SendMessageW(lblStatus, SB_SETICON, 0, reinterpret_cast<LPARAM>(icon));
}

void frmEncrypt::ShowProgress(const ProgressView& view) {
  ShowWindow(prgRun, view.visible ? SW_SHOWNA : SW_HIDE);
  if (view.busy != progressBusy_) {
    LONG_PTR style = GetWindowLongPtrW(prgRun, GWL_STYLE);
    SetWindowLongPtrW(prgRun, GWL_STYLE, view.busy ? (style | PBS_MARQUEE) : (style & ~PBS_MARQUEE));
    SendMessageW(prgRun, PBM_SETMARQUEE, view.busy, 30);
    progressBusy_ = view.busy;
  }
  if (!view.busy) {
    const int most = static_cast<int>(std::min<long long>(view.maximum, 0x7FFFFFFF));
    SendMessageW(prgRun, PBM_SETRANGE32, 0, most);
    SendMessageW(prgRun, PBM_SETPOS, static_cast<WPARAM>(std::min<long long>(view.value, most)), 0);
  }
  SendMessageW(prgRun, PBM_SETSTATE, view.failed ? PBST_ERROR : PBST_NORMAL, 0);
  SendMessageW(lblStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(Wide(view.text).c_str()));
  taskbar_.Show(view.value, view.visible ? view.maximum : 0, view.visible && view.busy, view.failed);
}

void frmEncrypt::ClearLog() { Text1->Clear(); }
void frmEncrypt::AppendLog(const std::string& entry, EntryLook look) { Text1->Append(entry, look); }
void frmEncrypt::MarkLastFailed() { Text1->MarkLastFailed(); }
void frmEncrypt::FlushLog() { Text1->Flush(); }

int frmEncrypt::Ask(const MessageSpec& message) {
  HWND owner = options_ ? options_ : about_ ? about_ : hwnd_;
  return AskBox(owner && IsWindowVisible(owner) ? owner : nullptr, message);
}

void frmEncrypt::PumpEvents() { PumpPending(); }

bool frmEncrypt::UserIsAway() {
  return hwnd_ && IsWindowVisible(hwnd_) && GetForegroundWindow() != hwnd_ && !options_ && !about_;
}

void frmEncrypt::Notify(const std::string& summary, const std::string& body) {
  (void)summary;
  (void)body;
  taskbar_.Flash();
}

void frmEncrypt::FocusStart() {
  if (IsWindowEnabled(Command1)) SetFocus(Command1);
}

void frmEncrypt::OpenOptions() {
  if (options_) return;
  options_ = OpenOptionsDialog(hwnd_, store_, [this] { options_ = nullptr; });
}

void frmEncrypt::OpenAbout() {
  if (about_) return;
  about_ = OpenAboutWindow(hwnd_, store_, [this] { about_ = nullptr; });
}

bool frmEncrypt::OpenDocument(const std::string& url) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(hwnd_, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

void frmEncrypt::CloseWindow() {
  if (runDepth_ > 0) {
    closeAfterRun_ = true;
    ShowWindow(hwnd_, SW_HIDE);
  } else {
    Destroy();
  }
}

