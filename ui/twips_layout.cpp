#include "twips_layout.h"

#include "twips.h"

#include <QWidget>
#include <cmath>

TwipsLayout::TwipsLayout(QWidget* parent, QSize base) : QLayout(parent), base_(base) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

TwipsLayout::~TwipsLayout() {
  for (const Item& i : items_) delete i.item;
}

void TwipsLayout::Add(QWidget* widget, QRect twips, Growth growth) {
  addChildWidget(widget);
  items_.append({new QWidgetItem(widget), twips, growth});
  invalidate();
}

// An item added the plain way stays where it is and does not grow.
void TwipsLayout::addItem(QLayoutItem* item) { items_.append({item, QRect(), Growth{}}); }

QLayoutItem* TwipsLayout::itemAt(int index) const {
  return index >= 0 && index < items_.size() ? items_[index].item : nullptr;
}

QLayoutItem* TwipsLayout::takeAt(int index) {
  if (index < 0 || index >= items_.size()) return nullptr;
  return items_.takeAt(index).item;
}

QSize TwipsLayout::minimumSize() const { return TwipsSize(base_.width(), base_.height()); }

QRect TwipsLayout::Place(QRect twips, Growth growth, QSize base, QSize size) {
  const QRect at = TwipsRect(twips.x(), twips.y(), twips.width(), twips.height());
  const int dx = qMax(0, size.width() - base.width());
  const int dy = qMax(0, size.height() - base.height());
  auto part = [](double share, int extra) { return static_cast<int>(std::lround(share * extra)); };
  // Edges move, so two widgets that share an edge in twips still share it.
  const int left = at.left() + part(growth.x, dx);
  const int top = at.top() + part(growth.y, dy);
  const int right = at.left() + at.width() + part(growth.x + growth.w, dx);
  const int bottom = at.top() + at.height() + part(growth.y + growth.h, dy);
  return QRect(left, top, right - left, bottom - top);
}

void TwipsLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  const QSize base = minimumSize();
  for (const Item& i : items_) {
    if (i.twips.isNull()) continue;
    // The widget itself, not its layout item: an item would bend the rectangle to the
    // widget's size hints, and these rectangles are the design.
    if (QWidget* w = i.item->widget()) w->setGeometry(Place(i.twips, i.growth, base, rect.size()).translated(rect.topLeft()));
  }
}
