// The main window as the run's host: Start and File, Start; what is usable during a run;
// Stop, Exit and the close button during a run (with the stand-in encoder); the drive
// lists; the log and ScrollText.

#include "drive_list.h"
#include "folder_list.h"
#include "frmEncrypt.h"
#include "log_box.h"
#include "ui_test_support.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

void WriteFile(const QString& path, const QByteArray& body) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(body);
}

// Runs `action` in the run's first pause, after its first file.
void DuringRun(frmEncrypt& window, std::function<void()> action) {
  QMetaObject::invokeMethod(&window, std::move(action), Qt::QueuedConnection);
}

int CountLines(const QString& log, const QString& prefix) {
  int n = 0;
  for (const QString& line : log.split(QStringLiteral("\r\n"))) n += line.startsWith(prefix) ? 1 : 0;
  return n;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void init();
  void cleanup();

  void freshWindow();
  void startRunsTheWalk_data();
  void startRunsTheWalk();
  void enabledDuringRun_data();
  void enabledDuringRun();
  void actionDuringRun_data();
  void actionDuringRun();
  void optionsOpenDuringRun();
  void identicalFoldersAreRefused();
  void exitWhenIdleAsksNothing();
  void helpHelpDoesNothing();
  void pickingADrive_data();
  void pickingADrive();
  void logKeepsEntriesAndTypedText();
  void scrollText_data();
  void scrollText();

private:
  std::unique_ptr<QTemporaryDir> temp_;
  std::unique_ptr<RecordingStore> store_;
  std::unique_ptr<frmEncrypt> window_;
  QString src_, dst_;
};

void MainWindowTest::initTestCase() { PrepareWindowTests(); }

// A small site of 6 files in 2 folders, an encoder beside a private AppDir, and a window
// showing the site as source and an empty folder as destination.
void MainWindowTest::init() {
  temp_ = std::make_unique<QTemporaryDir>();
  QVERIFY(temp_->isValid());
  src_ = temp_->filePath(QStringLiteral("site"));
  dst_ = temp_->filePath(QStringLiteral("out"));
  for (const char* name : {"a.js", "b.js", "c.txt", "d.js", "sub/e.js", "sub/f.txt"}) {
    WriteFile(src_ + u'/' + QString::fromLatin1(name), QByteArrayLiteral("var x = 1;\n"));
  }
  QVERIFY(QDir().mkpath(dst_));
  const QString bin = temp_->filePath(QStringLiteral("bin"));
  QVERIFY(QDir().mkpath(bin));
  QVERIFY(QFile::link(qEnvironmentVariable("QW_TEST_FAKE_SCRENC"), bin + QStringLiteral("/screnc")));
  store_ = std::make_unique<RecordingStore>();
  store_->Set(QStringLiteral("chkJS"), QStringLiteral("1"));
  window_ = std::make_unique<frmEncrypt>(*store_);
  window_->SetAppDir(bin);
  QCOMPARE(window_->Dir1->SetPath(src_), FolderAccess::Ok);
  QCOMPARE(window_->Dir2->SetPath(dst_), FolderAccess::Ok);
  window_->show();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  MessageBox::TakeShown();
}

void MainWindowTest::cleanup() {
  window_.reset();
  store_.reset();
  temp_.reset();
}

void MainWindowTest::freshWindow() {
  RecordingStore store;
  frmEncrypt fresh(store);
  const QString current = QDir::toNativeSeparators(QDir::currentPath());
  QCOMPARE(fresh.Dir1->Path(), current);
  QCOMPARE(fresh.Dir2->Path(), current);
  QCOMPARE(fresh.Drive1->Drive(), fresh.Drive2->Drive());
  QVERIFY(!fresh.Command2->isEnabled());
  QVERIFY(fresh.Command1->isEnabled());
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
    window_->mnuFileStart->trigger();
  } else {
    QTest::mouseClick(window_->Command1, Qt::LeftButton);
  }
  const QString log = window_->LogText();
  QVERIFY2(log.startsWith(QStringLiteral("\r\nProcessing ... ") + QDir::toNativeSeparators(src_)), qPrintable(log));
  QCOMPARE(CountLines(log, QStringLiteral("Processing ... ")), 2);
  QVERIFY2(log.endsWith(QStringLiteral("Done: 6 files, 0 failed")), qPrintable(log));
  QFile encoded(dst_ + QStringLiteral("/sub/e.js"));
  QVERIFY(encoded.open(QIODevice::ReadOnly));
  QVERIFY(encoded.readAll().startsWith("ENCODED\n"));
  QVERIFY(!window_->Command2->isEnabled());
  QVERIFY(window_->Command1->isEnabled());
  QVERIFY(window_->Dir1->isEnabled());
  QVERIFY(!window_->State().Busy);
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
  QTest::newRow("source folder") << "Dir1" << false;
  QTest::newRow("destination folder") << "Dir2" << false;
  QTest::newRow("log") << "Text1" << true;
}

