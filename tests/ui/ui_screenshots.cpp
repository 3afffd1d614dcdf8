// Renders every window to PNG, as a user would see it, for a look at the layout:
//   ui-screenshots OUTDIR SITE ENCODER
// main-idle (the first size), main-resized (grown by half), main-running (a run of SITE
// with ENCODER as the encoder, caught after some files), main-done (after the run),
// main-file-menu, main-help-menu, options, splash and about. Settings live in memory
// only. Run it in the offscreen platform; QT_FONT_DPI chooses the DPI (`make screenshots`
// renders 96, 120 and 144).

#include "Dialog.h"
#include "controls.h"
#include "folder_list.h"
#include "frmAbout.h"
#include "frmEncrypt.h"
#include "frmSplash.h"
#include "path_field.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <cstdio>

namespace {

bool failed = false;

void Save(QWidget* window, const QString& dir, const char* name) {
  const QString path = QDir(dir).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
  if (!window->grab().save(path)) {
    std::fprintf(stderr, "ui-screenshots: cannot write %s\n", qPrintable(path));
    failed = true;
    return;
  }
  std::printf("%s\n", qPrintable(path));
}

void ShowAndWait(QWidget* window) {
  window->show();
  QCoreApplication::processEvents();
}

// The menu `menu` as it drops down from the window's menu bar.
void SaveMenu(frmEncrypt& window, QMenu* menu, const QString& dir, const char* name) {
  menu->popup(window.mapToGlobal(window.menuBar()->actionGeometry(menu->menuAction()).bottomLeft()));
  QCoreApplication::processEvents();
  Save(menu, dir, name);
  menu->hide();
}

qint64 FileCount(const QString& folder) {
  qint64 n = 0;
  for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext(); it.next()) ++n;
  return n;
}

// Grabs the window in a pause of the run once a good part of the files is done.
void CatchRun(frmEncrypt& window, const QString& dir) {
  QMetaObject::invokeMethod(
      &window,
      [&window, dir] {
        if (window.State().FilesDone < 25) {
          CatchRun(window, dir);
          return;
        }
        // The progress as the run reports it: the site's files, those done so far.
        window.ShowProgress(window.State().FilesDone - 1, FileCount(window.txtPath1->Folder()));
        // The window draws what the run reported once per frame: wait for the next one.
        QElapsedTimer frame;
        frame.start();
        while (!window.prgRun->isVisible() && frame.elapsed() < 1000) window.RepaintLog();
        QCoreApplication::processEvents();
        Save(&window, dir, "main-running");
      },
      Qt::QueuedConnection);
}

void MainWindowShots(const QString& dir, const QString& site, const QString& encoder) {
  RecordingStore store;
  for (const char* key : {"chkASP", "chkHTML", "chkJS", "Check2"}) store.Set(QString::fromLatin1(key), QStringLiteral("1"));
  QTemporaryDir temp;
  const QString bin = temp.filePath(QStringLiteral("bin"));
  QDir().mkpath(bin);
  QFile::link(encoder, bin + QStringLiteral("/screnc"));
  const QString out = temp.filePath(QStringLiteral("encoded site"));
  QDir().mkpath(out);

  frmEncrypt window(store);
  window.SetAppDir(bin);
  window.OpenFolders(site, out);
  window.ShowWhereLeft();
  QCoreApplication::processEvents();
  Save(&window, dir, "main-idle");
  SaveMenu(window, window.mnuFile, dir, "main-file-menu");
  SaveMenu(window, window.mnuHelp, dir, "main-help-menu");
  window.resize(window.size() * 3 / 2);
  QCoreApplication::processEvents();
  Save(&window, dir, "main-resized");
  window.resize(window.minimumSizeHint().width() * 5 / 4, window.minimumSizeHint().height() * 4 / 3);
  CatchRun(window, dir);
  window.Command1->click();
  QCoreApplication::processEvents();
  Save(&window, dir, "main-done");
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: ui-screenshots OUTDIR SITE ENCODER\n");
    return 2;
  }
  PrepareWindowTests();
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  MainWindowShots(dir, QDir(QString::fromLocal8Bit(argv[2])).absolutePath(),
                  QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath());

  RecordingStore store;
  store.Set(QStringLiteral("txtExclude"), QStringLiteral(".git/ node_modules/ *.bak my\\ drafts/"));
  Dialog options(store);
  ShowAndWait(&options);
  Save(&options, dir, "options");
  frmSplash splash;
  ShowAndWait(&splash);
  Save(&splash, dir, "splash");
  frmAbout about(store);
  ShowAndWait(&about);
  Save(&about, dir, "about");
  return failed ? 1 : 0;
}
