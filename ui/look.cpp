#include "look.h"

#include <QApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

QFont NamedFont(const QString& family, double points, bool bold) {
  // Each classic family first, then a free font with the same or close metrics.
  static const QStringList kSans = {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                    QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")};
  QStringList families{family};
  for (const QString& f : kSans) {
    if (f.compare(family, Qt::CaseInsensitive) != 0) families << f;
  }
  QFont font;
  font.setFamilies(families);
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

// The icons are compiled into this static library; its resources need registering.
static void LoadIconResources() { Q_INIT_RESOURCE(icons); }

QIcon ProgramIcon() {
  static const bool loaded = (LoadIconResources(), true);
  Q_UNUSED(loaded);
  QIcon icon;
  for (int size : {16, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/icons/quillward-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

void ApplyProgramLook(QApplication& app) {
  QApplication::setApplicationName(AppTitle());
  QApplication::setApplicationVersion(
      QStringLiteral("%1.%2.%3").arg(QW_VERSION_MAJOR).arg(QW_VERSION_MINOR).arg(QW_VERSION_PATCH));
  app.setWindowIcon(ProgramIcon());
}

void CenterOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window->frameGeometry().size().expandedTo(window->size());
  window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}
