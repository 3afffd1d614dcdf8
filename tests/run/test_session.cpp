// An encoder session with the stand-in encoder serving (QW_FAKE_SERVE=1) or not: a
// fault in the middle of a file fails that file with the per-file reason, and the next
// file gets a fresh server.
#include "encoder_session.h"
#include "test_support.h"

#include <QtTest>

class TestSession : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();
  void faultFailsOneFile_data();
  void faultFailsOneFile();
  void encoderThatCannotServe();
  void killReachesTheServer();

private:
  EncoderCommand Command(const char* name);
  QByteArray ServerPid() { return ReadBytes(dir_ / "pid"); }
  std::unique_ptr<QTemporaryDir> tmp_;
  std::unique_ptr<FakeEncoderDir> fake_;
  fs::path dir_;
};

void TestSession::init() {
  tmp_ = std::make_unique<QTemporaryDir>();
  fake_ = std::make_unique<FakeEncoderDir>();
  dir_ = TempPath(*tmp_);
  qputenv("QW_FAKE_SERVE", "1");
  qputenv("QW_FAKE_PID", (dir_ / "pid").c_str());
  qunsetenv("QW_FAKE_MODE");
}

void TestSession::cleanup() {
  for (const char* v : {"QW_FAKE_SERVE", "QW_FAKE_PID", "QW_FAKE_MODE", "QW_FAKE_MODE_ONLY"}) qunsetenv(v);
}

EncoderCommand TestSession::Command(const char* name) {
  const fs::path source = WriteFile(dir_, std::string(name) + ".js", "var a;");
  return BuildEncoderCommand(FileKind::EncodePlain, ToNativePath(S(fake_->appDir())), RunSettings{}, source,
                             dir_ / (std::string(name) + ".out"));
}

void TestSession::faultFailsOneFile_data() {
  QTest::addColumn<QByteArray>("mode");
  QTest::addColumn<int>("timeout");
  QTest::addColumn<bool>("stop");
  QTest::addColumn<QString>("reason");
  QTest::newRow("failure answered") << QByteArray("exit:3") << 0 << false << "encoder exit code 3";
  QTest::newRow("crash") << QByteArray("kill") << 0 << false << "encoder killed by signal 9";
  QTest::newRow("hang, time limit") << QByteArray("hang") << 1 << false << "encoder timed out after 1 s";
  QTest::newRow("hang, stop") << QByteArray("hang") << 0 << true << "stopped: encoder ended";
  QTest::newRow("ignores SIGTERM, stop") << QByteArray("hang-noterm") << 0 << true << "stopped: encoder ended";
}

void TestSession::faultFailsOneFile() {
  QFETCH(QByteArray, mode);
  QFETCH(int, timeout);
  QFETCH(bool, stop);
  QFETCH(QString, reason);
  qputenv("QW_FAKE_MODE", mode);  // the server's environment: set before it starts
  qputenv("QW_FAKE_MODE_ONLY", "second");
  EncoderSession session(false);
  QVERIFY(session.Run(Command("first"), {}).Succeeded());
  QVERIFY(session.Serving());
  const QByteArray firstPid = ServerPid();

  WaitControl control;
  control.timeoutSeconds = timeout;
  control.stopGraceMs = 100;
  control.killGraceMs = 200;
  control.poll = [stop] { return stop; };
  const ProcessOutcome failed = session.Run(Command("second"), control);
  QCOMPARE(Q(failed.reason), reason);
  QCOMPARE(ServerPid(), firstPid);  // the same server had the file

  QVERIFY(session.Run(Command("third"), {}).Succeeded());
  QCOMPARE(ReadBytes(dir_ / "third.out"), QByteArray("ENCODED\nvar a;"));
  const bool ended = failed.how != ProcessOutcome::How::Exited;
  QCOMPARE(ServerPid() != firstPid, ended);  // a fresh server only where the old one ended
}

void TestSession::encoderThatCannotServe() {
  qunsetenv("QW_FAKE_SERVE");
  EncoderSession session(false);
  QVERIFY(session.Run(Command("a"), {}).Succeeded());
  QVERIFY(!session.Serving());
  const QByteArray firstPid = ServerPid();
  QVERIFY(session.Run(Command("b"), {}).Succeeded());
  QVERIFY(ServerPid() != firstPid);  // a process per file
  QCOMPARE(ReadBytes(dir_ / "b.out"), QByteArray("ENCODED\nvar a;"));
}

// A program about to end (a second Ctrl-C) leaves no server behind.
void TestSession::killReachesTheServer() {
  EncoderSession session(false);
  QVERIFY(session.Run(Command("a"), {}).Succeeded());
  KillRunningEncoder();
  const ProcessOutcome after = session.Run(Command("b"), {});
  QVERIFY(!after.Succeeded());
  QCOMPARE(Q(after.reason), QStringLiteral("encoder killed by signal 9"));
}

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