void MainWindowTest::enabledDuringRun() {
  QFETCH(QString, control);
  QFETCH(bool, enabled);
  auto isEnabled = [this, control] {
    if (auto* w = window_->findChild<QWidget*>(control)) return w->isEnabled();
    return window_->findChild<QAction*>(control)->isEnabled();
  };
  int seen = -1;
  DuringRun(*window_, [&] { seen = window_->State().Busy ? int(isEnabled()) : -1; });
  window_->Command1->click();
  QCOMPARE(seen, int(enabled));
  const bool idle = control != QLatin1String("Command2");
  QCOMPARE(isEnabled(), idle);
}

void MainWindowTest::actionDuringRun_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<bool>("stops");
  QTest::addColumn<bool>("asks");
  QTest::addColumn<bool>("windowGoes");
  QTest::newRow("Stop") << "stop" << true << false << false;
  QTest::newRow("Exit, answered No") << "exit-no" << false << true << false;
  QTest::newRow("Exit, answered Yes") << "exit-yes" << true << true << true;
  QTest::newRow("close button") << "close" << true << false << true;
}

// The action lands in the pause after the first file: a stopping one ends the run there.
void MainWindowTest::actionDuringRun() {
  QFETCH(QString, action);
  QFETCH(bool, stops);
  QFETCH(bool, asks);
  QFETCH(bool, windowGoes);
  DuringRun(*window_, [&] {
    if (action == QLatin1String("stop")) QTest::mouseClick(window_->Command2, Qt::LeftButton);
    if (action.startsWith(QLatin1String("exit"))) {
      MessageBox::SetNextAnswer(action == QLatin1String("exit-yes") ? MsgAnswer::Yes : MsgAnswer::No);
      window_->mnuFileExit->trigger();
    }
    if (action == QLatin1String("close")) window_->close();
  });
  window_->Command1->click();

  const QString log = window_->LogText();
  QCOMPARE(log.endsWith(QStringLiteral("Stopped: 1 files, 0 failed")), stops);
  QCOMPARE(log.endsWith(QStringLiteral("Done: 6 files, 0 failed")), !stops);
  QCOMPARE(QFile::exists(dst_ + QStringLiteral("/b.js")), !stops);
  QCOMPARE(QDir(dst_ + QStringLiteral("/sub")).exists(), !stops);
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  QCOMPARE(shown.size(), asks ? 1 : 0);
  if (asks) {
    QCOMPARE(shown[0].text, QStringLiteral("Cancel current Action?"));
    QCOMPARE(shown[0].title, QStringLiteral("Encode Website"));
    QCOMPARE(shown[0].icon, MessageIcon::Question);
    QCOMPARE(shown[0].buttons, MsgButtons::YesNo);
  }
  QCOMPARE(window_->isVisible(), !windowGoes);
  QVERIFY(!window_->State().StopRequested);  // never carried into the next run
  QVERIFY(!window_->Command2->isEnabled());
}

// A modal window opened in a pause keeps the run waiting until it closes.
void MainWindowTest::optionsOpenDuringRun() {
  QString modal;
  int filesWhileOpen = -1;
  DuringRun(*window_, [&] {
    QTimer::singleShot(0, [&] {
      QWidget* w = QApplication::activeModalWidget();
      modal = w ? w->objectName() : QString();
      filesWhileOpen = window_->State().FilesDone;
      if (w) w->close();
    });
    window_->mnuFileOpt->trigger();
  });
  window_->Command1->click();
  QCOMPARE(modal, QStringLiteral("Dialog"));
  QCOMPARE(filesWhileOpen, 2);  // the run waited after its first file
  QVERIFY(window_->LogText().endsWith(QStringLiteral("Done: 6 files, 0 failed")));
}

