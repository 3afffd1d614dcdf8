// The Options dialog: what it shows for what is stored, what OK writes, that Cancel, the
// close button and Esc write nothing, and the combo boxes' keys: typing refused, choosing
// from the list with the arrows, Alt+Down and F4.

#include "Dialog.h"
#include "controls.h"
#include "ui_test_support.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class OptionsTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { PrepareWindowTests(); }

  void emptyStoreOkWritesDefaults_data();
  void emptyStoreOkWritesDefaults();
  void storedValueRoundTrips_data();
  void storedValueRoundTrips();
  void checkBoxClickToggles_data();
  void checkBoxClickToggles();
  void closingWritesNothing_data();
  void closingWritesNothing();
  void escCancelsEnterPressesFocused();
  void keysOnCombo_data();
  void keysOnCombo();
  void comboUnlocksWhenKeyComesUp();
  void mouseChoiceIsStored();
  void changeIsShownAgainAfterOk();
};

void OptionsTest::emptyStoreOkWritesDefaults_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("value");
  QTest::newRow("chkASP") << "chkASP" << "0";
  QTest::newRow("chkHTML") << "chkHTML" << "0";
  QTest::newRow("chkJS") << "chkJS" << "0";
  QTest::newRow("Check2") << "Check2" << "0";
  QTest::newRow("chkLangDirect") << "chkLangDirect" << "0";
  QTest::newRow("txtDefxt") << "txtDefxt" << "*.inc";
  QTest::newRow("Combo1") << "Combo1" << "VBScript";
  // The run's own default for HTML files, so that the dialog shows what runs do.
  QTest::newRow("Combo2 shows the run's default") << "Combo2" << "JScript";
}

void OptionsTest::emptyStoreOkWritesDefaults() {
  QFETCH(QString, key);
  QFETCH(QString, value);
  RecordingStore store;
  Dialog dialog(store);
  dialog.findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
  QCOMPARE(store.Get(key), value);
  QCOMPARE(store.writes.size(), 8);  // every bound control, and nothing else
}

void OptionsTest::storedValueRoundTrips_data() {
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("stored");
  QTest::addColumn<QString>("shown");  // a check box's value 0/1/2, or the text shown
  QTest::addColumn<QString>("written");
  QTest::newRow("set") << "chkASP" << "1" << "1" << "1";
  QTest::newRow("greyed stays greyed") << "chkHTML" << "2" << "2" << "2";
  QTest::newRow("cleared") << "chkJS" << "0" << "0" << "0";
  QTest::newRow("other non-zero number counts as set") << "Check2" << "7" << "1" << "1";
  QTest::newRow("not a number counts as cleared") << "chkLangDirect" << "yes" << "0" << "0";
  QTest::newRow("stored under another case") << "CHKASP" << "1" << "1" << "1";
  QTest::newRow("language outside the list") << "Combo1" << "PerlScript" << "PerlScript" << "PerlScript";
  QTest::newRow("listed language") << "Combo2" << "VBScript" << "VBScript" << "VBScript";
  QTest::newRow("extensions kept as typed") << "txtDefxt" << ".asp.inc .htm" << ".asp.inc .htm" << ".asp.inc .htm";
  QTest::newRow("empty extensions") << "txtDefxt" << "" << "" << "";
}

void OptionsTest::storedValueRoundTrips() {
  QFETCH(QString, key);
  QFETCH(QString, stored);
  QFETCH(QString, shown);
  QFETCH(QString, written);
  RecordingStore store;
  store.Set(key, stored);
  Dialog dialog(store);
  QWidget* control = nullptr;
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (w->objectName().compare(key, Qt::CaseInsensitive) == 0) control = w;
  }
  QVERIFY(control);
  if (auto* check = qobject_cast<CheckBox*>(control)) {
    QCOMPARE(QString::number(check->Value()), shown);
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    QCOMPARE(combo->currentText(), shown);
  } else {
    QCOMPARE(qobject_cast<QLineEdit*>(control)->text(), shown);
  }
  dialog.OKButton->click();
  QCOMPARE(store.Get(key), written);
}

void OptionsTest::checkBoxClickToggles_data() {
  QTest::addColumn<QString>("stored");
  QTest::addColumn<int>("afterClick");
  QTest::newRow("cleared becomes set") << "0" << 1;
  QTest::newRow("set becomes cleared") << "1" << 0;
  QTest::newRow("greyed becomes set") << "2" << 1;
}

void OptionsTest::checkBoxClickToggles() {
  QFETCH(QString, stored);
  QFETCH(int, afterClick);
  RecordingStore store;
  store.Set(QStringLiteral("chkJS"), stored);
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QTest::mouseClick(dialog.chkJS, Qt::LeftButton, {}, QPoint(8, dialog.chkJS->height() / 2));
  QCOMPARE(dialog.chkJS->Value(), afterClick);
}

void OptionsTest::closingWritesNothing_data() {
  QTest::addColumn<bool>("cancelButton");
  QTest::newRow("Cancel") << true;
  QTest::newRow("close button") << false;
}

void OptionsTest::closingWritesNothing() {
  QFETCH(bool, cancelButton);
  RecordingStore store;
  store.Set(QStringLiteral("chkASP"), QStringLiteral("1"));
  {
    Dialog dialog(store);
    dialog.show();
    dialog.chkASP->SetValue(0);
    dialog.txtDefxt->setText(QStringLiteral("*.x"));
    if (cancelButton) {
      dialog.CancelButton->click();
    } else {
      dialog.close();
    }
    QVERIFY(!dialog.isVisible());
  }
  QVERIFY(store.writes.isEmpty());
  Dialog reopened(store);
  QCOMPARE(reopened.chkASP->Value(), 1);
  QCOMPARE(reopened.txtDefxt->text(), QStringLiteral("*.inc"));
}

