// The Options dialog: what it shows for what is stored, what OK writes, that Cancel, the
// close button and Esc write nothing, and the combo boxes' keys: typing refused, choosing
// from the list with the arrows, Alt+Down and F4. The settings of newer runs: what they
// show and write, and that the patterns typed are the ones a run leaves out.

#include "Dialog.h"
#include "controls.h"
#include "run/walk/ignore_rules.h"
#include "ui_test_support.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <thread>

namespace {

// The control that shows `key`: the spin boxes are named for what they hold.
QWidget* ControlFor(Dialog& dialog, const QString& key) {
  if (key.compare(QStringLiteral("EncoderTimeout"), Qt::CaseInsensitive) == 0) return dialog.spnTimeout;
  if (key.compare(QStringLiteral("Jobs"), Qt::CaseInsensitive) == 0) return dialog.spnJobs;
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (w->objectName().compare(key, Qt::CaseInsensitive) == 0) return w;
  }
  return nullptr;
}

QString Shown(QWidget* control) {
  if (auto* check = qobject_cast<CheckBox*>(control)) return QString::number(check->Value());
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
  if (auto* spin = qobject_cast<QSpinBox*>(control)) return QString::number(spin->value());
  if (auto* lines = qobject_cast<QPlainTextEdit*>(control)) return lines->toPlainText();
  return qobject_cast<QLineEdit*>(control)->text();
}

}  // namespace

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
  void typedPatternsAreWhatRunsLeaveOut_data();
  void typedPatternsAreWhatRunsLeaveOut();
  void numbersTypedReachTheRun();
  void keyboardReachesRunFields_data();
  void keyboardReachesRunFields();
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
  QTest::newRow("chkChanged") << "chkChanged" << "0";
  QTest::newRow("chkDelete") << "chkDelete" << "0";
  QTest::newRow("chkVerify") << "chkVerify" << "0";
  QTest::newRow("EncoderTimeout") << "EncoderTimeout" << "300";
  QTest::newRow("Jobs: all cores, wherever the run runs") << "Jobs" << "0";
  // Not the text boxes' "*.inc": no pattern at all.
  QTest::newRow("txtExclude") << "txtExclude" << "";
}

void OptionsTest::emptyStoreOkWritesDefaults() {
  QFETCH(QString, key);
  QFETCH(QString, value);
  RecordingStore store;
  Dialog dialog(store);
  dialog.findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
  QVERIFY(store.values.contains(QStringLiteral("settings/") + key.toLower()));
  QCOMPARE(store.Get(key), value);
  QCOMPARE(store.writes.size(), 14);  // every bound control, and nothing else
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
  QTest::newRow("only changed files") << "chkChanged" << "1" << "1" << "1";
  QTest::newRow("remove what is gone") << "CHKDELETE" << "1" << "1" << "1";
  QTest::newRow("verify") << "chkVerify" << "-1" << "1" << "1";
  QTest::newRow("no time limit") << "EncoderTimeout" << "0" << "0" << "0";
  QTest::newRow("time limit with blanks") << "encodertimeout" << " 45 " << "45" << "45";
  QTest::newRow("negative time limit: the run's 300") << "EncoderTimeout" << "-5" << "300" << "300";
  QTest::newRow("time limit not a number") << "EncoderTimeout" << "soon" << "300" << "300";
  QTest::newRow("files at once") << "Jobs" << "8" << "8" << "8";
  QTest::newRow("too many files at once: 64") << "Jobs" << "100" << "64" << "64";
  QTest::newRow("no files at once: all cores") << "Jobs" << "0" << "0" << "0";
  QTest::newRow("files at once not a number: all cores") << "Jobs" << "many" << "0" << "0";
  QTest::newRow("patterns one a line") << "txtExclude" << ".git/ node_modules/" << ".git/\nnode_modules/" << ".git/ node_modules/";
  QTest::newRow("patterns split at ;") << "txtExclude" << "*.bak;*.tmp\t*.log" << "*.bak\n*.tmp\n*.log" << "*.bak *.tmp *.log";
  QTest::newRow("escaped blank inside shown plain") << "txtExclude" << "my\\ docs/" << "my docs/" << "my\\ docs/";
  QTest::newRow("escaped blank at the end kept") << "txtExclude" << "x\\ " << "x\\ " << "x\\ ";
  QTest::newRow("other escapes kept") << "txtExclude" << "\\#draft \\!x" << "\\#draft\n\\!x" << "\\#draft \\!x";
}

