// The main window as the run's host: Start and File, Start; what is usable during a run;
// Stop by a held mouse press, Space and Enter while files go by; Exit and the close
// button during a run; Options and About not holding the run; progress, the log's
// colours and its following the end; the summary and the desktop notice; drive lists.

#include "drive_list.h"
#include "log_box.h"
#include "window_fixture.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>

namespace {

int CountLines(const QString& log, const QString& prefix) {
  int n = 0;
  for (const QString& line : log.split(QStringLiteral("\r\n"))) n += line.startsWith(prefix) ? 1 : 0;
  return n;
}

// The files the run's summary line counts: "Stopped: 1,012 files, 0 failed, in 3 s"
// gives 1012.
int SummaryFiles(const QString& log) {
  const QString last = log.split(QStringLiteral("\r\n")).last();
  return last.section(u' ', 1, 1).remove(u',').toInt();
}

// The log's last line is the summary that begins with `start` ("Done: 6 files, 0
// failed"), followed by the run's length.
bool EndsWithSummary(const QString& log, const QString& start) {
  const QString last = log.split(QStringLiteral("\r\n")).last();
  return last.startsWith(start + QStringLiteral(", in ")) && last.endsWith(QStringLiteral(" s"));
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { PrepareWindowTests(); }
  void init();
  void cleanup() { f_.reset(); }

  void freshWindow();
  void startRunsTheWalk_data();
  void startRunsTheWalk();
  void enabledDuringRun_data();
  void enabledDuringRun();
  void heldStopStops_data();
  void heldStopStops();
  void actionDuringRun_data();
  void actionDuringRun();
  void dialogsDoNotHoldTheRun_data();
  void dialogsDoNotHoldTheRun();
  void refusalKeepsTheFocus();
  void exitWhenIdleAsksNothing();
  void helpOpensTheReadme();
  void pickingADrive_data();
  void pickingADrive();
  void logIsReadOnly();
  void logFollowsItsEnd_data();
  void logFollowsItsEnd();
  void entryLooks_data();
  void entryLooks();
  void failedLineStandsOut();
  void progressInBarAndTitle();
  void endNotice_data();
  void endNotice();

private:
  std::unique_ptr<WindowFixture> f_;
  frmEncrypt* w_ = nullptr;
};

void MainWindowTest::init() {
  f_ = std::make_unique<WindowFixture>();
  const bool longRun = QByteArray(QTest::currentTestFunction()) == "heldStopStops";
  QVERIFY(f_->Make(longRun ? 1000 : 0));
  w_ = f_->window.get();
  MessageBox::TakeShown();
}

void MainWindowTest::freshWindow() {
  RecordingStore store;
  frmEncrypt fresh(store);
  const QString current = QDir::toNativeSeparators(QDir::currentPath());
  QCOMPARE(fresh.Dir1->Path(), current);
  // Never the source itself: a folder beside it, made when Start is pressed.
  QCOMPARE(fresh.txtPath2->text(), current + QStringLiteral("-encoded"));
  QCOMPARE(fresh.Dir2->Path(), QDir::toNativeSeparators(QFileInfo(QDir::currentPath()).path()));
  QCOMPARE(fresh.txtPath1->text(), current);
  QCOMPARE(fresh.Drive1->Drive(), fresh.Drive2->Drive());
  QVERIFY(!fresh.Command2->isEnabled());
  QVERIFY(fresh.Command1->isEnabled());
  QCOMPARE(fresh.windowTitle(), QStringLiteral("Quillward"));
  QCOMPARE(QtText(ToDisplayPath(fresh.AppDir())),
           QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QDir::separator());
}

void MainWindowTest::startRunsTheWalk_data() {
  QTest::addColumn<bool>("fromMenu");
  QTest::newRow("Start button") << false;
  QTest::newRow("File, Start") << true;
}

void MainWindowTest::startRunsTheWalk() {
  QFETCH(bool, fromMenu);
  if (fromMenu) {
    w_->mnuFileStart->trigger();
  } else {
    QTest::mouseClick(w_->Command1, Qt::LeftButton);
  }
  const QString log = w_->LogText();
  QVERIFY2(log.startsWith(QStringLiteral("\r\nProcessing ... ") + f_->Native(f_->src)), qPrintable(log));
  QCOMPARE(CountLines(log, QStringLiteral("Processing ... ")), 2);
  QVERIFY2(EndsWithSummary(log, QStringLiteral("Done: 6 files, 0 failed")), qPrintable(log));
  QFile encoded(f_->dst + QStringLiteral("/sub/e.js"));
  QVERIFY(encoded.open(QIODevice::ReadOnly));
  QVERIFY(encoded.readAll().startsWith("ENCODED\n"));
  QVERIFY(!w_->Command2->isEnabled());
  QVERIFY(w_->Command1->isEnabled());
  QVERIFY(w_->Dir1->isEnabled());
  QVERIFY(!w_->State().Busy);
  // Everything was shown: nothing waits for a later frame, and the summary is in the
  // status line too.
  QCOMPARE(w_->Text1->Text(), w_->Text1->toPlainText().replace(u'\n', QStringLiteral("\r\n")));
  // The same summary in the status line.
  QCOMPARE(w_->lblStatus->text(), log.split(QStringLiteral("\r\n")).last());
  QVERIFY(w_->Text1->AtEnd());
}

void MainWindowTest::enabledDuringRun_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<bool>("enabled");
  QTest::newRow("Start") << "Command1" << false;
  QTest::newRow("Stop") << "Command2" << true;
  QTest::newRow("File, Start") << "mnuFileStart" << false;
  QTest::newRow("File, Options") << "mnuFileOpt" << true;
  QTest::newRow("File, Exit") << "mnuFileExit" << true;
  QTest::newRow("Help, About") << "mnuHelpAbout" << true;
  QTest::newRow("source drive") << "Drive1" << false;
  QTest::newRow("destination drive") << "Drive2" << false;
  QTest::newRow("source path") << "txtPath1" << false;
  QTest::newRow("destination path") << "txtPath2" << false;
  QTest::newRow("source folder") << "Dir1" << false;
  QTest::newRow("destination folder") << "Dir2" << false;
  QTest::newRow("log") << "Text1" << true;
}

