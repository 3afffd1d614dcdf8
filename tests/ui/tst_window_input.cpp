// The main window from the keyboard and the desktop: the Tab chain, Alt letters, the
// path fields (typed, pasted, a destination created at Start), folders dropped from a
// file manager, the command line, and what is remembered between starts.

#include "drive_list.h"
#include "log_box.h"
#include "path_field.h"
#include "start_state.h"
#include "window_fixture.h"

#include <QAction>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

class WindowInputTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() { PrepareWindowTests(); }
  void init() {
    f_ = std::make_unique<WindowFixture>();
    // A run long enough to press Stop in.
    QVERIFY(f_->Make(QByteArray(QTest::currentDataTag()).contains("during a run") ? 600 : 0));
    w_ = f_->window.get();
    MessageBox::TakeShown();
  }
  void cleanup() { f_.reset(); }

  void tabChain_data();
  void tabChain();
  void altLetters_data();
  void altLetters();
  void typedFolder_data();
  void typedFolder();
  void typedPathOpens_data();
  void typedPathOpens();
  void destinationCreatedAtStart();
  void droppedFolder_data();
  void droppedFolder();
  void startArgs_data();
  void startArgs();
  void rememberedBetweenStarts();

private:
  std::unique_ptr<WindowFixture> f_;
  frmEncrypt* w_ = nullptr;
};

void WindowInputTest::tabChain_data() {
  QTest::addColumn<bool>("backwards");
  QTest::newRow("Tab") << false;
  QTest::newRow("Shift+Tab") << true;
}

// Every control that takes the focus is reached, in the order of the columns, and the
// chain closes on itself. Stop is skipped while it is disabled.
void WindowInputTest::tabChain() {
  QFETCH(bool, backwards);
  QStringList expected = {"Dir1", "Drive2", "txtPath2", "Dir2", "Text1", "Command1", "Drive1", "txtPath1", "Dir1"};
  if (backwards) std::reverse(expected.begin(), expected.end());
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w_->Dir1));
  QStringList seen = {QApplication::focusWidget()->objectName()};
  for (int i = 1; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    seen << QApplication::focusWidget()->objectName();
  }
  QCOMPARE(seen, expected);
}

void WindowInputTest::altLetters_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<QString>("result");
  QTest::newRow("Alt+O: source path") << int(Qt::Key_O) << "focus:txtPath1";
  QTest::newRow("Alt+D: destination path") << int(Qt::Key_D) << "focus:txtPath2";
  QTest::newRow("Alt+F: File menu") << int(Qt::Key_F) << "menu:mnuFile";
  QTest::newRow("Alt+H: Help menu") << int(Qt::Key_H) << "menu:mnuHelp";
  QTest::newRow("Alt+S: Start") << int(Qt::Key_S) << "run:Done";
  QTest::newRow("Alt+T during a run: Stop") << int(Qt::Key_T) << "run:Stopped";
}

// Real key events on the focused control; none of them types into the log.
void WindowInputTest::altLetters() {
  QFETCH(int, key);
  QFETCH(QString, result);
  const QString kind = result.section(u':', 0, 0);
  const QString what = result.section(u':', 1);
  if (key == Qt::Key_T) {
    // Alt+S clicks a moment after the key, so wait for the run itself.
    WhenRunning(w_, [this] { return w_->State().Busy; },
                [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier); });
    key = Qt::Key_S;
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::AltModifier);
  if (kind == QLatin1String("focus")) QCOMPARE(QApplication::focusWidget()->objectName(), what);
  if (kind == QLatin1String("menu")) {
    QTRY_VERIFY(QApplication::activePopupWidget());
    QCOMPARE(QApplication::activePopupWidget()->objectName(), what);
    QApplication::activePopupWidget()->close();
  }
  if (kind == QLatin1String("run")) {
    // A button's Alt letter presses it visibly: the click follows a moment later.
    QTRY_VERIFY2(w_->LogText().contains(QStringLiteral("\r\n%1: ").arg(what)), qPrintable(w_->LogText().right(100)));
  } else {
    QCOMPARE(w_->LogText(), QString());
  }
}

