// Starting the encoder: what reaches the child, and every way a child can end.
#include "run/encoder/basShell.h"
#include "test_support.h"

#include <QtTest>

class TestShell : public QObject {
  Q_OBJECT
private slots:
  void init() { qunsetenv("QW_FAKE_MODE"); }
  void argumentsArriveByteForByte();
  void outcomes_data();
  void outcomes();
  void couldNotStart_data();
  void couldNotStart();
  void endedByUs_data();
  void endedByUs();
};

namespace {
EncoderCommand CommandFor(const FakeEncoderDir& fake, const fs::path& src, const fs::path& dst) {
  RunSettings s;
  s.AspLanguage = "VBScript";
  return BuildEncoderCommand(FileKind::EncodeAspByExtension, ToNativePath(S(fake.appDir())), s, src, dst);
}
}  // namespace

void TestShell::argumentsArriveByteForByte() {
  FakeEncoderDir fake;
  QTemporaryDir dir;
  const fs::path src = WriteFile(TempPath(dir), std::string("-a \"q\" b\n\xfe.inc"), "<% x %>");
  const fs::path dst = TempPath(dir) / std::string("out \"1\".inc");
  qputenv("QW_FAKE_LOG", fake.logPath().toLocal8Bit());
  const ProcessOutcome out = RunHiddenAndWait(CommandFor(fake, src, dst));
  qunsetenv("QW_FAKE_LOG");
  QVERIFY2(out.Succeeded(), out.reason.c_str());
  const auto calls = fake.calls();
  QCOMPARE(calls.size(), 1);
  QCOMPARE(calls[0], QList<QByteArray>({"/s", "/e", "asp", "/xl", "/l", "VBScript",
                                        QByteArray::fromStdString(src.native()),
                                        QByteArray::fromStdString(dst.native())}));
  QCOMPARE(ReadBytes(dst), QByteArray("ENCODED\n<% x %>"));
}

void TestShell::outcomes_data() {
  QTest::addColumn<QByteArray>("mode");
  QTest::addColumn<int>("how");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("reason");
  QTest::newRow("success") << QByteArray("copy") << int(ProcessOutcome::How::Exited) << 0 << "";
  QTest::newRow("exit 255") << QByteArray("exit:255") << int(ProcessOutcome::How::Exited) << 255 << "encoder exit code 255";
  QTest::newRow("exit 1") << QByteArray("exit:1") << int(ProcessOutcome::How::Exited) << 1 << "encoder exit code 1";
  QTest::newRow("killed") << QByteArray("kill") << int(ProcessOutcome::How::Killed) << 9 << "encoder killed by signal 9";
}

void TestShell::outcomes() {
  QFETCH(QByteArray, mode);
  QFETCH(int, how);
  QFETCH(int, code);
  QFETCH(QString, reason);
  FakeEncoderDir fake;
  QTemporaryDir dir;
  const fs::path src = WriteFile(TempPath(dir), "a.inc");
  qputenv("QW_FAKE_MODE", mode);
  const ProcessOutcome out = RunHiddenAndWait(CommandFor(fake, src, TempPath(dir, "b.inc")));
  QCOMPARE(int(out.how), how);
  QCOMPARE(out.code, code);
  QCOMPARE(Q(out.reason), reason);
}

void TestShell::couldNotStart_data() {
  QTest::addColumn<QByteArray>("encoderBytes");  // empty: no encoder at all
  QTest::addColumn<QString>("reason");
  QTest::newRow("no such command") << QByteArray() << "encoder not found";
  QTest::newRow("not executable") << QByteArray("not a program") << "encoder could not start: permission denied";
}

void TestShell::couldNotStart() {
  QFETCH(QByteArray, encoderBytes);
  QFETCH(QString, reason);
  QTemporaryDir dir;
  if (!encoderBytes.isEmpty()) WriteFile(TempPath(dir), ToNativePath(EncoderFileName()), encoderBytes);
  const EncoderCommand cmd = BuildEncoderCommand(FileKind::EncodePlain, TempPath(dir) / "", RunSettings(),
                                                 ToNativePath("/x.js"), ToNativePath("/y.js"));
  const ProcessOutcome out = RunHiddenAndWait(cmd);
  QCOMPARE(out.how, ProcessOutcome::How::CouldNotStart);
  QVERIFY2(Q(out.reason).startsWith(reason), out.reason.c_str());
  QVERIFY(Q(out.reason).contains(dir.path()));
}

// The deadline on a real process: a stop's grace, the time limit, and the kill after the
// request to end for an encoder that ignores it; each no sooner than due, and not long after.
void TestShell::endedByUs_data() {
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

void TestShell::endedByUs() {
  QFETCH(QByteArray, mode);
  QFETCH(int, timeout);
  QFETCH(bool, stop);
  QFETCH(int, how);
  QFETCH(int, signal);
  QFETCH(int, dueMs);
  FakeEncoderDir fake;
  QTemporaryDir dir;
  const fs::path src = WriteFile(TempPath(dir), "a.inc");
  qputenv("QW_FAKE_MODE", mode);
  WaitControl control;
  control.timeoutSeconds = timeout;
  control.stopGraceMs = 300;
  control.killGraceMs = 400;
  control.poll = [stop] { return stop; };
  QElapsedTimer timer;
  timer.start();
  const ProcessOutcome out = RunHiddenAndWait(CommandFor(fake, src, TempPath(dir, "b.inc")), control);
  const qint64 took = timer.elapsed();
  QCOMPARE(int(out.how), how);
  QCOMPARE(out.code, signal);
  QVERIFY2(took >= dueMs && took < dueMs + 1500, qPrintable(QString::number(took)));
}

QTEST_GUILESS_MAIN(TestShell)
#include "test_shell.moc"
