// The rule for a running encoder, on a clock of our own: when the caller's events run,
// when the encoder is asked to end and when it is killed, and what the way it ended says.
#include "run/encoder/encoder_deadline.h"

#include <QtTest>

class TestDeadline : public QObject {
  Q_OBJECT
private slots:
  void actions_data();
  void actions();
  void exits_data();
  void exits();
  void windowsExitCodes_data();
  void windowsExitCodes();
};

using Clock = EncoderDeadline::Clock;

void TestDeadline::actions_data() {
  QTest::addColumn<int>("timeoutSeconds");
  QTest::addColumn<int>("stopAtMs");  // the poll answers "stop" from then on; -1: never
  // "ms:action" after each slice, in order: W wait, T terminate, K kill.
  QTest::addColumn<QString>("steps");
  QTest::addColumn<int>("endedBy");
  QTest::addColumn<int>("polls");
  const int exited = int(ProcessOutcome::How::Exited), stopped = int(ProcessOutcome::How::Stopped),
            timedOut = int(ProcessOutcome::How::TimedOut);
  QTest::newRow("runs on") << 0 << -1 << "10:W 50:W 99:W 100:W 100000:W" << exited << 3;
  QTest::newRow("stop: grace, then ended") << 0 << 120 << "50:W 100:W 150:W 2149:W 2150:T 2200:W" << stopped << 3;
  QTest::newRow("stop: the kill grace after the request") << 0 << 120
      << "150:W 2150:T 3000:W 4149:W 4150:K 4200:K" << stopped << 1;
  QTest::newRow("the grace counts from the poll that saw the stop") << 0 << 20 << "40:W 2040:W 4039:W 4040:T"
                                                                     << stopped << 1;
  QTest::newRow("time limit") << 3 << -1 << "50:W 2999:W 3000:T 4999:W 5000:K" << timedOut << 3;
  QTest::newRow("time limit before the grace is over") << 3 << 2000 << "2000:W 3000:T 5000:K" << timedOut << 1;
  QTest::newRow("grace over with the time limit: stopped") << 3 << 900 << "1000:W 3000:T" << stopped << 1;
  QTest::newRow("no more polls once stopped") << 0 << 50 << "50:W 100:W 150:W 200:W" << exited << 1;
}

void TestDeadline::actions() {
  QFETCH(int, timeoutSeconds);
  QFETCH(int, stopAtMs);
  QFETCH(QString, steps);
  QFETCH(int, endedBy);
  QFETCH(int, polls);
  const Clock::time_point start{};  // the clock is the test's: no process, no sleep
  int nowMs = 0, polled = 0;
  WaitControl control;
  control.timeoutSeconds = timeoutSeconds;
  control.poll = [&] {
    ++polled;
    return stopAtMs >= 0 && nowMs >= stopAtMs;
  };
  EncoderDeadline deadline(control, start);
  QString got;
  for (const QString& step : steps.split(QLatin1Char(' '))) {
    nowMs = step.section(QLatin1Char(':'), 0, 0).toInt();
    const EncoderAction action = deadline.Next(start + std::chrono::milliseconds(nowMs));
    got += QStringLiteral("%1:%2 ").arg(nowMs).arg(QLatin1Char("WTK"[int(action)]));
  }
  QCOMPARE(got.trimmed(), steps);
  QCOMPARE(int(deadline.EndedBy()), endedBy);
  QCOMPARE(polled, polls);
}

void TestDeadline::exits_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<quint32>("value");
  QTest::addColumn<int>("endedBy");
  QTest::addColumn<bool>("answerDue");
  QTest::addColumn<int>("how");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("reason");
  const int code = int(ExitStatus::Kind::Code), signal = int(ExitStatus::Kind::Signal),
            exception = int(ExitStatus::Kind::Exception);
  const int exited = int(ProcessOutcome::How::Exited), killed = int(ProcessOutcome::How::Killed),
            stopped = int(ProcessOutcome::How::Stopped), timedOut = int(ProcessOutcome::How::TimedOut);
  QTest::newRow("success") << code << 0u << exited << false << exited << 0 << "";
  QTest::newRow("exit code") << code << 255u << exited << false << exited << 255 << "encoder exit code 255";
  QTest::newRow("ended without an answer") << code << 0u << exited << true << exited << 0 << "encoder exit code 0";
  QTest::newRow("signal") << signal << 9u << exited << false << killed << 9 << "encoder killed by signal 9";
  QTest::newRow("exception") << exception << 0xC0000005u << exited << false << killed << int(0xC0000005u)
                             << "encoder ended by exception 0xc0000005";
  QTest::newRow("stopped by us") << signal << 15u << stopped << true << stopped << 15 << "stopped: encoder ended";
  QTest::newRow("timed out") << signal << 9u << timedOut << false << timedOut << 9 << "encoder timed out after 7 s";
}

void TestDeadline::exits() {
  QFETCH(int, kind);
  QFETCH(quint32, value);
  QFETCH(int, endedBy);
  QFETCH(bool, answerDue);
  QFETCH(int, how);
  QFETCH(int, code);
  QFETCH(QString, reason);
  const ProcessOutcome out = OutcomeOfExit({ExitStatus::Kind(kind), value}, ProcessOutcome::How(endedBy), 7, answerDue);
  QCOMPARE(int(out.how), how);
  QCOMPARE(out.code, code);
  QCOMPARE(QString::fromStdString(out.reason), reason);
  QCOMPARE(out.Succeeded(), reason.isEmpty());
}

void TestDeadline::windowsExitCodes_data() {
  QTest::addColumn<quint32>("code");
  QTest::addColumn<bool>("exception");
  QTest::newRow("0") << 0u << false;
  QTest::newRow("1") << 1u << false;
  QTest::newRow("just below the exceptions") << 0xBFFFFFFFu << false;
  QTest::newRow("access violation") << 0xC0000005u << true;
  QTest::newRow("Ctrl-C") << 0xC000013Au << true;
  QTest::newRow("-1, an ordinary failure") << 0xFFFFFFFFu << false;
}

void TestDeadline::windowsExitCodes() {
  QFETCH(quint32, code);
  QFETCH(bool, exception);
  const ExitStatus status = ExitStatusOfCode(code);
  QCOMPARE(status.kind == ExitStatus::Kind::Exception, exception);
  QCOMPARE(status.value, code);
}

QTEST_GUILESS_MAIN(TestDeadline)
#include "test_deadline.moc"
