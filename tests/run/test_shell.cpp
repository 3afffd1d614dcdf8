// Starting the encoder: what reaches the child, and every way a child can end.
#include "basShell.h"
#include "test_support.h"

#include <QtTest>

class TestShell : public QObject {
  Q_OBJECT
private slots:
  void init() { qunsetenv("QW_FAKE_MODE"); }
  void argumentsArriveByteForByte();
  void outcomes_data();
  void outcomes();
  void noSuchCommand();
  void notExecutable();
};

namespace {
EncoderCommand CommandFor(const FakeEncoderDir& fake, const fs::path& src, const fs::path& dst) {
  RunSettings s;
  s.AspLanguage = QStringLiteral("VBScript");
  return BuildEncoderCommand(FileKind::EncodeAspByExtension, fake.appDir(), s, src, dst);
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
  QVERIFY2(out.Succeeded(), qPrintable(out.reason));
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
  QCOMPARE(out.reason, reason);
}

void TestShell::noSuchCommand() {
  QTemporaryDir empty;
  RunSettings s;
  const EncoderCommand cmd = BuildEncoderCommand(FileKind::EncodePlain, empty.path() + QLatin1Char('/'), s,
                                                 ToNativePath(QStringLiteral("/x.js")), ToNativePath(QStringLiteral("/y.js")));
  const ProcessOutcome out = RunHiddenAndWait(cmd);
  QCOMPARE(out.how, ProcessOutcome::How::CouldNotStart);
  QVERIFY2(out.reason.startsWith(QLatin1String("encoder not found")), qPrintable(out.reason));
  QVERIFY(out.reason.contains(empty.path()));
}

void TestShell::notExecutable() {
  QTemporaryDir dir;
  WriteFile(TempPath(dir), ToNativePath(EncoderFileName()), "not a program");
  RunSettings s;
  const EncoderCommand cmd = BuildEncoderCommand(FileKind::EncodePlain, dir.path() + QLatin1Char('/'), s,
                                                 ToNativePath(QStringLiteral("/x.js")), ToNativePath(QStringLiteral("/y.js")));
  const ProcessOutcome out = RunHiddenAndWait(cmd);
  QCOMPARE(out.how, ProcessOutcome::How::CouldNotStart);
  QVERIFY2(out.reason.startsWith(QLatin1String("encoder could not start: permission denied")), qPrintable(out.reason));
}

QTEST_GUILESS_MAIN(TestShell)
#include "test_shell.moc"
