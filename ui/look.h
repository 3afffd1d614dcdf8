#pragma once
// What every window of the program shares: the title, the version text, the default
// font, the icon, and placing a window in the middle of the screen or of its opener.

#include "window_texts.h"

#include <QFont>
#include <QIcon>
#include <QString>

class QApplication;
class QWidget;

// The application title (window_texts.h's kAppTitle) as the windows show it.
inline QString AppTitle() { return QString::fromStdString(kAppTitle); }

// A font by family (with metric-compatible fallbacks), point size and weight.
QFont NamedFont(const QString& family, double points, bool bold);

// The program's icon in all its sizes.
QIcon ProgramIcon();

// Sets the application's name, version and icon. The font stays the desktop's own.
void ApplyProgramLook(QApplication& app);

// Moves `window` so that it stands in the middle of the screen it is on.
void CenterOnScreen(QWidget* window);
