#include "message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>

namespace {

struct Seam {
  bool testMode = false;
  QQueue<MsgAnswer> answers;
  QList<ShownMessage> shown;
};

Seam& TheSeam() {
  static Seam seam;
  return seam;
}

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

MsgAnswer Answered(Seam& seam, MsgButtons buttons) {
  if (!seam.answers.isEmpty()) return seam.answers.dequeue();
  return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

}  // namespace

MsgAnswer MessageBox::Show(QWidget* parent, const QString& text, MessageIcon icon,
                           const QString& title, MsgButtons buttons, const QString& detail) {
  Seam& seam = TheSeam();
  if (seam.testMode) {
    seam.shown.append({text, icon, title, buttons, detail});
    return Answered(seam, buttons);
  }
  const QPointer<QWidget> hadFocus = QApplication::focusWidget();
  QMessageBox box(ToQt(icon), title, text,
                  buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                  parent);
  if (!detail.isEmpty()) box.setInformativeText(detail);
  const int pressed = box.exec();
  if (hadFocus && hadFocus->isEnabled() && hadFocus->isVisible()) hadFocus->setFocus(Qt::OtherFocusReason);
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  return pressed == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

void MessageBox::SetTestMode(bool on) {
  Seam& seam = TheSeam();
  seam.testMode = on;
  seam.answers.clear();
  seam.shown.clear();
}

void MessageBox::SetNextAnswer(MsgAnswer answer) { TheSeam().answers.enqueue(answer); }

QList<ShownMessage> MessageBox::TakeShown() {
  QList<ShownMessage> shown;
  shown.swap(TheSeam().shown);
  return shown;
}
