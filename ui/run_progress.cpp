#include "run_progress.h"

#include "encode_run.h"
#include "look.h"

#include <QLocale>
#include <cmath>

void RunProgress::Start() {
  run_.start();
  walk_.invalidate();
  done_ = total_ = 0;
  counting_ = false;
}

void RunProgress::Update(qint64 done, qint64 total) {
  counting_ = done <= 0;
  if (done > 0 && !walk_.isValid()) walk_.start();
  done_ = qMax<qint64>(0, done);
  total_ = qMax(total, done_);
}

int RunProgress::Percent() const {
  if (counting_ || total_ <= 0) return 0;
  return static_cast<int>(done_ * 100 / total_);
}

QString RunProgress::CountText() const {
  const QLocale locale;
  if (counting_) return QStringLiteral("Counting files: %1").arg(locale.toString(total_));
  if (total_ <= 0) return QString();
  return QStringLiteral("%1 of %2 files").arg(locale.toString(done_), locale.toString(total_));
}

QString RunProgress::TimeLeftText() const {
  if (counting_ || !walk_.isValid()) return QString();
  return ::TimeLeftText(walk_.elapsed(), done_, total_);
}

QString TimeLeftText(qint64 elapsedMs, qint64 done, qint64 total) {
  if (done <= 0 || total <= done || elapsedMs < 1000) return QString();
  const double leftSeconds = static_cast<double>(elapsedMs) / done * (total - done) / 1000.0;
  if (leftSeconds < 60) {
    const int s = qMax(5, static_cast<int>(std::ceil(leftSeconds / 5.0)) * 5);
    return QStringLiteral("about %1 s left").arg(s);
  }
  const int minutes = static_cast<int>(std::lround(leftSeconds / 60.0));
  if (minutes < 90) return QStringLiteral("about %1 min left").arg(minutes);
  return QStringLiteral("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

QString DurationText(qint64 ms) {
  const qint64 s = (ms + 500) / 1000;
  if (s < 60) return QStringLiteral("%1 s").arg(s);
  if (s < 3600) return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
  return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString RunTitle(int percent) { return QStringLiteral("%1% - %2").arg(percent).arg(kAppTitle); }

QString SummaryText(const RunOutcome& outcome, qint64 elapsedMs) {
  QString how;
  switch (outcome.status) {
    case RunOutcome::Status::Completed: how = QStringLiteral("Done"); break;
    case RunOutcome::Status::Stopped: how = QStringLiteral("Stopped"); break;
    case RunOutcome::Status::Refused:
    case RunOutcome::Status::Ignored: return QString();
  }
  return QStringLiteral("%1: %2 files, %3 failed, in %4")
      .arg(how)
      .arg(outcome.files)
      .arg(outcome.failed)
      .arg(DurationText(elapsedMs));
}
