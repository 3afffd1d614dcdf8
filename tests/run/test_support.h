#pragma once
// Shared pieces of the run's tests: a host that records what the run does to it, temporary
// trees, and a folder where the stand-in encoder answers to the name "screnc".

#include "run/encoder/basShell.h"
#include "run/util/native_path.h"
#include "run/run_host.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>

namespace fs = std::filesystem;

// The run's UTF-8 text and the tests' QString.
inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string S(const QString& text) { return text.toStdString(); }

class RecordingHost : public RunHost {
public:
  fs::path source, destination;
  QString appDir;
  RunState state;
  QString text;             // the log box's text, exactly
  QStringList entries;      // the same, one entry each
  QList<qint16> scrolls;    // every ScrollText line count
  QStringList messages;     // "title|text|icon"
  QList<bool> stopEnabled;  // every SetStopEnabled call
  int pathReads = 0;
  std::function<void(RecordingHost&)> onEvents;  // runs in each pause

  fs::path SourcePath() override { ++pathReads; return source; }
  fs::path DestinationPath() override { ++pathReads; return destination; }
  fs::path AppDir() override { return ToNativePath(S(appDir)); }
  RunState& State() override { return state; }
  void SetStopEnabled(bool enabled) override { stopEnabled << enabled; }
  void ClearLog() override { text.clear(); entries.clear(); }
  void AppendLog(const std::string& entry) override {
    text += QStringLiteral("\r\n") + Q(entry);
    entries << Q(entry);
  }
  void RepaintLog() override {}
  void ScrollText(std::int16_t lines) override { scrolls << lines; }
  void ShowMessage(const std::string& t, MessageIcon icon, const std::string& title) override {
    messages << QStringLiteral("%1|%2|%3").arg(Q(title), Q(t)).arg(static_cast<int>(icon));
  }
  void ProcessEvents() override { if (onEvents) onEvents(*this); }
};

// Writes `bytes` to `root`/`relative`, creating folders on the way.
inline fs::path WriteFile(const fs::path& root, const fs::path& relative,
                          const QByteArray& bytes = QByteArray("x")) {
  const fs::path path = root / relative;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
  return path;
}

inline QByteArray ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}))
            : QByteArray();
}

inline fs::path TempPath(const QTemporaryDir& dir, const char* name = "") {
  return ToNativePath(S(dir.path())) / name;
}

// A folder holding the stand-in encoder as "screnc": the run's AppDir in tests.
class FakeEncoderDir {
public:
  FakeEncoderDir() {
    const QString fake = qEnvironmentVariable("QW_TEST_FAKE_SCRENC");
    fs::create_symlink(ToNativePath(S(fake)), ToNativePath(S(dir_.path())) / ToNativePath(EncoderFileName()));
  }
  QString appDir() const { return QDir::toNativeSeparators(dir_.path() + QLatin1Char('/')); }
  QString logPath() const { return dir_.filePath(QStringLiteral("calls.log")); }

  // The calls the stand-in recorded (QW_FAKE_LOG = logPath()), each its argv[1..].
  QList<QList<QByteArray>> calls() const {
    QList<QList<QByteArray>> out;
    QFile f(logPath());
    if (!f.open(QIODevice::ReadOnly)) return out;
    QList<QByteArray> current;
    for (const QByteArray& part : f.readAll().split('\0')) {
      if (part.isEmpty()) {
        if (!current.isEmpty()) out << current;
        current.clear();
      } else {
        current << part;
      }
    }
    return out;
  }

private:
  QTemporaryDir dir_;
};

// A fresh source folder "site" and destination "out" in a temporary folder, a host
// pointed at them, and the stand-in encoder as its AppDir: what every walk test starts
// from. The test classes derive from it beside QObject.
class RunTreeFixture {
protected:
  // `makeDestination`: create "out" too; `logCalls`: the stand-in records its calls.
  void ResetTree(bool makeDestination, bool logCalls) {
    tmpDir_ = std::make_unique<QTemporaryDir>();
    src_ = TempPath(*tmpDir_, "site");
    dst_ = TempPath(*tmpDir_, "out");
    fs::create_directories(src_);
    if (makeDestination) fs::create_directories(dst_);
    host_ = RecordingHost();
    fake_ = std::make_unique<FakeEncoderDir>();
    host_.source = src_;
    host_.destination = dst_;
    host_.appDir = fake_->appDir();
    qunsetenv("QW_FAKE_MODE");
    if (logCalls) qputenv("QW_FAKE_LOG", fake_->logPath().toLocal8Bit());
    else qunsetenv("QW_FAKE_LOG");
  }

  std::unique_ptr<QTemporaryDir> tmpDir_;
  fs::path src_, dst_;
  RecordingHost host_;
  std::unique_ptr<FakeEncoderDir> fake_;
};
