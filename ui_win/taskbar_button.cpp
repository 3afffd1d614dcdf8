#include "taskbar_button.h"

#include <shobjidl.h>

TaskbarButton::~TaskbarButton() {
  if (list_) list_->Release();
}

UINT TaskbarButton::CreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

void TaskbarButton::Attach(HWND window) {
  window_ = window;
  if (list_) return;
  ITaskbarList3* list = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                 reinterpret_cast<void**>(&list)))) {
    if (SUCCEEDED(list->HrInit())) {
      list_ = list;
    } else {
      list->Release();
    }
  }
}

void TaskbarButton::Show(long long done, long long total, bool busy, bool failed) {
  if (!list_ || !window_) return;
  if (busy) {
    list_->SetProgressState(window_, TBPF_INDETERMINATE);
  } else if (total <= 0) {
    list_->SetProgressState(window_, TBPF_NOPROGRESS);
  } else {
    list_->SetProgressState(window_, failed ? TBPF_ERROR : TBPF_NORMAL);
    list_->SetProgressValue(window_, static_cast<ULONGLONG>(done), static_cast<ULONGLONG>(total));
  }
}

void TaskbarButton::Flash() {
  if (!window_) return;
  FLASHWINFO info{};
  info.cbSize = sizeof info;
  info.hwnd = window_;
  info.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
  info.uCount = 3;
  FlashWindowEx(&info);
}
