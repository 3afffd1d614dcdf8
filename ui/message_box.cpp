#include "message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QQueue>

namespace {

struct Seam {
  bool testMode = false;
  QQueue<int> answers;  // button indexes: Ok and Yes 0, No 1
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
  const int index = seam.answers.isEmpty() ? (buttons == MsgButtons::YesNo ? 1 : 0) : seam.answers.dequeue();
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  return index == 0 ? MsgAnswer::Yes : MsgAnswer::No;
}

MsgButtons KindOf(const QStringList& captions) {
  if (captions == QStringList{QStringLiteral("OK")}) return MsgButtons::Ok;
  if (captions == QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}) return MsgButtons::YesNo;
  return MsgButtons::Other;
}

QMessageBox::StandardButton StandardOf(const QString& caption) {
  if (caption == QLatin1String("OK")) return QMessageBox::Ok;
  if (caption == QLatin1String("&Yes")) return QMessageBox::Yes;
  if (caption == QLatin1String("&No")) return QMessageBox::No;
  if (caption == QLatin1String("Cancel")) return QMessageBox::Cancel;
  return QMessageBox::NoButton;
}

}  // namespace

MsgAnswer MessageBox::Show(QWidget* parent, const QString& text, MessageIcon icon,
                           const QString& title, MsgButtons buttons, const QString& detail) {
  Seam& seam = TheSeam();
  if (seam.testMode) {
    seam.shown.append({text, icon, title, buttons, detail,
                     buttons == MsgButtons::YesNo ? QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}
                                                  : QStringList{QStringLiteral("OK")}});
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

void MessageBox::SetNextAnswer(MsgAnswer answer) { TheSeam().answers.enqueue(answer == MsgAnswer::No ? 1 : 0); }

void MessageBox::SetNextChoice(int index) { TheSeam().answers.enqueue(index); }

int MessageBox::Ask(QWidget* parent, const MessageSpec& message) {
  QStringList captions;
  for (const std::string& caption : message.buttons) captions << QString::fromStdString(caption);
  const QString text = QString::fromStdString(message.text);
  const QString title = QString::fromStdString(message.title);
  const QString detail = QString::fromStdString(message.detail);
  Seam& seam = TheSeam();
  if (seam.testMode) {
    seam.shown.append({text, message.icon, title, KindOf(captions), detail, captions});
    return seam.answers.isEmpty() ? message.cancel : seam.answers.dequeue();
  }
  const QPointer<QWidget> hadFocus = QApplication::focusWidget();
  QMessageBox box(ToQt(message.icon), title, text, QMessageBox::NoButton, parent);
  if (!detail.isEmpty()) box.setInformativeText(detail);
  QList<QAbstractButton*> buttons;
  for (int i = 0; i < captions.size(); ++i) {
    const QMessageBox::StandardButton standard = StandardOf(captions[i]);
    QAbstractButton* b = standard != QMessageBox::NoButton
                             ? static_cast<QAbstractButton*>(box.addButton(standard))
                             : box.addButton(captions[i], i == message.cancel ? QMessageBox::RejectRole
                                                                              : QMessageBox::AcceptRole);
    buttons << b;
  }
  if (message.defaultButton >= 0 && message.defaultButton < buttons.size()) {
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons[message.defaultButton]));
  }
  if (message.cancel >= 0 && message.cancel < buttons.size()) box.setEscapeButton(buttons[message.cancel]);
  box.exec();
  if (hadFocus && hadFocus->isEnabled() && hadFocus->isVisible()) hadFocus->setFocus(Qt::OtherFocusReason);
  const int pressed = static_cast<int>(buttons.indexOf(box.clickedButton()));
  return pressed < 0 ? message.cancel : pressed;
}

QList<ShownMessage> MessageBox::TakeShown() {
  QList<ShownMessage> shown;
  shown.swap(TheSeam().shown);
  return shown;
}
