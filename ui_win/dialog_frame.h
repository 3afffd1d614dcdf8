#pragma once
// The Options and About windows are dialogs (the system's dialog manager gives them Tab,
// Alt letters, Enter for the default button and Esc) made from an empty template; their
// controls are made and placed in twips by their own code. They are modal to the main
// window without a loop of their own: the owner is disabled while one is open, and the
// program's one loop (or a run's pause) handles their messages.

#include <windows.h>

// A hidden dialog of `style` owned by `owner`; `proc` gets `param` at WM_INITDIALOG.
HWND CreateEmptyDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param);
// Shows `dialog` centred on its owner at `clientWidth` x `clientHeight` pixels, disables
// the owner and lets the loop handle its keys.
void ShowOwnedModal(HWND dialog, int clientWidth, int clientHeight);
// Enables the owner again, gives it the activation back and destroys `dialog`.
void CloseOwnedModal(HWND dialog);
