#pragma once
// What the window shows of a run's progress: "N of M files", the share done, an estimate
// of the time left, and the summary at the end. The run reports the total first (done 0,
// while it counts the tree), then done after every file; the clock starts with the first
// file, so the time spent counting does not skew the estimate.

#include <QElapsedTimer>
#include <QString>

struct RunOutcome;

class RunProgress {
public:
  // A new run: nothing counted yet.
  void Start();
  void Update(qint64 done, qint64 total);

  bool Known() const { return total_ > 0 || counting_; }
  bool Counting() const { return counting_; }
  qint64 Done() const { return done_; }
  qint64 Total() const { return total_; }
  // 0 to 100; 0 while counting.
  int Percent() const;
  // "Counting files: 1,234", "1,234 of 10,000 files", or empty before the first report.
  QString CountText() const;
  // "about 2 min left", or empty while no estimate can be made.
  QString TimeLeftText() const;
  // Milliseconds since Start.
  qint64 ElapsedMs() const { return run_.isValid() ? run_.elapsed() : 0; }

private:
  QElapsedTimer run_;
  QElapsedTimer walk_;  // from the first file on
  qint64 done_ = 0;
  qint64 total_ = 0;
  bool counting_ = false;
};

// The time left after `done` of `total` files took `elapsedMs`; empty before a second
// of work or a first file: "about 40 s left", "about 3 min left", "about 1 h 20 min left".
QString TimeLeftText(qint64 elapsedMs, qint64 done, qint64 total);
// A run's length: "8 s", "2 min 05 s", "1 h 02 min".
QString DurationText(qint64 ms);
// The window's title during a run: "42% - Quillward".
QString RunTitle(int percent);
// The status line after a run: "Done: 10000 files, 3 failed, in 24 s"; empty for a run
// that never started.
QString SummaryText(const RunOutcome& outcome, qint64 elapsedMs);