void MainWindowTest::enabledDuringRun() {
  QFETCH(QString, control);
  QFETCH(bool, enabled);
  auto isEnabled = [this, control] {
    if (auto* w = w_->findChild<QWidget*>(control)) return w->isEnabled();
    return w_->findChild<QAction*>(control)->isEnabled();
  };
  int seen = -1;
  DuringRun(w_, [&] { seen = w_->State().Busy ? int(isEnabled()) : -1; });
  w_->Command1->click();
  QCOMPARE(seen, int(enabled));
  const bool idle = control != QLatin1String("Command2");
  QCOMPARE(isEnabled(), idle);
}

void MainWindowTest::heldStopStops_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("mouse held 100 ms") << "mouse";
  QTest::newRow("Space held 100 ms") << "space";
  QTest::newRow("Enter") << "enter";
}

// Stop is pressed in one pause of the run and let go 100 ms later, while more files are
// processed in between: the click still counts, and the run stops soon after.
void MainWindowTest::heldStopStops() {
  QFETCH(QString, how);
  int doneAtPress = 0;
  DuringRun(w_, [&] {
    QVERIFY(w_->Command2->hasFocus());  // Start passed the focus on to Stop
    doneAtPress = w_->State().FilesDone;
    if (how == QLatin1String("mouse")) {
      QTest::mousePress(w_->Command2, Qt::LeftButton);
      QTimer::singleShot(100, w_, [this] { QTest::mouseRelease(w_->Command2, Qt::LeftButton); });
    } else if (how == QLatin1String("space")) {
      QTest::keyPress(w_->Command2, Qt::Key_Space);
      QTimer::singleShot(100, w_, [this] { QTest::keyRelease(w_->Command2, Qt::Key_Space); });
    } else {
      QTest::keyClick(w_->Command2, Qt::Key_Return);
    }
  });
  w_->Command1->setFocus();
  QTest::keyClick(w_->Command1, Qt::Key_Space);
  const QString log = w_->LogText();
  QVERIFY2(log.split(QStringLiteral("\r\n")).last().startsWith(QStringLiteral("Stopped: ")) &&
               log.contains(QStringLiteral(", 0 failed, in ")),
           qPrintable(log.right(200)));
  const int done = SummaryFiles(log);
  QVERIFY2(done < 1006, qPrintable(QString::number(done)));
  if (how != QLatin1String("enter")) QVERIFY2(done > doneAtPress, "no file went by while the button was held");
  QVERIFY(w_->Command1->hasFocus());  // back where it was when the run started
}

