#pragma once
// Window geometry is laid out in twips (1440 to the inch) and turned into pixels by the
// screen's logical DPI, so the layout scales together with fonts given in points.
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

inline int TwipsX(int twips) { return static_cast<int>(std::lround(twips * LogicalDpiX() / 1440.0)); }
inline int TwipsY(int twips) { return static_cast<int>(std::lround(twips * LogicalDpiY() / 1440.0)); }

inline QSize TwipsSize(int width, int height) { return QSize(TwipsX(width), TwipsY(height)); }

inline QRect TwipsRect(int left, int top, int width, int height) {
  const int x = TwipsX(left);
  const int y = TwipsY(top);
  return QRect(x, y, TwipsX(left + width) - x, TwipsY(top + height) - y);
}
