// quillward-batch ended from outside: stop signals while an encoder hangs, a second
// Ctrl-C, a kill, a closed stdout. Nothing may hang, no encoder may outlive the program,
// and what was done must be on stdout.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class TestBatchSignals : public QObject {
  Q_OBJECT
private slots:
  void init();
  void ended_data();
  void ended();
  void closedStdoutDoesNotEndTheRun();

private:
  void Start(QProcess& p, const QStringList& args, const QMap<QString, QString>& env);
  fs::path Tmp(const char* name = "") const { return fs::path(tmp_->path().toStdString()) / name; }
  std::unique_ptr<QTemporaryDir> tmp_;
  QString program_;
};

namespace {
void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}
pid_t ReadPid(const fs::path& path) {
  std::ifstream in(path);
  pid_t pid = 0;
  in >> pid;
  return pid;
}
bool Gone(pid_t pid) { return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH; }
}  // namespace

void TestBatchSignals::init() {
  tmp_ = std::make_unique<QTemporaryDir>();
  QDir(tmp_->path()).mkpath(QStringLiteral("app"));
  program_ = tmp_->filePath(QStringLiteral("app/quillward-batch"));
  QVERIFY(QFile::copy(qEnvironmentVariable("QW_TEST_BIN_DIR") + QStringLiteral("/quillward-batch"), program_));
  QVERIFY(QFile::link(qEnvironmentVariable("QW_TEST_FAKE_SCRENC"), tmp_->filePath(QStringLiteral("app/screnc"))));
  for (const char* n : {"a.txt", "b.inc", "c.txt"}) Write(Tmp("site") / n, n);
}

void TestBatchSignals::Start(QProcess& p, const QStringList& args, const QMap<QString, QString>& env) {
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp_->filePath(QStringLiteral("config")));
  for (auto it = env.cbegin(); it != env.cend(); ++it) e.insert(it.key(), it.value());
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_->path());
  p.start(program_, QStringList{QStringLiteral("--jobs"), QStringLiteral("1")} + args);  // one file in hand
  QVERIFY(p.waitForStarted());
}

// Each row: the signals sent once the encoder hangs on b.inc, and how the batch ends.
void TestBatchSignals::ended_data() {
  QTest::addColumn<QList<int>>("sent");
  QTest::addColumn<int>("exitCode");  // -1: ended by the signal itself
  QTest::addColumn<bool>("summary");
  QTest::newRow("SIGTERM") << QList<int>{SIGTERM} << 130 << true;
  QTest::newRow("SIGHUP") << QList<int>{SIGHUP} << 130 << true;
  QTest::newRow("Ctrl-C") << QList<int>{SIGINT} << 130 << true;
  QTest::newRow("Ctrl-C twice") << QList<int>{SIGINT, SIGINT} << -1 << false;
  QTest::newRow("SIGKILL") << QList<int>{SIGKILL} << -1 << false;
}

void TestBatchSignals::ended() {
  QFETCH(QList<int>, sent);
  QFETCH(int, exitCode);
  QFETCH(bool, summary);
  const fs::path pidFile = Tmp("encoder.pid");
  QProcess p;
  Start(p, {"site", "out"}, {{"QW_FAKE_MODE", "hang"}, {"QW_FAKE_PID", QString::fromStdString(pidFile.native())}});
  QTRY_VERIFY_WITH_TIMEOUT(ReadPid(pidFile) > 0, 10000);
  const pid_t encoder = ReadPid(pidFile);
  QByteArray err;
  for (int i = 0; i < sent.size(); ++i) {
    // Signals of one kind do not queue: the second is sent once the first was seen.
    if (i > 0) QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("stopping"), 5000);
    ::kill(static_cast<pid_t>(p.processId()), sent[i]);
  }
  QVERIFY(p.waitForFinished(15000));
  const int code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  QCOMPARE(code, exitCode);
  const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  // What was done is on stdout, however the program ended.
  QCOMPARE(lines.mid(0, 2), QStringList({"Processing ... site", "site/a.txt"}));
  if (summary) {
    QCOMPARE(lines.value(2), QStringLiteral("site/b.inc - stopped: encoder ended"));
    QCOMPARE(lines.last(), QStringLiteral("Stopped: 2 files, 1 failed"));
  }
  if (sent.first() != SIGKILL) QTRY_VERIFY_WITH_TIMEOUT(Gone(encoder), 5000);
  else ::kill(-encoder, SIGKILL);  // a killed program cannot end its encoder
  QVERIFY(!fs::exists(Tmp("out/b.inc")));
}

void TestBatchSignals::closedStdoutDoesNotEndTheRun() {
  QProcess p;
  p.setWorkingDirectory(tmp_->path());
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp_->filePath(QStringLiteral("config")));
  e.insert(QStringLiteral("QW_BATCH"), program_);
  p.setProcessEnvironment(e);
  p.start(QStringLiteral("bash"), {"-c", "\"$QW_BATCH\" site out | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}"});
  QVERIFY(p.waitForFinished(30000));
  QCOMPARE(p.exitCode(), 0);
  for (const char* n : {"a.txt", "b.inc", "c.txt"}) QVERIFY2(fs::exists(Tmp("out") / n), n);
}

QTEST_GUILESS_MAIN(TestBatchSignals)
#include "test_batch_signals.moc"
