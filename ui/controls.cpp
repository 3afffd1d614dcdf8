#include "controls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

CheckBox::CheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
  setTristate(true);
}

int CheckBox::Value() const {
  switch (checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    case Qt::Unchecked: break;
  }
  return 0;
}

void CheckBox::SetValue(int value) {
  setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void CheckBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
}

void ComboBox::SetLocked(bool locked) {
  locked_ = locked;
  if (lineEdit()) lineEdit()->setReadOnly(locked);
}

namespace {

// Keys that choose from the list or open it, and change no text.
bool Chooses(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_F4: return !(event->modifiers() & Qt::ControlModifier);
    default: return false;
  }
}

// Keys that move the focus or answer the window; everything else may change the combo.
bool ReachesWindow(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return true;
    default: return false;
  }
}

}  // namespace

void ComboBox::keyPressEvent(QKeyEvent* event) {
  emit KeyDown();
  if (!locked_) {
    QComboBox::keyPressEvent(event);
  } else if (Chooses(event)) {
    QComboBox::keyPressEvent(event);
  } else if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
    if (count() > 0) setCurrentIndex(event->key() == Qt::Key_Home ? 0 : count() - 1);
    event->accept();
  } else if (ReachesWindow(event)) {
    event->ignore();
  } else {
    event->accept();
  }
}

void ComboBox::keyReleaseEvent(QKeyEvent* event) {
  QComboBox::keyReleaseEvent(event);
  emit KeyUp();
}

void ComboBox::inputMethodEvent(QInputMethodEvent* event) {
  if (locked_) {
    event->accept();
    return;
  }
  QComboBox::inputMethodEvent(event);
}

Button::Button(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  setAutoDefault(false);
  setDefault(false);
}

void Button::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat() &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    event->accept();
    click();
    return;
  }
  QPushButton::keyPressEvent(event);
}

LineControl::LineControl(QWidget* parent, int x1, int x2, int y, int width, QColor color)
    : QWidget(parent), color_(color) {
  const int left = qMax(0, x1);
  setGeometry(left, y, x2 - left + 1, qMax(1, width));
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), color_.isValid() ? color_ : palette().color(QPalette::WindowText));
}

ClickFrame::ClickFrame(QWidget* parent) : QFrame(parent) { setFrameStyle(QFrame::Box | QFrame::Sunken); }

void ClickFrame::mousePressEvent(QMouseEvent* event) {
  pressedOnEmpty_ = childAt(event->position().toPoint()) == nullptr;
  event->accept();
}

void ClickFrame::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressedOnEmpty_ && rect().contains(event->position().toPoint()) &&
                     childAt(event->position().toPoint()) == nullptr;
  pressedOnEmpty_ = false;
  event->accept();
  if (click) emit Click();
}
