#pragma once
// A notice to the desktop that something the user waited for has ended: a freedesktop
// notification where a notification service runs (Linux and other free desktops), or
// nothing where the platform has none (Windows; the window flashes its task bar entry
// instead, see frmEncrypt). Never blocks: the message is sent and not waited for.

#include <QString>

// False when no notice could be sent (no session bus, no service).
bool ShowDesktopNotice(const QString& summary, const QString& body);
