#pragma once
// Small controls the forms are built from, where a stock Qt widget behaves differently
// from what the forms promise: a three-valued check box that clicks between 0 and 1, a
// combo box that can be locked against typing, a button that Enter presses while it has
// the focus, a plain line, and a frame that reports clicks on its own empty area.

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QPushButton>
#include <QWidget>

class QKeyEvent;

// Value 0 (cleared), 1 (set) or 2 (greyed). A click sets a cleared or greyed box and
// clears a set one; greyed is reached only by SetValue.
class CheckBox : public QCheckBox {
  Q_OBJECT
public:
  CheckBox(const QString& caption, QWidget* parent);
  int Value() const;
  void SetValue(int value);

protected:
  void nextCheckState() override;
};

// An editable combo box that reports its key events and, while locked, lets no typed key
// change its text: the arrow keys, Page Up and Down, Home and End still move the choice
// through the list, and Alt+Down, Alt+Up and F4 open the list. Tab, Enter and Esc still
// reach the window.
class ComboBox : public QComboBox {
  Q_OBJECT
public:
  explicit ComboBox(QWidget* parent);
  void SetLocked(bool locked);
  bool Locked() const { return locked_; }

signals:
  void KeyDown();  // before the key takes effect
  void KeyUp();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

private:
  bool locked_ = false;
};

// A push button that Enter presses too while it has the focus, as Space does. It is never
// the window's default button: Enter elsewhere presses nothing.
class Button : public QPushButton {
  Q_OBJECT
public:
  Button(const QString& caption, QWidget* parent);

protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// A horizontal line from x1 to x2 (pixels, in the parent), `width` pixels thick from
// height y down. An invalid colour draws in the palette's window-text colour.
class LineControl : public QWidget {
  Q_OBJECT
public:
  LineControl(QWidget* parent, int x1, int x2, int y, int width, QColor color = QColor());

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QColor color_;
};

// A frame without a caption that reports a click (press and release) on its own empty
// area. Presses on the controls inside it, and on itself, go no further.
class ClickFrame : public QFrame {
  Q_OBJECT
public:
  explicit ClickFrame(QWidget* parent);

signals:
  void Click();

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  bool pressedOnEmpty_ = false;
};
