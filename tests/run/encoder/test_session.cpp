// An encoder session with the stand-in encoder serving (QW_FAKE_SERVE=1) or not: a
// fault in the middle of a file fails that file with the per-file reason, and the next
// file gets a fresh server.
#include "run/encoder/encoder_session.h"
#include "test_support.h"

#include <QtTest>

class TestSession : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();
  void faultFailsOneFile_data();
  void faultFailsOneFile();
  void pipelinedFaultFailsOneFile_data() { faultFailsOneFile_data(); }
  void pipelinedFaultFailsOneFile();
  void pipelinedWithoutServing();
  void encoderThatCannotServe();
  void killReachesTheServer();
  void deadlineOnTheServer_data();
  void deadlineOnTheServer();

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

// Several files sent before the first answer: the fault fails the file the server had in
// hand, the ones sent after it are encoded by a fresh server, or, when a stop ended the
// server, dropped with nothing written.
void TestSession::pipelinedFaultFailsOneFile() {
  QFETCH(QByteArray, mode);
  QFETCH(int, timeout);
  QFETCH(bool, stop);
  QFETCH(QString, reason);
  qputenv("QW_FAKE_MODE", mode);
  qputenv("QW_FAKE_MODE_ONLY", "second");
  EncoderSession session(false);
  QVERIFY(session.Run(Command("zero"), {}).Succeeded());
  const QByteArray firstPid = ServerPid();  // read while the server is idle
  const char* names[] = {"first", "second", "third", "fourth", "fifth"};
  for (const char* name : names) QVERIFY(session.Send(Command(name)));
  QCOMPARE(session.InFlight(), std::size(names));

  WaitControl control;
  control.timeoutSeconds = timeout;
  control.stopGraceMs = 100;
  control.killGraceMs = 200;
  const auto first = session.Receive(control);
  QVERIFY(first && first->Succeeded());
  control.poll = [stop] { return stop; };
  const auto failed = session.Receive(control);
  QVERIFY(failed);
  QCOMPARE(Q(failed->reason), reason);
  const bool ended = failed->how != ProcessOutcome::How::Exited;
  for (const char* name : {"third", "fourth", "fifth"}) {
    const auto answered = session.Receive({});
    const fs::path out = dir_ / (std::string(name) + ".out");
    if (stop) {
      QVERIFY2(!answered, name);
      QVERIFY2(!fs::exists(out), name);
      continue;
    }
    QVERIFY2(answered && answered->Succeeded(), name);
    QCOMPARE(ReadBytes(out), QByteArray("ENCODED\nvar a;"));
  }
  QCOMPARE(session.InFlight(), std::size_t(0));
  if (!stop) QCOMPARE(ServerPid() != firstPid, ended);  // a fresh server only where the old one ended
  // After a stop, a file sent anew gets a fresh server.
  QVERIFY(session.Send(Command("sixth")));
  const auto sixth = session.Receive({});
  QVERIFY(sixth && sixth->Succeeded());
}

// An encoder that cannot serve takes nothing in flight: each file is Run on its own.
void TestSession::pipelinedWithoutServing() {
  qunsetenv("QW_FAKE_SERVE");
  EncoderSession session(false);
  QVERIFY(!session.Send(Command("a")));
  QCOMPARE(session.InFlight(), std::size_t(0));
  QVERIFY(session.Run(Command("a"), {}).Succeeded());
  QVERIFY(!session.Send(Command("b")));
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

// The deadline on a real server, in the middle of a file: a stop's grace, the time limit,
// and the kill after the request to end for one that ignores it; each no sooner than due,
// and not long after.
void TestSession::deadlineOnTheServer_data() {
  QTest::addColumn<QByteArray>("mode");
  QTest::addColumn<int>("timeout");
  QTest::addColumn<bool>("stop");
  QTest::addColumn<int>("how");
  QTest::addColumn<int>("signal");
  QTest::addColumn<int>("dueMs");
  const int stopped = int(ProcessOutcome::How::Stopped), timedOut = int(ProcessOutcome::How::TimedOut);
  QTest::newRow("stop: ended after the grace") << QByteArray("hang") << 0 << true << stopped << 15 << 300;
  QTest::newRow("stop, SIGTERM ignored: killed") << QByteArray("hang-noterm") << 0 << true << stopped << 9 << 700;
  QTest::newRow("time limit") << QByteArray("hang") << 1 << false << timedOut << 15 << 1000;
  QTest::newRow("time limit, SIGTERM ignored: killed") << QByteArray("hang-noterm") << 1 << false << timedOut << 9 << 1400;
}

void TestSession::deadlineOnTheServer() {
  QFETCH(QByteArray, mode);
  QFETCH(int, timeout);
  QFETCH(bool, stop);
  QFETCH(int, how);
  QFETCH(int, signal);
  QFETCH(int, dueMs);
  qputenv("QW_FAKE_MODE", mode);
  qputenv("QW_FAKE_MODE_ONLY", "second");
  EncoderSession session(false);
  QVERIFY(session.Run(Command("first"), {}).Succeeded());
  QVERIFY(session.Serving());
  WaitControl control;
  control.timeoutSeconds = timeout;
  control.stopGraceMs = 300;
  control.killGraceMs = 400;
  control.poll = [stop] { return stop; };
  QElapsedTimer timer;
  timer.start();
  const ProcessOutcome out = session.Run(Command("second"), control);
  const qint64 took = timer.elapsed();
  QCOMPARE(int(out.how), how);
  QCOMPARE(out.code, signal);
  QVERIFY2(took >= dueMs && took < dueMs + 1500, qPrintable(QString::number(took)));
}

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
