#pragma once
// The window's taskbar button: the progress of a run drawn on it, and a flash when a long
// run ends while the user is elsewhere. Where the system has no taskbar list (old
// Windows, Wine without a shell) the calls do nothing.

#include <windows.h>

struct ITaskbarList3;

class TaskbarButton {
public:
  ~TaskbarButton();
  // The message the shell sends when the button exists (after that, progress shows).
  static UINT CreatedMessage();
  void Attach(HWND window);
  // done of total; total 0: no progress; busy: a moving bar; failed: the error colour.
  void Show(long long done, long long total, bool busy, bool failed);
  void Flash();

private:
  HWND window_ = nullptr;
  ITaskbarList3* list_ = nullptr;
};
