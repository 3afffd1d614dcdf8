#include "win_util.h"

#include "resource_ids.h"
#include "run/util/text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

std::wstring Wide(const std::string& utf8) { return WideFromUtf8(utf8); }
std::string Utf8(const std::wstring& wide) { return Utf8FromWide(wide); }

namespace {

// The per-monitor functions of Windows 10, looked up at run time so that the program
// still starts where they are missing (and under Wine versions without them).
template <typename F>
F SystemFunction(const wchar_t* module, const char* name) {
  HMODULE m = GetModuleHandleW(module);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

LOGFONTW MessageLogFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  static const auto forDpi = SystemFunction<SystemParametersInfoForDpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return metrics.lfMessageFont;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  // Given at the system's DPI: scaled to the one asked for.
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                          static_cast<int>(SystemDpi()));
  return metrics.lfMessageFont;
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto forWindow = SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  if (forWindow && window) {
    const UINT dpi = forWindow(window);
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

// Twips were drawn for a message font of about 8 points: a larger desktop font makes the
// windows larger in proportion, so that no caption is cut off. At most 3 times.
double LayoutScale(UINT dpi) {
  static std::map<UINT, double> scales;
  double& scale = scales[dpi];
  if (scale == 0) {
    const LOGFONTW log = MessageLogFont(dpi);
    const double height = log.lfHeight < 0 ? -log.lfHeight : log.lfHeight * 0.8;
    scale = std::min(3.0, std::max(1.0, height / (11.0 * dpi / 96.0)));
  }
  return scale;
}

int TwipsToPixels(int twips, UINT dpi) {
  return static_cast<int>(std::lround(twips * static_cast<double>(dpi) * LayoutScale(dpi) / 1440.0));
}

RECT TwipsRect(int left, int top, int width, int height, UINT dpi) {
  return {TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), TwipsToPixels(left + width, dpi),
          TwipsToPixels(top + height, dpi)};
}

HFONT MessageFont(UINT dpi) {
  static std::map<UINT, HFONT> fonts;
  HFONT& font = fonts[dpi];
  if (!font) {
    LOGFONTW log = MessageLogFont(dpi);
    font = CreateFontIndirectW(&log);
  }
  return font;
}

HFONT NamedFont(const wchar_t* face, double points, bool bold, UINT dpi) {
  static std::map<std::tuple<std::wstring, double, bool, UINT>, HFONT> fonts;
  HFONT& font = fonts[{face ? face : L"", points, bold, dpi}];
  if (!font) {
    LOGFONTW log = MessageLogFont(dpi);
    if (points > 0) log.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    if (face) lstrcpynW(log.lfFaceName, face, LF_FACESIZE);
    log.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font = CreateFontIndirectW(&log);
  }
  return font;
}

static BOOL CALLBACK SetFontOf(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

void SetFontDeep(HWND window, HFONT font) {
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EnumChildWindows(window, SetFontOf, reinterpret_cast<LPARAM>(font));
}

HWND MakeControl(HWND parent, const wchar_t* windowClass, const std::string& caption, DWORD style, int id,
                 const char* name, DWORD exStyle) {
  HWND control = CreateWindowExW(exStyle, windowClass, Wide(caption).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10,
                                 10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control && name) {
    // The name lives as an atom: a property's value must outlive the window's use of it.
    SetPropW(control, L"Name", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(GlobalAddAtomW(Wide(name).c_str()))));
  }
  return control;
}

std::string ControlName(HWND control) {
  const ATOM atom = static_cast<ATOM>(reinterpret_cast<INT_PTR>(GetPropW(control, L"Name")));
  if (!atom) return {};
  wchar_t name[256];
  const UINT n = GlobalGetAtomNameW(atom, name, 256);
  return Utf8(std::wstring(name, n));
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Utf8(text);
}

void SetWindowTextIfChanged(HWND window, const std::string& text) {
  if (WindowText(window) != text) SetWindowTextW(window, Wide(text).c_str());
}

HICON ProgramIcon(int metricWidth, UINT dpi) {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = SystemFunction<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
  const int size = forDpi ? forDpi(metricWidth, dpi) : MulDiv(GetSystemMetrics(metricWidth), static_cast<int>(dpi), 96);
  static std::map<int, HICON> icons;  // by size, for the program's life
  HICON& icon = icons[size];
  if (!icon) {
    icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_QUILLWARD), IMAGE_ICON, size,
                                         size, LR_DEFAULTCOLOR));
  }
  return icon;
}

RECT WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY);
  if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}