// Neither button is the default: Enter presses only a focused button. Esc is Cancel.
void OptionsTest::escCancelsEnterPressesFocused() {
  RecordingStore store;
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  dialog.chkASP->setFocus();
  QTest::keyClick(dialog.chkASP, Qt::Key_Return);
  QVERIFY(dialog.isVisible());
  QVERIFY(store.writes.isEmpty());
  QTest::keyClick(dialog.chkASP, Qt::Key_Space);  // a change that Esc throws away
  QTest::keyClick(dialog.chkASP, Qt::Key_Escape);
  QVERIFY(!dialog.isVisible());
  QCOMPARE(dialog.result(), int(QDialog::Rejected));
  QVERIFY(store.writes.isEmpty());
  Dialog again(store);
  again.show();
  QVERIFY(QTest::qWaitForWindowActive(&again));
  again.OKButton->setFocus();
  QTest::keyClick(again.OKButton, Qt::Key_Return);
  QVERIFY(!again.isVisible());
  QVERIFY(!store.writes.isEmpty());
}

void OptionsTest::keysOnCombo_data() {
  QTest::addColumn<QString>("combo");
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<QString>("text");  // the combo's text after the key
  QTest::addColumn<bool>("opens");    // the list drops down
  const int none = Qt::NoModifier;
  QTest::newRow("letter is refused") << "Combo1" << int(Qt::Key_X) << none << "VBScript" << false;
  QTest::newRow("backspace is refused") << "Combo1" << int(Qt::Key_Backspace) << none << "VBScript" << false;
  QTest::newRow("delete is refused") << "Combo2" << int(Qt::Key_Delete) << none << "VBScript" << false;
  QTest::newRow("Ctrl+V is refused") << "Combo2" << int(Qt::Key_V) << int(Qt::ControlModifier) << "VBScript" << false;
  QTest::newRow("down arrow chooses the next") << "Combo1" << int(Qt::Key_Down) << none << "JScript" << false;
  QTest::newRow("End chooses the last") << "Combo2" << int(Qt::Key_End) << none << "JScript" << false;
  QTest::newRow("up arrow at the first stays") << "Combo1" << int(Qt::Key_Up) << none << "VBScript" << false;
  QTest::newRow("Alt+Down opens the list") << "Combo1" << int(Qt::Key_Down) << int(Qt::AltModifier) << "VBScript" << true;
  QTest::newRow("F4 opens the list") << "Combo2" << int(Qt::Key_F4) << none << "VBScript" << true;
}

// Typed text never reaches a combo box; choosing from its list works from the keyboard.
void OptionsTest::keysOnCombo() {
  QFETCH(QString, combo);
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(QString, text);
  QFETCH(bool, opens);
  RecordingStore store;
  store.Set(combo, QStringLiteral("VBScript"));
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  auto* box = dialog.findChild<ComboBox*>(combo);
  box->setFocus();
  box->lineEdit()->setCursorPosition(3);
  QTest::keyClick(box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
  QCOMPARE(box->currentText(), text);
  QCOMPARE(box->view()->isVisible(), opens);
  if (opens) {
    // In the open list the arrow keys move and Enter chooses.
    QTest::keyClick(box->view(), Qt::Key_Down);
    QTest::keyClick(box->view(), Qt::Key_Return);
    QTRY_VERIFY(!box->view()->isVisible());
    text = QStringLiteral("JScript");
    QCOMPARE(box->currentText(), text);
  }
  dialog.OKButton->click();
  QCOMPARE(store.Get(combo), text);
}

void OptionsTest::comboUnlocksWhenKeyComesUp() {
  RecordingStore store;
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  dialog.Combo1->setFocus();
  QTest::keyPress(dialog.Combo1, Qt::Key_A);
  QVERIFY(dialog.Combo1->Locked());
  QVERIFY(dialog.Combo1->lineEdit()->isReadOnly());
  QTest::keyRelease(dialog.Combo1, Qt::Key_A);
  QVERIFY(!dialog.Combo1->Locked());
  QVERIFY(!dialog.Combo1->lineEdit()->isReadOnly());
  // Tab still moves the focus on.
  QTest::keyClick(dialog.Combo1, Qt::Key_Tab);
  QVERIFY(!dialog.Combo1->hasFocus());
}

void OptionsTest::mouseChoiceIsStored() {
  RecordingStore store;
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  dialog.Combo1->showPopup();
  QAbstractItemView* view = dialog.Combo1->view();
  QTRY_VERIFY(view->isVisible());
  const QRect item = view->visualRect(view->model()->index(1, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
  QTRY_VERIFY(!view->isVisible());
  QCOMPARE(dialog.Combo1->currentText(), QStringLiteral("JScript"));
  dialog.OKButton->click();
  QCOMPARE(store.Get(QStringLiteral("Combo1")), QStringLiteral("JScript"));
}

void OptionsTest::changeIsShownAgainAfterOk() {
  RecordingStore store;
  {
    Dialog dialog(store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.chkASP, Qt::LeftButton, {}, QPoint(8, dialog.chkASP->height() / 2));
    dialog.OKButton->click();
  }
  Dialog reopened(store);
  QCOMPARE(reopened.chkASP->Value(), 1);
  QCOMPARE(store.Get(QStringLiteral("chkASP")), QStringLiteral("1"));
}

QTEST_MAIN(OptionsTest)
#include "tst_options.moc"
