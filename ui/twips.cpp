#include "twips.h"

#include "look.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHash>

double LayoutScale() {
  // Measured once per default font: layout code asks for every edge it places.
  static QHash<QString, double> cache;
  const QFont font = QApplication::font();
  const QString key = font.key();
  if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;
  const QString sample = QStringLiteral("Default Language for ASP files, Destination Directory");
  const QFontMetricsF now(font);
  const QFontMetricsF drawn(NamedFont(QStringLiteral("Liberation Sans"), 7.5, false));
  const double wide = now.horizontalAdvance(sample) / drawn.horizontalAdvance(sample);
  const double high = now.height() / drawn.height();
  const double scale = qBound(1.0, qMax(wide, high), 3.0);
  cache.insert(key, scale);
  return scale;
}