void MainWindowTest::actionDuringRun_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("stops");
  QTest::addColumn<bool>("windowGoes");
  QTest::newRow("Stop") << "stop" << true << false;
  QTest::newRow("Exit, answered No") << "exit-no" << false << false;
  QTest::newRow("Exit, answered Yes") << "exit-yes" << true << true;
  QTest::newRow("close button, answered No") << "close-no" << false << false;
  QTest::newRow("close button, answered Yes") << "close-yes" << true << true;
}

// The action lands in the pause after the first file: a stopping one ends the run there.
// Exit and the close button ask the same question.
void MainWindowTest::actionDuringRun() {
  QFETCH(QString, action);
  QFETCH(bool, stops);
  QFETCH(bool, windowGoes);
  QString statusWhileAsking;
  DuringRun(w_, [&] {
    if (action == QLatin1String("stop")) QTest::mouseClick(w_->Command2, Qt::LeftButton);
    if (action.endsWith(QLatin1String("-yes"))) MessageBox::SetNextAnswer(MsgAnswer::Yes);
    if (action.startsWith(QLatin1String("exit"))) w_->mnuFileExit->trigger();
    if (action.startsWith(QLatin1String("close"))) w_->close();
  });
  w_->Command1->click();

  const QString log = w_->LogText();
  QCOMPARE(EndsWithSummary(log, QStringLiteral("Stopped: 1 file, 0 failed")), stops);
  QCOMPARE(EndsWithSummary(log, QStringLiteral("Done: 6 files, 0 failed")), !stops);
  QCOMPARE(QFile::exists(f_->dst + QStringLiteral("/b.js")), !stops);
  QCOMPARE(QDir(f_->dst + QStringLiteral("/sub")).exists(), !stops);
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  const bool asks = action != QLatin1String("stop");
  QCOMPARE(shown.size(), asks ? 1 : 0);
  if (asks) {
    QCOMPARE(shown[0].text, QStringLiteral("Cancel current Action?"));
    QCOMPARE(shown[0].title, QStringLiteral("Encode Website"));
    QCOMPARE(shown[0].icon, MessageIcon::Question);
    QCOMPARE(shown[0].buttons, MsgButtons::YesNo);
  }
  QCOMPARE(w_->isVisible(), !windowGoes);
  QVERIFY(!w_->State().StopRequested);  // never carried into the next run
  QVERIFY(!w_->Command2->isEnabled());
}

void MainWindowTest::dialogsDoNotHoldTheRun_data() {
  QTest::addColumn<QString>("menu");
  QTest::addColumn<QString>("dialog");
  QTest::newRow("File, Options") << "mnuFileOpt" << "Dialog";
  QTest::newRow("Help, About") << "mnuHelpAbout" << "frmAbout";
}

// Options and About opened during a run are modal, but the run goes on to its end.
void MainWindowTest::dialogsDoNotHoldTheRun() {
  QFETCH(QString, menu);
  QFETCH(QString, dialog);
  DuringRun(w_, [&] { w_->findChild<QAction*>(menu)->trigger(); });
  w_->Command1->click();
  QVERIFY(EndsWithSummary(w_->LogText(), QStringLiteral("Done: 6 files, 0 failed")));
  QWidget* open = QApplication::activeModalWidget();
  QVERIFY(open);
  QCOMPARE(open->objectName(), dialog);
  QVERIFY(open->isVisible());
  open->close();
  QTRY_VERIFY(!w_->findChild<QWidget*>(dialog));  // destroyed when closed
}

// A refused run shows its message and leaves the focus on Start, not in the log.
void MainWindowTest::refusalKeepsTheFocus() {
  w_->OpenFolders(QString(), f_->src);
  w_->Command1->setFocus();
  QTest::keyClick(w_->Command1, Qt::Key_Space);
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  QCOMPARE(shown.size(), 1);
  QCOMPARE(shown[0].text, QStringLiteral("Source and Destination Paths cannot be the same!"));
  QCOMPARE(shown[0].title, QStringLiteral("Source Encode"));
  QCOMPARE(shown[0].icon, MessageIcon::Warning);
  QVERIFY(w_->Command1->hasFocus());
  QVERIFY(!w_->Command2->isEnabled());
  QCOMPARE(w_->windowTitle(), QStringLiteral("Quillward"));
}

void MainWindowTest::exitWhenIdleAsksNothing() {
  w_->mnuFileExit->trigger();
  QVERIFY(MessageBox::TakeShown().isEmpty());
  QVERIFY(!w_->isVisible());
}

