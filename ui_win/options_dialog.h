#pragma once
// The Options dialog (Dialog): every control of the dialog's model, at its twips, with
// its name, caption and Alt letter; filled from the model's Form_Load, handed back to
// its OKButton_Click. OK is the default button (Enter), Cancel the cancel button (Esc).

#include <windows.h>

#include <functional>

class SettingsStore;

// Opens the dialog over `owner` (disabled while it is open) and returns it at once; the
// program's loop runs it. `closed` is called when it has gone.
HWND OpenOptionsDialog(HWND owner, SettingsStore& store, std::function<void()> closed);