void WindowInputTest::typedFolder_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("folder");  // "~" stands for the home folder
  QTest::newRow("absolute") << "/srv/site" << "/srv/site";
  QTest::newRow("trailing separator and blanks") << "  /srv/site/ " << "/srv/site";
  QTest::newRow("in quotes, as copied from a shell") << "\"/srv/my site\"" << "/srv/my site";
  QTest::newRow("file URL from a file manager") << "file:///srv/my%20site" << "/srv/my site";
  QTest::newRow("home") << "~/site" << "~/site";
  QTest::newRow("relative to the folder shown") << "../out" << "/base/out";
  QTest::newRow("empty") << "  " << "";
}

void WindowInputTest::typedFolder() {
  QFETCH(QString, text);
  QFETCH(QString, folder);
  if (folder.startsWith(u'~')) folder = QDir::homePath() + folder.mid(1);
  QCOMPARE(TypedFolder(text, QDir::toNativeSeparators(QStringLiteral("/base/site"))),
           folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder));
}

void WindowInputTest::typedPathOpens_data() {
  QTest::addColumn<bool>("destination");
  QTest::addColumn<bool>("exists");
  QTest::newRow("source, existing folder") << false << true;
  QTest::newRow("destination, existing folder") << true << true;
  QTest::newRow("source, no such folder") << false << false;
  QTest::newRow("destination, not there yet") << true << false;
}

// Typed (or pasted) and Enter: an existing folder opens in the list; one that is not
// there stays typed, and the status line says what will happen to it.
void WindowInputTest::typedPathOpens() {
  QFETCH(bool, destination);
  QFETCH(bool, exists);
  const QString folder = f_->Native(f_->temp.filePath(QStringLiteral("typed")));
  if (exists) QVERIFY(QDir().mkpath(folder));
  PathField* field = destination ? w_->txtPath2 : w_->txtPath1;
  FolderList* list = destination ? w_->Dir2 : w_->Dir1;
  const QString before = list->Path();
  QTest::keyClick(w_, destination ? Qt::Key_D : Qt::Key_O, Qt::AltModifier);
  QVERIFY(field->hasFocus());
  field->selectAll();
  QTest::keyClicks(field, folder);
  QTest::keyClick(field, Qt::Key_Return);
  // The list follows the field: a folder not there is shown under the nearest one that is.
  Q_UNUSED(before);
  QCOMPARE(list->Path(), exists ? folder : f_->Native(f_->temp.path()));
  QCOMPARE(field->text(), folder);
  QCOMPARE(field->Typed(), !exists);
  QCOMPARE(w_->lblStatus->text().contains(folder), !exists);
  const std::filesystem::path runPath = destination ? w_->DestinationPath() : w_->SourcePath();
  QCOMPARE(runPath, std::filesystem::path(folder.toStdString()));
}

// A destination that does not exist yet is created when Start is pressed, and the list
// opens it after the run.
void WindowInputTest::destinationCreatedAtStart() {
  const QString fresh = f_->Native(f_->temp.filePath(QStringLiteral("new/deeper")));
  w_->txtPath2->setText(fresh);
  w_->Command1->click();
  QVERIFY2(w_->LogText().contains(QStringLiteral("\r\nDone: 6 files, 0 failed, in ")), qPrintable(w_->LogText().right(200)));
  QVERIFY(QFile::exists(fresh + QStringLiteral("/sub/e.js")));
  QCOMPARE(w_->Dir2->Path(), fresh);
  QVERIFY(!w_->txtPath2->Typed());
}

void WindowInputTest::droppedFolder_data() {
  QTest::addColumn<QString>("onto");  // the control under the drop
  QTest::addColumn<QString>("item");  // relative to the temp folder
  QTest::addColumn<QString>("opens");
  QTest::addColumn<bool>("destination");
  QTest::newRow("folder onto the source list") << "Dir1" << "drop" << "drop" << false;
  QTest::newRow("folder onto the destination path") << "txtPath2" << "drop" << "drop" << true;
  QTest::newRow("folder onto the log's right half") << "Text1:right" << "drop" << "drop" << true;
  QTest::newRow("file: the folder that holds it") << "Dir2" << "drop/file.txt" << "drop" << true;
}

