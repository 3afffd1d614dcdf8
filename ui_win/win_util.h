#pragma once
// What every window of the Windows face shares: UTF-8 and UTF-16, the screen's scale
// (twips to pixels at a window's DPI), the desktop's message font at that DPI, and
// controls made with a name the tests and the accessibility tools can find.

#include <windows.h>

#include <string>

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// The DPI a window is drawn at (the monitor's, with per-monitor awareness), 96 when the
// system cannot say.
UINT WindowDpi(HWND window);
// How much larger than 8 points the desktop's message font is at `dpi` (1 to 3).
double LayoutScale(UINT dpi);
// `twips` (1440 to the inch) in pixels at `dpi`, times LayoutScale; edges, not sizes, are rounded, so
// controls that touch in twips touch in pixels.
int TwipsToPixels(int twips, UINT dpi);
RECT TwipsRect(int left, int top, int width, int height, UINT dpi);

// The desktop's message font at `dpi`, made once per DPI and kept for the program's
// life; `points`/`bold`/`face` give a variant of it (0 points: the message font's size).
HFONT MessageFont(UINT dpi);
HFONT NamedFont(const wchar_t* face, double points, bool bold, UINT dpi);
// Sets `font` on `window` and every child of it.
void SetFontDeep(HWND window, HFONT font);

// A child control with `id`; `name` is its control name (a window property "Name").
HWND MakeControl(HWND parent, const wchar_t* windowClass, const std::string& caption, DWORD style, int id,
                 const char* name, DWORD exStyle = 0);
// The control name given at MakeControl, or empty.
std::string ControlName(HWND control);
// The text of a window, and setting it only when it differs (no flicker, no echo of
// an edit's change notification).
std::string WindowText(HWND window);
void SetWindowTextIfChanged(HWND window, const std::string& text);

// The program's icon at the size the system uses for `metricWidth` (SM_CXICON or SM_CXSMICON) at `dpi`.
HICON ProgramIcon(int metricWidth, UINT dpi);

// The work area of the monitor nearest `window` (or the primary one), in pixels.
RECT WorkAreaOf(HWND window);
