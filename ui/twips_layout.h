#pragma once
// A layout that places each widget at its twips rectangle when the window has its base
// size, and shares out what the window grows beyond that: each widget takes a given part
// of the extra width and height for its position and for its size. The base size is
// the least the layout allows, so a window can grow but never cut a control off.
//
//   layout->Add(Dir1, {120, 975, 3600, 2880}, {0, 0, 0.5, 0.5});    // grows right and down
//   layout->Add(Command1, {5085, 6195, 1185, 405}, {1, 1, 0, 0});   // keeps to the corner

#include <QLayout>
#include <QList>
#include <QRect>

struct Growth {
  double x = 0, y = 0;  // parts of the extra width and height the left and top edges move
  double w = 0, h = 0;  // parts of the extra width and height the widget grows by
};

class TwipsLayout : public QLayout {
  Q_OBJECT
public:
  // `base`: the client area's least size, in twips.
  TwipsLayout(QWidget* parent, QSize base);
  ~TwipsLayout() override;

  void Add(QWidget* widget, QRect twips, Growth growth);

  // QLayout
  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override { return static_cast<int>(items_.size()); }
  QSize sizeHint() const override { return minimumSize(); }
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;

  // Where `twips` with `growth` lands in a client area of `size` pixels.
  static QRect Place(QRect twips, Growth growth, QSize base, QSize size);

private:
  struct Item {
    QLayoutItem* item;
    QRect twips;
    Growth growth;
  };
  QList<Item> items_;
  QSize base_;
};
