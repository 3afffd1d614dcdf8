// The Options dialog: what it shows for what is stored, what OK writes, that Cancel, the
// close button and Esc write nothing, and the combo boxes' key lock.

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
  void escAndEnterPressNothing();
  void keyNeverChangesCombo_data();
  void keyNeverChangesCombo();
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

// Neither button is the default or the cancel button: Enter presses only a focused button.
void OptionsTest::escAndEnterPressNothing() {
  RecordingStore store;
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  dialog.chkASP->setFocus();
  QTest::keyClick(dialog.chkASP, Qt::Key_Escape);
  QTest::keyClick(dialog.chkASP, Qt::Key_Return);
  QVERIFY(dialog.isVisible());
  QVERIFY(store.writes.isEmpty());
  dialog.OKButton->setFocus();
  QTest::keyClick(dialog.OKButton, Qt::Key_Return);
  QVERIFY(!dialog.isVisible());
  QVERIFY(!store.writes.isEmpty());
}

void OptionsTest::keyNeverChangesCombo_data() {
  QTest::addColumn<QString>("combo");
  QTest::addColumn<int>("key");
  QTest::newRow("Combo1 letter") << "Combo1" << int(Qt::Key_X);
  QTest::newRow("Combo1 down arrow") << "Combo1" << int(Qt::Key_Down);
  QTest::newRow("Combo1 up arrow") << "Combo1" << int(Qt::Key_Up);
  QTest::newRow("Combo1 page down") << "Combo1" << int(Qt::Key_PageDown);
  QTest::newRow("Combo1 end") << "Combo1" << int(Qt::Key_End);
  QTest::newRow("Combo1 backspace") << "Combo1" << int(Qt::Key_Backspace);
  QTest::newRow("Combo1 delete") << "Combo1" << int(Qt::Key_Delete);
  QTest::newRow("Combo2 letter") << "Combo2" << int(Qt::Key_J);
  QTest::newRow("Combo2 down arrow") << "Combo2" << int(Qt::Key_Down);
  QTest::newRow("Combo2 backspace") << "Combo2" << int(Qt::Key_Backspace);
}

void OptionsTest::keyNeverChangesCombo() {
  QFETCH(QString, combo);
  QFETCH(int, key);
  RecordingStore store;
  store.Set(combo, QStringLiteral("VBScript"));
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  auto* box = dialog.findChild<ComboBox*>(combo);
  box->setFocus();
  box->lineEdit()->setCursorPosition(3);
  const int index = box->currentIndex();
  QTest::keyClick(box, Qt::Key(key));
  QCOMPARE(box->currentText(), QStringLiteral("VBScript"));
  QCOMPARE(box->currentIndex(), index);
  dialog.OKButton->click();
  QCOMPARE(store.Get(combo), QStringLiteral("VBScript"));
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
