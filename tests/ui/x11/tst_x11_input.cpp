// The main window and the Options dialog under a real X server and window manager, with
// input sent through the X server by xdotool and our real encoder doing the work: Stop
// pressed and held as people press it while files go by, the window manager's close
// during a run, the keyboard through the window and the Options dialog, the window
// grown and shrunk by the window manager, the title the window manager shows.
// Run by x11_session.sh, which provides the X server and the window manager.

#include "../window_fixture.h"
#include "Dialog.h"
#include "controls.h"
#include "log_box.h"

#include <QAbstractItemView>
#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QTreeWidgetItem>

namespace {

QString Xdotool() { return QStringLiteral("xdotool"); }

// Runs xdotool and waits for it: the events it made are then queued at the X server.
bool Xdo(const QStringList& args) { return QProcess::execute(Xdotool(), args) == 0; }

// The first line xdotool prints.
QString XdoOutput(const QStringList& args) {
  QProcess p;
  p.start(Xdotool(), args);
  p.waitForFinished(10000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Starts xdotool and returns at once: for input that must arrive while a run goes on.
void XdoLater(const QStringList& args) { QProcess::startDetached(Xdotool(), args); }

QStringList At(QWidget* w) {
  const QPoint p = w->mapToGlobal(w->rect().center());
  return {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(p.x()), QString::number(p.y())};
}

QString Wid(QWidget* w) { return QString::number(w->window()->winId()); }

bool RunEnded(frmEncrypt* w) {
  const QString log = w->LogText();
  return !w->State().Busy && (log.contains(QStringLiteral("\r\nDone: ")) || log.contains(QStringLiteral("\r\nStopped: ")));
}

}  // namespace

class X11InputTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { PrepareWindowTests(); }
  void init();
  void cleanup() { f_.reset(); }

  void stopHeldWhileFilesGoBy_data();
  void stopHeldWhileFilesGoBy();
  void windowManagerCloseAsks_data();
  void windowManagerCloseAsks();
  void altLetterOpensMenu();
  void optionsByKeyboard();
  void windowManagerResizes();
  void titleShowsShareDone();
  void optionsEnterIsOk();
  void folderClickedOrArrowedIsChosen();
  void focusOnStartAfterRun();

private:
  std::unique_ptr<WindowFixture> f_;
  frmEncrypt* w_ = nullptr;
};

// A site of 1000 script files more, encoded by our real screnc, and the window active.
void X11InputTest::init() {
  // One encoder process per file: runs long enough for a press to land in.
  qputenv("QUILLWARD_PER_FILE", "1");
  f_ = std::make_unique<WindowFixture>();
  QVERIFY(f_->Make(1000, qEnvironmentVariable("QW_TEST_BIN_DIR") + QStringLiteral("/screnc")));
  w_ = f_->window.get();
  QVERIFY(Xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), Wid(w_)}));
  QTRY_VERIFY(w_->isActiveWindow());
  MessageBox::TakeShown();
}

void X11InputTest::stopHeldWhileFilesGoBy_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("mouse held 100 ms") << "mouse";
  QTest::newRow("Space held 100 ms") << "space";
  QTest::newRow("Enter") << "enter";
}

// Start by a real click or key, then Stop pressed as people press it, while the run
// goes on: the run stops.
void X11InputTest::stopHeldWhileFilesGoBy() {
  QFETCH(QString, how);
  int doneAtPress = 0;
  WhenRunning(
      w_, [this] { return w_->State().Busy && w_->State().FilesDone > 5; },
      [&] {
        doneAtPress = w_->State().FilesDone;
        if (how == QLatin1String("mouse")) {
          XdoLater(At(w_->Command2) + QStringList{"mousedown", "1", "sleep", "0.1", "mouseup", "1"});
        } else if (how == QLatin1String("space")) {
          XdoLater({"keydown", "space", "sleep", "0.1", "keyup", "space"});
        } else {
          XdoLater({"key", "Return"});
        }
        // The run waits here, inside its pause for events, until the press has arrived:
        // however slow xdotool is to start, the button is then held while files go by.
        if (how != QLatin1String("enter")) QTRY_VERIFY_WITH_TIMEOUT(w_->Command2->isDown(), 20000);
      });
  if (how == QLatin1String("mouse")) {
    QVERIFY(Xdo(At(w_->Command1) + QStringList{"click", "1"}));
  } else {
    w_->Command1->setFocus();
    QVERIFY(Xdo({"key", "space"}));
  }
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w_), 60000);
  const QString log = w_->LogText();
  QVERIFY2(log.contains(QStringLiteral("\r\nStopped: ")), qPrintable(log.right(120)));
  QVERIFY(doneAtPress > 0);
  // While the button or the key was held, files went on being done.
  if (how != QLatin1String("enter")) QVERIFY(w_->State().FilesDone > doneAtPress);
}