// Help, Help opens the README's section on the window, beside the program.
void MainWindowTest::helpOpensTheReadme() {
  QVERIFY(WriteFile(f_->bin + QStringLiteral("/README.md"), "# Quillward\n"));
  QStringList opened;
  w_->SetDocumentOpener([&opened](const QString& url) {
    opened << url;
    return true;
  });
  const QString log = w_->LogText();
  w_->mnuHelpHelp->trigger();
  QVERIFY(MessageBox::TakeShown().isEmpty());
  QCOMPARE(opened, QStringList{QUrl::fromLocalFile(QFileInfo(f_->bin + QStringLiteral("/README.md")).canonicalFilePath()).toString() +
                               QStringLiteral("#quillward")});
  QCOMPARE(w_->LogText(), log);
}

void MainWindowTest::pickingADrive_data() {
  QTest::addColumn<bool>("available");
  QTest::newRow("drive that is there") << true;
  QTest::newRow("drive without a medium") << false;
}

// An unavailable drive says so; the folder list keeps its folder, the drive list shows
// the drive picked.
void MainWindowTest::pickingADrive() {
  QFETCH(bool, available);
  const QString there = f_->Native(f_->temp.path());
  const QString picked = f_->Native(f_->temp.filePath(QStringLiteral("volume")));
  if (available) QVERIFY(QDir().mkpath(picked));
  w_->Drive2->SetVolumes({{there, QString()}, {picked, QStringLiteral("label")}});
  w_->Drive2->setCurrentIndex(w_->Drive2->findData(picked));
  QCOMPARE(w_->Drive2->Drive(), picked);
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  if (available) {
    QVERIFY(shown.isEmpty());
    QCOMPARE(w_->Dir2->Path(), picked);
    QCOMPARE(w_->txtPath2->text(), picked);
  } else {
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Device Unavailable!"));
    QCOMPARE(shown[0].title, QStringLiteral("Encode Website"));
    QCOMPARE(shown[0].icon, MessageIcon::Critical);
    QCOMPARE(w_->Dir2->Path(), f_->Native(f_->dst));
  }
  QCOMPARE(w_->Dir1->Path(), f_->Native(f_->src));
}

