#pragma once
// A main window on a small site of its own: a source tree of script files and others in
// two folders, an empty destination, the encoder (our real screnc, or the stand-in)
// beside a private AppDir, JScript encoding switched on, and settings in memory.

#include "controls.h"
#include "folder_list.h"
#include "frmEncrypt.h"
#include "path_field.h"
#include "ui_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

inline bool WriteFile(const QString& path, const QByteArray& body = QByteArrayLiteral("var x = 1;\n")) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(body) == body.size();
}

// Runs `action` in the run's first pause, after its first file.
inline void DuringRun(QObject* window, std::function<void()> action) {
  QMetaObject::invokeMethod(window, std::move(action), Qt::QueuedConnection);
}

// Runs `action` in the first pause in which `ready` holds (the window's run going on).
inline void WhenRunning(QObject* window, std::function<bool()> ready, std::function<void()> action) {
  QMetaObject::invokeMethod(
      window,
      [window, ready, action] {
        if (ready()) {
          action();
        } else {
          WhenRunning(window, ready, action);
        }
      },
      Qt::QueuedConnection);
}

struct WindowFixture {
  QTemporaryDir temp;
  QString src, dst, bin;
  RecordingStore store;
  std::unique_ptr<frmEncrypt> window;

  // `extraFiles` more .js files in the source's top folder, for runs long enough to act in.
  // `encoder`: the program to stand beside AppDir as screnc.
  bool Make(int extraFiles = 0, const QString& encoder = qEnvironmentVariable("QW_TEST_FAKE_SCRENC")) {
    if (!temp.isValid()) return false;
    src = temp.filePath(QStringLiteral("site"));
    dst = temp.filePath(QStringLiteral("out"));
    bin = temp.filePath(QStringLiteral("bin"));
    for (const char* name : {"a.js", "b.js", "c.txt", "d.js", "sub/e.js", "sub/f.txt"}) {
      if (!WriteFile(src + u'/' + QString::fromLatin1(name))) return false;
    }
    for (int i = 0; i < extraFiles; ++i) {
      if (!WriteFile(src + QStringLiteral("/many/m%1.js").arg(i, 5, 10, QLatin1Char('0')))) return false;
    }
    if (!QDir().mkpath(dst) || !QDir().mkpath(bin)) return false;
    if (!QFile::link(encoder, bin + QStringLiteral("/screnc"))) return false;
    store.Set(QStringLiteral("chkJS"), QStringLiteral("1"));
    // One worker: the tests stop after exactly one file; workers are tested in run/ and batch/.
    store.Set(QStringLiteral("Jobs"), QStringLiteral("1"));
    window = std::make_unique<frmEncrypt>(store);
    window->SetAppDir(bin);
    window->OpenFolders(src, dst);
    window->show();
    return QTest::qWaitForWindowActive(window.get());
  }

  QString Native(const QString& path) const { return QDir::toNativeSeparators(path); }
};