void X11InputTest::windowManagerCloseAsks_data() {
  QTest::addColumn<bool>("yes");
  QTest::newRow("answered No: the run goes on") << false;
  QTest::newRow("answered Yes: the run stops, the window goes") << true;
}

// Alt+F4 is the window manager's close, as the title bar's close button is.
void X11InputTest::windowManagerCloseAsks() {
  QFETCH(bool, yes);
  if (yes) MessageBox::SetNextAnswer(MsgAnswer::Yes);
  WhenRunning(
      w_, [this] { return w_->State().Busy && w_->State().FilesDone > 5; },
      [] { XdoLater({"key", "alt+F4"}); });
  QVERIFY(Xdo(At(w_->Command1) + QStringList{"click", "1"}));
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w_), 60000);
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  QCOMPARE(shown.size(), 1);
  QCOMPARE(shown[0].text, QStringLiteral("Cancel current Action?"));
  QCOMPARE(w_->LogText().contains(QStringLiteral("\r\nStopped: ")), yes);
  QCOMPARE(w_->isVisible(), !yes);
}

// Alt+H opens Help and types nothing anywhere; Esc closes it.
void X11InputTest::altLetterOpensMenu() {
  w_->Text1->setFocus();
  QVERIFY(Xdo({"key", "alt+h"}));
  QTRY_VERIFY(QApplication::activePopupWidget() == w_->mnuHelp);
  QVERIFY(Xdo({"key", "Escape"}));
  QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
  QCOMPARE(w_->LogText(), QString());
}

// File, Options by its letters; Tab to the first combo box, open it with Alt+Down,
// choose with the arrow and Enter; Esc cancels the dialog and nothing is stored.
void X11InputTest::optionsByKeyboard() {
  QVERIFY(Xdo({"key", "alt+f", "o"}));
  QTRY_VERIFY(qobject_cast<Dialog*>(QApplication::activeModalWidget()));
  auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
  QTRY_VERIFY(dialog->isActiveWindow());
  dialog->OKButton->setFocus();
  QVERIFY(Xdo({"key", "Tab", "Tab"}));  // Cancel, then round to the top of the dialog
  QTRY_VERIFY(dialog->Combo1->hasFocus());
  QVERIFY(Xdo({"key", "x", "BackSpace"}));  // refused
  QVERIFY(Xdo({"key", "alt+Down"}));
  QTRY_VERIFY(dialog->Combo1->view()->isVisible());
  QVERIFY(Xdo({"key", "Down", "Return"}));
  QTRY_VERIFY(!dialog->Combo1->view()->isVisible());
  QCOMPARE(dialog->Combo1->currentText(), QStringLiteral("JScript"));
  QVERIFY(Xdo({"key", "Escape"}));
  QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
  QVERIFY(f_->store.writes.isEmpty());
}

// The window manager grows the window: the folder lists and the log grow with it; it
// cannot make it smaller than the classic size.
void X11InputTest::windowManagerResizes() {
  const QSize least = w_->minimumSize().isEmpty() ? w_->minimumSizeHint() : w_->minimumSize();
  const int listWidth = w_->Dir1->width();
  const int logHeight = w_->Text1->height();
  QVERIFY(Xdo({"windowsize", "--sync", Wid(w_), QString::number(least.width() + 400), QString::number(least.height() + 300)}));
  QTRY_VERIFY(w_->Dir1->width() >= listWidth + 190);
  QTRY_VERIFY(w_->Text1->height() >= logHeight + 140);
  QVERIFY(Xdo({"windowsize", Wid(w_), "200", "150"}));
  QTRY_VERIFY(w_->width() < least.width() + 400);
  QCOMPARE(w_->Dir1->width(), listWidth);
  QVERIFY(w_->width() >= least.width() && w_->height() >= least.height());
}

