#include "event_pump.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<HWND>& KeyboardWindows() {
  static std::vector<HWND> windows;
  return windows;
}

// The dialog keys of whichever of our windows the message is for, the last opened first.
bool HandledAsDialog(MSG& msg) {
  auto& windows = KeyboardWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    HWND w = *it;
    if ((msg.hwnd == w || IsChild(w, msg.hwnd)) && IsDialogMessageW(w, &msg)) return true;
  }
  return false;
}

void Dispatch(MSG& msg) {
  if (HandledAsDialog(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

void AddKeyboardWindow(HWND window) { KeyboardWindows().push_back(window); }

void RemoveKeyboardWindow(HWND window) {
  auto& windows = KeyboardWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

bool PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return true;
    }
    Dispatch(msg);
  }
  return false;
}

void PumpUntil(const bool& done) {
  MSG msg;
  while (!done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 1);
      return;
    }
    Dispatch(msg);
  }
}
