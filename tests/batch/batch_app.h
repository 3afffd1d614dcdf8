#pragma once
// quillward-batch and our real screnc copied side by side into `<dir>/app`, as they are
// installed: what the batch tests that need the real encoder run.

#include <QDir>
#include <QFile>
#include <QString>

inline bool InstallBatchApp(const QString& dir) {
  const QString bin = qEnvironmentVariable("QW_TEST_BIN_DIR");
  const QString app = dir + QStringLiteral("/app");
  return QDir().mkpath(app) && QFile::copy(bin + QStringLiteral("/quillward-batch"), app + QStringLiteral("/quillward-batch")) &&
         QFile::copy(bin + QStringLiteral("/screnc"), app + QStringLiteral("/screnc"));
}