// Typing, Tab and pasting change nothing in the log; Tab leaves it; the text can be copied.
void MainWindowTest::logIsReadOnly() {
  w_->ClearLog();
  w_->AppendLog("one");
  w_->RepaintLog();
  w_->Text1->Flush();
  w_->Text1->setFocus();
  QTest::keyClicks(w_->Text1, QStringLiteral("typed"));
  QTest::keyClick(w_->Text1, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(w_->LogText(), QStringLiteral("\r\none"));
  QTest::keyClick(w_->Text1, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(w_->Text1->textCursor().selectedText(), QString(QChar::ParagraphSeparator) + QStringLiteral("one"));
  QTest::keyClick(w_->Text1, Qt::Key_Tab);
  QVERIFY(!w_->Text1->hasFocus());
  QCOMPARE(w_->LogText(), QStringLiteral("\r\none"));
}

void MainWindowTest::logFollowsItsEnd_data() {
  QTest::addColumn<bool>("scrolledUp");
  QTest::newRow("at the end: follows") << false;
  QTest::newRow("scrolled up to read: stays") << true;
}

void MainWindowTest::logFollowsItsEnd() {
  QFETCH(bool, scrolledUp);
  LogBox* log = w_->Text1;
  log->Clear();
  for (int i = 0; i < 300; ++i) log->Append(QStringLiteral("entry %1").arg(i));
  log->Flush();
  QScrollBar* bar = log->verticalScrollBar();
  QVERIFY(bar->maximum() > 100);
  QVERIFY(log->AtEnd());
  if (scrolledUp) bar->setValue(20);
  for (int i = 0; i < 300; ++i) log->Append(QStringLiteral("more %1").arg(i));
  log->Flush();
  QCOMPARE(log->AtEnd(), !scrolledUp);
  if (scrolledUp) QCOMPARE(bar->value(), 20);
}

void MainWindowTest::entryLooks_data() {
  QTest::addColumn<QString>("entry");
  QTest::addColumn<bool>("failed");
  QTest::addColumn<int>("look");
  QTest::newRow("file") << "a.js" << false << int(EntryLook::Plain);
  QTest::newRow("name with a dash") << "spring - sale.htm" << false << int(EntryLook::Plain);
  QTest::newRow("failed file") << "a.js - encoder exit code 3" << true << int(EntryLook::Failed);
  QTest::newRow("folder") << "Processing ... sub" << false << int(EntryLook::Plain);
  QTest::newRow("folder not listed") << "Processing ... sub - Permission denied" << true << int(EntryLook::Failed);
  QTest::newRow("summary") << "Done: 6 files, 0 failed" << false << int(EntryLook::Summary);
  QTest::newRow("summary with failures") << "Stopped: 6 files, 2 failed" << false << int(EntryLook::FailedSummary);
}

// The look follows the run's flag, never the text of a path.
void MainWindowTest::entryLooks() {
  QFETCH(QString, entry);
  QFETCH(bool, failed);
  QFETCH(int, look);
  QCOMPARE(int(LookOf(entry, failed)), look);
}

// A run in which one encoder call fails: its line is drawn apart, the others are not.
void MainWindowTest::failedLineStandsOut() {
  qputenv("QW_FAKE_FAIL_MATCH", "b.js");
  w_->Command1->click();
  qunsetenv("QW_FAKE_FAIL_MATCH");
  const QString failedEntry = f_->Native(f_->src + QStringLiteral("/b.js - "));
  int failedLines = 0;
  for (QTextBlock b = w_->Text1->document()->begin(); b.isValid(); b = b.next()) {
    const bool failed = b.text().startsWith(failedEntry);
    const QColor colour = b.charFormat().foreground().color();
    QCOMPARE(b.blockFormat().hasProperty(QTextFormat::BackgroundBrush), failed);
    if (failed) {
      ++failedLines;
      QVERIFY(colour.red() > 150 && colour.green() < 50);
    }
  }
  QCOMPARE(failedLines, 1);
  QVERIFY(EndsWithSummary(w_->LogText(), QStringLiteral("Done: 6 files, 1 failed")));
  QVERIFY(w_->prgRun->styleSheet().contains(QStringLiteral("chunk")));  // the bar in the failure colour
  QVERIFY(w_->lblStatus->text().startsWith(QStringLiteral("Done: 6 files, 1 failed")));
}

// What the run reports through ShowProgress: counting, then files done of the total;
// the title shows the share while the run goes and the plain title after.
void MainWindowTest::progressInBarAndTitle() {
  QString counting, bar, title, afterTitle;
  DuringRun(w_, [&] {
    w_->ShowProgress(0, 40);
    QTRY_COMPARE((w_->RepaintLog(), w_->prgRun->format()), QStringLiteral("Counting files: 40"));
    counting = w_->prgRun->format();
    w_->ShowProgress(10, 40);
    QTRY_COMPARE((w_->RepaintLog(), w_->windowTitle()), QStringLiteral("25% - Quillward"));
    bar = w_->prgRun->text();
    title = w_->windowTitle();
  });
  w_->Command1->click();
  QCOMPARE(counting, QStringLiteral("Counting files: 40"));
  QCOMPARE(bar, QStringLiteral("10 of 40 files"));
  QCOMPARE(title, QStringLiteral("25% - Quillward"));
  QCOMPARE(w_->windowTitle(), QStringLiteral("Quillward"));
  QVERIFY(w_->prgRun->isVisible());
  QVERIFY(w_->prgRun->accessibleName().size() > 0);
}

void MainWindowTest::endNotice_data() {
  QTest::addColumn<qint64>("afterMs");
  QTest::addColumn<bool>("elsewhere");  // another window has the focus when the run ends
  QTest::addColumn<bool>("notice");
  QTest::newRow("long run, user elsewhere") << qint64(0) << true << true;
  QTest::newRow("long run, window has the focus") << qint64(0) << false << false;
  QTest::newRow("short run, user elsewhere") << qint64(3600000) << true << false;
}

void MainWindowTest::endNotice() {
  QFETCH(qint64, afterMs);
  QFETCH(bool, elsewhere);
  QFETCH(bool, notice);
  QStringList notices;
  w_->SetNotifier([&](const QString& summary, const QString& body) { notices << summary + u'|' + body; });
  w_->SetNoticeAfter(afterMs);
  QWidget other;
  if (elsewhere) {
    DuringRun(w_, [&] {
      other.show();
      other.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&other));
    });
  }
  w_->Command1->click();
  QCOMPARE(notices.size(), notice ? 1 : 0);
  if (notice) QVERIFY2(notices[0].contains(QStringLiteral("|Done: 6 files, 0 failed, in ")), qPrintable(notices[0]));
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
