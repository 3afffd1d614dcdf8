#pragma once
// Message boxes, with a seam for tests. In test mode no box is shown: each is recorded
// and answered from a queue of answers, or with its safe answer (OK, or No for a
// question), so a test can never hang on a modal box. The control that had the focus
// before a box has it again after.

#include "encrypt_face.h"
#include "run/run_host.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

enum class MsgButtons { Ok, YesNo, Other };
enum class MsgAnswer { Ok, Yes, No };

struct ShownMessage {
  QString text;
  MessageIcon icon = MessageIcon::None;
  QString title;
  MsgButtons buttons = MsgButtons::Ok;
  QString detail;
  QStringList captions;  // the buttons, as MessageSpec names them
};

class MessageBox {
public:
  // Shows a modal box and returns the button pressed. `detail`, when given, is shown
  // under the text in the box's smaller type.
  static MsgAnswer Show(QWidget* parent, const QString& text, MessageIcon icon, const QString& title,
                        MsgButtons buttons = MsgButtons::Ok, const QString& detail = QString());

  // Shows the box a window model asks for and returns the index of the button pressed
  // (the cancel button's when the box is closed). In test mode the answers queued by
  // SetNextAnswer are taken as Ok and Yes = 0, No = 1, or those of SetNextChoice.
  static int Ask(QWidget* parent, const MessageSpec& message);

  // Tests: switches the seam on (nothing is shown from then on) or off.
  static void SetTestMode(bool on);
  // Tests: the answer of the next box; answers queue up in order.
  static void SetNextAnswer(MsgAnswer answer);
  // Tests: the index of the button pressed in the next box.
  static void SetNextChoice(int index);
  // Tests: the boxes shown since the last call, oldest first.
  static QList<ShownMessage> TakeShown();
};
