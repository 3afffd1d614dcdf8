// The splash (frmSplash): no title bar, the program's icon, its maker, name, version and
// copyright in the classic fonts, closed by its timer, a key or a click.
#include "about_window.h"

#include "about_model.h"
#include "event_pump.h"
#include "win_util.h"

namespace {

const wchar_t kClassName[] = L"QuillwardSplash";

struct Splash {
  HWND hwnd = nullptr;
  UINT dpi = 96;
  bool closed = false;
};

void Close(Splash& s) {
  if (s.closed) return;
  s.closed = true;
  DestroyWindow(s.hwnd);
}

void Label(HWND parent, const std::string& text, const char* name, int left, int top, int width, int height,
           HFONT font, DWORD align, UINT dpi) {
  // Frame1 at (60, 60): the labels are placed relative to it. SS_NOTIFY: a click on a
  // label is taken by the label and does nothing.
  HWND w = MakeControl(parent, L"STATIC", text, align | SS_NOTIFY | SS_NOPREFIX, 0, name);
  const RECT r = TwipsRect(60 + left, 60 + top, width, height, dpi);
  SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // Sized to fit its text: at least the classic box, wider when the font needs it.
  HDC dc = GetDC(w);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  const std::wstring wide = Wide(text);
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(w, dc);
  int x = r.left, cx = std::max<int>(r.right - r.left, size.cx + 2);
  if (align == SS_RIGHT) x = r.right - cx;
  SetWindowPos(w, nullptr, x, r.top, cx, std::max<int>(r.bottom - r.top, size.cy), SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = reinterpret_cast<Splash*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      break;
    case WM_TIMER:     // Timer1_Timer
    case WM_KEYDOWN:   // Form_KeyDown
    case WM_SYSKEYDOWN:
    case WM_CHAR:      // Form_KeyPress
    case WM_LBUTTONDOWN:  // Form_MouseDown, Frame1_Click
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (s) Close(*s);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      if (s) {
        RECT frame = TwipsRect(60, 60, 7275, 2250, s->dpi);
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        const RECT logo = TwipsRect(60 + 360, 60 + 270, 600, 540, s->dpi);
        DrawIconEx(dc, logo.left, logo.top, ProgramIcon(SM_CXICON, s->dpi), logo.right - logo.left,
                   logo.bottom - logo.top, 0, nullptr, DI_NORMAL);
      }
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_DESTROY:
      if (s) s->closed = true;
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void ShowSplash() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  Splash s;
  const POINT origin{0, 0};
  s.dpi = WindowDpi(nullptr);
  (void)origin;
  const RECT work = WorkAreaOf(nullptr);
  RECT frame{0, 0, TwipsToPixels(7380, s.dpi), TwipsToPixels(2355, s.dpi)};
  const DWORD style = WS_POPUP | WS_DLGFRAME, exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  s.hwnd = CreateWindowExW(exStyle, kClassName, L"", style, work.left + (work.right - work.left - w) / 2,
                           work.top + (work.bottom - work.top - h) / 2, w, h, nullptr, nullptr,
                           GetModuleHandleW(nullptr), &s);
  if (!s.hwnd) return;
  const SplashTexts t = SplashFormLoad();
  Label(s.hwnd, t.lblCompanyProduct, "lblCompanyProduct", 1320, 180, 3090, 435, NamedFont(L"Tahoma", 18, true, s.dpi),
        SS_LEFT, s.dpi);
  Label(s.hwnd, t.lblProductName, "lblProductName", 1320, 615, 1590, 495, NamedFont(L"Tahoma", 20.25, true, s.dpi),
        SS_LEFT, s.dpi);
  Label(s.hwnd, t.lblVersion, "lblVersion", 5970, 1305, 885, 285, NamedFont(L"Arial", 12, true, s.dpi), SS_RIGHT,
        s.dpi);
  Label(s.hwnd, t.lblCopyright, "lblCopyright", 4560, 1665, 2415, 255, NamedFont(L"Tahoma", 8.25, false, s.dpi),
        SS_LEFT, s.dpi);
  Label(s.hwnd, t.lblCompany, "lblCompany", 4560, 1875, 2415, 255, NamedFont(L"Tahoma", 8.25, false, s.dpi), SS_LEFT,
        s.dpi);
  SetTimer(s.hwnd, 1, kSplashMs, nullptr);  // Timer1
  ShowWindow(s.hwnd, SW_SHOW);
  SetForegroundWindow(s.hwnd);
  SetFocus(s.hwnd);
  UpdateWindow(s.hwnd);
  PumpUntil(s.closed);
}