void OptionsTest::storedValueRoundTrips() {
  QFETCH(QString, key);
  QFETCH(QString, stored);
  QFETCH(QString, shown);
  QFETCH(QString, written);
  RecordingStore store;
  store.Set(key, stored);
  Dialog dialog(store);
  QWidget* control = ControlFor(dialog, key);
  QVERIFY(control);
  QCOMPARE(Shown(control), shown);
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

// OK is the default: Enter presses it wherever the focus is. Esc is Cancel.
void OptionsTest::escCancelsEnterPressesFocused() {
  RecordingStore store;
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  dialog.chkASP->setFocus();
  QTest::keyClick(dialog.chkASP, Qt::Key_Space);  // a change that Esc throws away
  QTest::keyClick(dialog.chkASP, Qt::Key_Escape);
  QVERIFY(!dialog.isVisible());
  QCOMPARE(dialog.result(), int(QDialog::Rejected));
  QVERIFY(store.writes.isEmpty());
  for (const char* focus : {"chkASP", "Combo2", "txtDefxt", "spnTimeout", "OKButton"}) {
    store.writes.clear();
    Dialog again(store);
    again.show();
    QVERIFY(QTest::qWaitForWindowActive(&again));
    QWidget* at = again.findChild<QWidget*>(QString::fromLatin1(focus));
    at->setFocus();
    QTRY_VERIFY(at->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY2(!again.isVisible(), focus);
    QCOMPARE(again.result(), int(QDialog::Accepted));
    QCOMPARE(store.writes.size(), 14);
  }
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

void OptionsTest::typedPatternsAreWhatRunsLeaveOut_data() {
  QTest::addColumn<QStringList>("lines");      // typed into the field, Enter after each
  QTest::addColumn<QString>("path");           // relative to the source folder
  QTest::addColumn<bool>("folder");
  QTest::addColumn<bool>("excluded");
  QTest::addColumn<QString>("shownAgain");     // the field when the dialog opens again
  const QStringList vcs = {QStringLiteral(".git/"), QStringLiteral("node_modules/")};
  const QString vcsShown = QStringLiteral(".git/\nnode_modules/");
  QTest::newRow("folder pattern, folder") << vcs << "node_modules" << true << true << vcsShown;
  QTest::newRow("folder pattern, file") << vcs << ".git" << false << false << vcsShown;
  QTest::newRow("blank inside a line, whole name") << QStringList{"my docs/"} << "my docs" << true << true << "my docs/";
  QTest::newRow("blank inside a line, first word") << QStringList{"my docs/"} << "my" << true << false << "my docs/";
  QTest::newRow("; inside a line") << QStringList{"a;b.txt"} << "a;b.txt" << false << true << "a;b.txt";
  QTest::newRow("; inside a line, a part") << QStringList{"a;b.txt"} << "a" << false << false << "a;b.txt";
  QTest::newRow("padding dropped") << QStringList{"  *.bak  "} << "x.bak" << false << true << "*.bak";
  QTest::newRow("escaped blank at the end") << QStringList{"old\\ "} << "old " << false << true << "old\\ ";
  QTest::newRow("escaped blank at the end, without") << QStringList{"old\\ "} << "old" << false << false << "old\\ ";
  QTest::newRow("anchored") << QStringList{"/drafts/"} << "a/drafts" << true << false << "/drafts/";
  QTest::newRow("taken back") << QStringList{"*.log", "!keep.log"} << "keep.log" << false << false << "*.log\n!keep.log";
  QTest::newRow("comment line") << QStringList{"#x"} << "#x" << false << false << "#x";
  QTest::newRow("dangling backslash dropped") << QStringList{"tmp\\", "x"} << "tmp" << false << true << "tmp\nx";
  QTest::newRow("empty lines") << QStringList{"", "  "} << "x.bak" << false << false << "";
}

// Typed into the field, stored in a real settings file by OK, read by the run as it
// starts: each line is one pattern.
void OptionsTest::typedPatternsAreWhatRunsLeaveOut() {
  QFETCH(QStringList, lines);
  QFETCH(QString, path);
  QFETCH(bool, folder);
  QFETCH(bool, excluded);
  QFETCH(QString, shownAgain);
  QTemporaryDir dir;
  const auto store = OpenSettingsFile(NativePathOf(dir.filePath(QStringLiteral("Quillward.conf"))));
  {
    Dialog dialog(*store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.txtExclude->setFocus();
    for (const QString& line : lines) {
      QTest::keyClicks(dialog.txtExclude, line);
      QTest::keyClick(dialog.txtExclude, Qt::Key_Return);
    }
    QVERIFY(dialog.isVisible());  // Enter in the field is a new line
    dialog.OKButton->click();
  }
  const auto reread = OpenSettingsFile(NativePathOf(dir.filePath(QStringLiteral("Quillward.conf"))));
  QVERIFY(reread->Problem().empty());
  const RunSettings run = LoadRunSettings(*reread);
  const IgnoreStack rules(run.SiteExcludes, {});
  QCOMPARE(rules.Excluded(RunText(path), folder), excluded);
  Dialog again(*reread);
  QCOMPARE(again.txtExclude->toPlainText(), shownAgain);
}

// Numbers typed over the shown ones are the run's.
void OptionsTest::numbersTypedReachTheRun() {
  RecordingStore store;
  store.Set(QStringLiteral("Jobs"), QStringLiteral("3"));
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  dialog.spnTimeout->setFocus();
  dialog.spnTimeout->selectAll();
  QTest::keyClicks(dialog.spnTimeout, QStringLiteral("12"));
  dialog.spnJobs->setFocus();
  dialog.spnJobs->selectAll();
  QTest::keyClicks(dialog.spnJobs, QStringLiteral("99"));  // 9, then a second 9 that would pass 64
  QTest::keyClick(dialog.spnJobs, Qt::Key_Up);
  QTest::keyClick(dialog.spnJobs, Qt::Key_Return);  // OK, wherever the focus is
  QVERIFY(!dialog.isVisible());
  const RunSettings run = LoadRunSettings(store);
  QCOMPARE(run.TimeoutSeconds, 12);
  QCOMPARE(run.Jobs, 10);
}

void OptionsTest::keyboardReachesRunFields_data() {
  QTest::addColumn<QString>("from");
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<QString>("to");  // the control with the focus after the key
  const int alt = Qt::AltModifier;
  QTest::newRow("Alt+R") << "OKButton" << int(Qt::Key_R) << alt << "chkChanged";
  QTest::newRow("Alt+M") << "OKButton" << int(Qt::Key_M) << alt << "chkDelete";
  QTest::newRow("Alt+V") << "OKButton" << int(Qt::Key_V) << alt << "chkVerify";
  QTest::newRow("Alt+T") << "txtExclude" << int(Qt::Key_T) << alt << "spnTimeout";
  QTest::newRow("Alt+F") << "chkASP" << int(Qt::Key_F) << alt << "spnJobs";
  QTest::newRow("Alt+L") << "spnJobs" << int(Qt::Key_L) << alt << "txtExclude";
  QTest::newRow("Tab after the classic controls") << "txtDefxt" << int(Qt::Key_Tab) << 0 << "chkChanged";
  QTest::newRow("Tab leaves the pattern field") << "txtExclude" << int(Qt::Key_Tab) << 0 << "OKButton";
  QTest::newRow("Esc in the pattern field") << "txtExclude" << int(Qt::Key_Escape) << 0 << "";
  QTest::newRow("Esc in a spin box") << "spnTimeout" << int(Qt::Key_Escape) << 0 << "";
}

// Alt letters, Tab and Esc (an empty `to`: the dialog closed, nothing written).
void OptionsTest::keyboardReachesRunFields() {
  QFETCH(QString, from);
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(QString, to);
  RecordingStore store;
  Dialog dialog(store);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  QWidget* start = dialog.findChild<QWidget*>(from);
  start->setFocus();
  QTRY_VERIFY(start->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
  if (to.isEmpty()) {
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(store.writes.isEmpty());
    return;
  }
  QWidget* target = dialog.findChild<QWidget*>(to);
  QTRY_VERIFY(target->hasFocus());
  QVERIFY(!target->accessibleName().isEmpty() || qobject_cast<QAbstractButton*>(target));
  QVERIFY(store.writes.isEmpty());
}

QTEST_MAIN(OptionsTest)
#include "tst_options.moc"
