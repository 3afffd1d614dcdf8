#pragma once
// Message boxes: the system's own for the standard button sets (OK; Yes and No; OK and
// Cancel), a task dialog for any other captions. Modal to `owner`; the control that had
// the focus has it again afterwards.

#include "encrypt_face.h"

#include <windows.h>

// The index of the button pressed, `message.cancel` when closed with Esc or the close box.
int AskBox(HWND owner, const MessageSpec& message);
