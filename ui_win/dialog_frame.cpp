#include "dialog_frame.h"

#include "event_pump.h"
#include "win_util.h"

#include <algorithm>
#include <cstdint>
#include <vector>

HWND CreateEmptyDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param) {
  // DLGTEMPLATE, then no menu, the default class and an empty title (three 16-bit
  // zeros); no controls. Kept on a DWORD boundary as the system wants.
  std::vector<std::uint32_t> memory(16, 0);
  auto* dlg = reinterpret_cast<DLGTEMPLATE*>(memory.data());
  dlg->style = style & ~WS_VISIBLE;
  dlg->dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  dlg->cdit = 0;
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dlg, owner, proc, param);
}

void ShowOwnedModal(HWND dialog, int clientWidth, int clientHeight) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT around{};
  if (owner && IsWindowVisible(owner)) {
    GetWindowRect(owner, &around);
  } else {
    around = WorkAreaOf(owner);
  }
  const RECT work = WorkAreaOf(owner);
  int x = around.left + (around.right - around.left - width) / 2;
  int y = around.top + (around.bottom - around.top - height) / 2;
  // Wholly on the screen, its title bar first.
  x = std::max<int>(work.left, std::min<int>(x, work.right - width));
  y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
  SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (owner) EnableWindow(owner, FALSE);
  AddKeyboardWindow(dialog);
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
}

void CloseOwnedModal(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RemoveKeyboardWindow(dialog);
  // The owner first, so the system hands it the activation when the dialog goes.
  if (owner) EnableWindow(owner, TRUE);
  DestroyWindow(dialog);
  if (owner) SetActiveWindow(owner);
}
