// Windows has no notification service the program can reach without a tray icon of its
// own; the window flashes its task bar entry instead.
#include "desktop_notice.h"

bool ShowDesktopNotice(const QString&, const QString&) { return false; }
