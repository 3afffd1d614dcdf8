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
