#pragma once
// Window geometry is laid out in twips (1440 to the inch) and turned into pixels by the
// screen's logical DPI and by the layout scale: how much larger the desktop's default
// font is than the small font the twip sizes were drawn for (about 8 pt). So a desktop
// with a 10 pt font gets windows a quarter larger, and no caption is cut off.
// Edges are rounded, not sizes, so controls that touch in twips touch in pixels.

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <cmath>

inline double LogicalDpiX() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->logicalDotsPerInchX() : 96.0;
}

inline double LogicalDpiY() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->logicalDotsPerInchY() : 96.0;
}

// 1 for a default font no larger than 7.5 pt Arial (metrics); larger fonts in proportion
// to their width and height, whichever grows more. At most 3.
double LayoutScale();

inline int TwipsX(int twips) {
  return static_cast<int>(std::lround(twips * LogicalDpiX() * LayoutScale() / 1440.0));
}
inline int TwipsY(int twips) {
  return static_cast<int>(std::lround(twips * LogicalDpiY() * LayoutScale() / 1440.0));
}

inline QSize TwipsSize(int width, int height) { return QSize(TwipsX(width), TwipsY(height)); }

inline QRect TwipsRect(int left, int top, int width, int height) {
  const int x = TwipsX(left);
  const int y = TwipsY(top);
  return QRect(x, y, TwipsX(left + width) - x, TwipsY(top + height) - y);
}