void MainWindowTest::identicalFoldersAreRefused() {
  QCOMPARE(window_->Dir2->SetPath(src_), FolderAccess::Ok);
  window_->Text1->setPlainText(QStringLiteral("earlier log"));
  window_->Command1->click();
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  QCOMPARE(shown.size(), 1);
  QCOMPARE(shown[0].text, QStringLiteral("Source and Destination Paths can not be the same!"));
  QCOMPARE(shown[0].title, QStringLiteral("Source Encode"));
  QCOMPARE(shown[0].icon, MessageIcon::Warning);
  QCOMPARE(window_->LogText(), QStringLiteral("earlier log"));
  QVERIFY(!window_->Command2->isEnabled());
  QVERIFY(window_->Command1->isEnabled());
}

void MainWindowTest::exitWhenIdleAsksNothing() {
  window_->mnuFileExit->trigger();
  QVERIFY(MessageBox::TakeShown().isEmpty());
  QVERIFY(!window_->isVisible());
}

void MainWindowTest::helpHelpDoesNothing() {
  const QString log = window_->LogText();
  window_->mnuHelpHelp->trigger();
  QVERIFY(MessageBox::TakeShown().isEmpty());
  QVERIFY(QApplication::activeModalWidget() == nullptr);
  QVERIFY(window_->isVisible());
  QCOMPARE(window_->LogText(), log);
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
  const QString there = QDir::toNativeSeparators(temp_->path());
  const QString picked = QDir::toNativeSeparators(temp_->filePath(QStringLiteral("volume")));
  if (available) QVERIFY(QDir().mkpath(picked));
  window_->Drive2->SetVolumes({{there, QString()}, {picked, QStringLiteral("label")}});
  window_->Drive2->setCurrentIndex(window_->Drive2->findData(picked));
  QCOMPARE(window_->Drive2->Drive(), picked);
  const QList<ShownMessage> shown = MessageBox::TakeShown();
  if (available) {
    QVERIFY(shown.isEmpty());
    QCOMPARE(window_->Dir2->Path(), picked);
  } else {
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QStringLiteral("Device Unavailable!"));
    QCOMPARE(shown[0].title, QStringLiteral("Encode Website"));
    QCOMPARE(shown[0].icon, MessageIcon::Critical);
    QCOMPARE(window_->Dir2->Path(), QDir::toNativeSeparators(dst_));
  }
  QCOMPARE(window_->Dir1->Path(), QDir::toNativeSeparators(src_));
}

void MainWindowTest::logKeepsEntriesAndTypedText() {
  window_->ClearLog();
  window_->AppendLog("one");
  window_->Text1->setFocus();
  window_->Text1->moveCursor(QTextCursor::End);
  QTest::keyClicks(window_->Text1, QStringLiteral(" typed"));
  window_->AppendLog("two");
  QCOMPARE(window_->LogText(), QStringLiteral("\r\none typed\r\ntwo"));
}

void MainWindowTest::scrollText_data() {
  QTest::addColumn<int>("before");  // where the view was
  QTest::addColumn<int>("lines");
  QTest::addColumn<int>("top");  // -1: as far down as the box allows
  QTest::newRow("zero scrolls nothing") << 0 << 0 << 0;
  QTest::newRow("down from the first line") << 0 << 5 << 5;
  QTest::newRow("from the first line, not from the view") << 40 << 5 << 5;
  QTest::newRow("no further than the end") << 0 << 1000 << -1;
  QTest::newRow("a negative count shows the first line") << 20 << -3 << 0;
}

void MainWindowTest::scrollText() {
  QFETCH(int, before);
  QFETCH(int, lines);
  QFETCH(int, top);
  window_->ClearLog();
  for (int i = 0; i < 200; ++i) window_->AppendLog("entry " + std::to_string(i));
  QScrollBar* bar = window_->Text1->verticalScrollBar();
  QTRY_VERIFY(bar->maximum() > 100);
  bar->setValue(before);
  window_->Command1->setFocus();
  QVERIFY(window_->Command1->hasFocus());
  window_->ScrollText(static_cast<qint16>(lines));
  QCOMPARE(bar->value(), top < 0 ? bar->maximum() : top);
  QVERIFY(window_->Command1->hasFocus());
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
