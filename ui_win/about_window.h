#pragma once
// The About window (frmAbout) and the splash (frmSplash): the model's texts at the
// classic twips; About's System Info button runs the model's lookup and start.

#include <windows.h>

#include <functional>

class SettingsStore;

// Opens About over `owner` (disabled while it is open) and returns it at once; the
// program's loop runs it. `closed` is called when it has gone.
HWND OpenAboutWindow(HWND owner, SettingsStore& store, std::function<void()> closed);

// Shows the splash centred on the screen and returns when it has closed: after two
// seconds, at the first key press, or at a click on its frame or margin.
void ShowSplash();