// The drop goes to the control under the pointer and on to the window, as a drop from
// a file manager does.
void WindowInputTest::droppedFolder() {
  QFETCH(QString, onto);
  QFETCH(QString, item);
  QFETCH(QString, opens);
  QFETCH(bool, destination);
  QVERIFY(WriteFile(f_->temp.filePath(QStringLiteral("drop/file.txt"))));
  QWidget* target = w_->findChild<QWidget*>(onto.section(u':', 0, 0));
  QVERIFY(target);
  const QPoint at = onto.endsWith(QLatin1String(":right")) ? QPoint(target->width() - 30, 20) : target->rect().center();
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(f_->temp.filePath(item))});
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  QVERIFY(drop.isAccepted());
  const QString folder = f_->Native(f_->temp.filePath(opens));
  QCOMPARE((destination ? w_->Dir2 : w_->Dir1)->Path(), folder);
  QCOMPARE((destination ? w_->Dir1 : w_->Dir2)->Path(), f_->Native(destination ? f_->src : f_->dst));
}

void WindowInputTest::startArgs_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("source");
  QTest::addColumn<QString>("destination");
  QTest::addColumn<bool>("help");
  QTest::addColumn<bool>("error");
  QTest::newRow("source (Open with)") << QStringList{"/srv/site"} << "/srv/site" << "" << false << false;
  QTest::newRow("help") << QStringList{"--help"} << "" << "" << true << false;
  QTest::newRow("folder after --") << QStringList{"--", "-site"} << "-site" << "" << false << false;
  QTest::newRow("unknown option") << QStringList{"-x"} << "" << "" << false << true;
  QTest::newRow("three folders") << QStringList{"a", "b", "c"} << "a" << "b" << false << true;
}

void WindowInputTest::startArgs() {
  QFETCH(QStringList, args);
  QFETCH(QString, source);
  QFETCH(QString, destination);
  QFETCH(bool, help);
  QFETCH(bool, error);
  const StartArgs parsed = ParseStartArgs(args);
  QCOMPARE(parsed.source, source);
  QCOMPARE(parsed.destination, destination);
  QCOMPARE(parsed.help, help);
  QCOMPARE(!parsed.error.isEmpty(), error);
}

// Closing remembers the folders and the window's size; the next window opens them. A
// remembered folder removed since opens the nearest folder above it.
void WindowInputTest::rememberedBetweenStarts() {
  const QString gone = f_->Native(f_->temp.filePath(QStringLiteral("gone/away")));
  QVERIFY(QDir().mkpath(gone));
  w_->OpenFolders(gone, QString());
  w_->resize(w_->minimumSizeHint() + QSize(150, 120));
  const QSize size = w_->size();
  w_->close();
  QCOMPARE(f_->store.Get(kLastSourceKey), gone);
  QCOMPARE(f_->store.Get(kLastDestinationKey), f_->Native(f_->dst));
  QVERIFY(!f_->store.Get(kWindowGeometryKey).isEmpty());
  QVERIFY(QDir(f_->temp.filePath(QStringLiteral("gone/away"))).removeRecursively());

  frmEncrypt next(f_->store);
  next.ShowWhereLeft();
  QVERIFY(QTest::qWaitForWindowExposed(&next));
  QCOMPARE(next.Dir1->Path(), f_->Native(f_->temp.filePath(QStringLiteral("gone"))));
  QCOMPARE(next.Dir2->Path(), f_->Native(f_->dst));
  // The size of the last time, as far as the screen's work area holds it.
  QCOMPARE(next.size(), size.boundedTo(next.screen()->availableGeometry().size()));
}

QTEST_MAIN(WindowInputTest)
#include "tst_window_input.moc"