// What the window manager shows as the title during a run.
void X11InputTest::titleShowsShareDone() {
  QString title;
  WhenRunning(
      w_, [this] { return w_->State().Busy && w_->LogText().count(QLatin1Char('\n')) >= 3; },
      [&] {
        static const QRegularExpression share(QStringLiteral("^[0-9]+% - Quillward$"));
        QTRY_VERIFY((w_->RepaintLog(), share.match(title = XdoOutput({"getwindowname", Wid(w_)})).hasMatch()));
        w_->Command2->click();
      });
  QVERIFY(Xdo(At(w_->Command1) + QStringList{"click", "1"}));
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w_), 60000);
  QVERIFY2(title.endsWith(QStringLiteral("% - Quillward")), qPrintable(title));
  QTRY_COMPARE(XdoOutput({"getwindowname", Wid(w_)}), QStringLiteral("Quillward"));
}

// Options by keys alone: Tab down to a check box, Space, Enter there presses OK.
void X11InputTest::optionsEnterIsOk() {
  QVERIFY(Xdo({"key", "alt+f", "o"}));
  QTRY_VERIFY(qobject_cast<Dialog*>(QApplication::activeModalWidget()));
  auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
  QTRY_VERIFY(dialog->isActiveWindow());
  QTRY_VERIFY(dialog->Combo1->hasFocus());  // the first control down the dialog
  QVERIFY(Xdo({"key", "Tab", "Tab"}));      // Combo2, then "Don't add ..."
  QTRY_VERIFY(dialog->chkLangDirect->hasFocus());
  QVERIFY(Xdo({"key", "Tab", "space", "Return"}));
  QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
  QCOMPARE(f_->store.Get(QStringLiteral("chkASP")), QStringLiteral("1"));
}

// A click on a folder of the list, then the down arrow: each chooses the folder, the path
// field shows it, and it is what Start takes.
void X11InputTest::folderClickedOrArrowedIsChosen() {
  for (const char* name : {"alpha", "beta"}) QVERIFY(QDir().mkpath(f_->dst + u'/' + QString::fromLatin1(name)));
  w_->OpenFolders(QString(), f_->dst);
  const QList<QTreeWidgetItem*> found = w_->Dir2->findItems(QStringLiteral("alpha"), Qt::MatchExactly | Qt::MatchRecursive);
  QCOMPARE(found.size(), 1);
  const QPoint at = w_->Dir2->viewport()->mapToGlobal(w_->Dir2->visualItemRect(found[0]).center());
  QVERIFY(Xdo({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"}));
  QTRY_COMPARE(w_->txtPath2->text(), f_->Native(f_->dst + QStringLiteral("/alpha")));
  QVERIFY(Xdo({"key", "Down"}));
  QTRY_COMPARE(w_->txtPath2->text(), f_->Native(f_->dst + QStringLiteral("/beta")));
  QCOMPARE(w_->DestinationPath(), std::filesystem::path(f_->Native(f_->dst + QStringLiteral("/beta")).toStdString()));
}

// After a run the focus is on Start: a Space then starts the next run, not a blank typed
// into the destination's field.
void X11InputTest::focusOnStartAfterRun() {
  const QString destination = w_->txtPath2->text();
  w_->txtPath2->setFocus();
  QVERIFY(Xdo({"key", "alt+s"}));
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w_), 120000);
  QTRY_VERIFY(w_->Command1->hasFocus());
  w_->Text1->Clear();
  QVERIFY(Xdo({"key", "space"}));
  QTRY_VERIFY_WITH_TIMEOUT(RunEnded(w_), 120000);
  QCOMPARE(w_->txtPath2->text(), destination);
}

QTEST_MAIN(X11InputTest)
#include "tst_x11_input.moc"
