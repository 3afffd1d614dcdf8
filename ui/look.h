#pragma once
// What every window of the program shares: the title, the version text, the default
// font, the icon, and placing a window in the middle of the screen or of its opener.

#include <QFont>
#include <QIcon>
#include <QString>

class QApplication;
class QWidget;

// The application title: main window caption, settings name, message box title.
inline const QString kAppTitle = QStringLiteral("Quillward");
// The maker's name and copyright line on the splash.
inline const QString kMakerName = QStringLiteral("Quillward Works");
inline const QString kCopyright = QStringLiteral("Copyright (c) Quillward Works");

// "Version " and the three numbers, each as plain decimal text: "Version 1.0.5".
QString VersionText(int major, int minor, int revision);
// The version text of this program.
QString VersionText();

// A font by family (with metric-compatible fallbacks), point size and weight.
QFont NamedFont(const QString& family, double points, bool bold);

// The program's icon in all its sizes.
QIcon ProgramIcon();

// Sets the application's name, version and icon. The font stays the desktop's own.
void ApplyProgramLook(QApplication& app);

// Moves `window` so that it stands in the middle of the screen it is on.
void CenterOnScreen(QWidget* window);
