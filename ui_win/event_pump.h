#pragma once
// The one message loop of the program and the pause that lets events in during a run.
// Both give the open dialogs (Options, About) and the main window the keyboard handling
// of dialogs: Tab and Shift+Tab, Alt letters, Enter and Esc.

#include <windows.h>

// A window whose keys are handled as a dialog's while it exists.
void AddKeyboardWindow(HWND window);
void RemoveKeyboardWindow(HWND window);

// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Handles every message waiting now and returns. A WM_QUIT met here is posted again, so
// that the outer loop ends too, and true is returned.
bool PumpPending();
// Runs the loop until `done` is true or WM_QUIT arrives (posted again).
void PumpUntil(const bool& done);
