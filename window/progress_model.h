#pragma once
// A run's progress as the main window shows it: "N of M files", the share done for the
// title, an estimate of the time left, and the one summary of the run's end. The run
// reports the total first (done 0, while it counts the tree), then done after every
// file; the clock starts with the first file, so the time spent counting does not skew
// the estimate. Times are milliseconds of a steady clock handed in by the caller.

#include <string>

struct RunOutcome;

class ProgressModel {
public:
  // A new run, started at `nowMs`: nothing counted yet.
  void Start(long long nowMs);
  void Update(long long done, long long total, long long nowMs);

  bool Known() const { return total_ > 0 || counting_; }
  bool Counting() const { return counting_; }
  long long Done() const { return done_; }
  long long Total() const { return total_; }
  // 0 to 100; 0 while counting.
  int Percent() const;
  // "Counting files: 1,234", "1,234 of 10,000 files", or empty before the first report.
  std::string CountText() const;
  // "about 2 min left", or empty while no estimate can be made.
  std::string TimeLeftText(long long nowMs) const;
  long long ElapsedMs(long long nowMs) const { return started_ ? nowMs - startMs_ : 0; }

private:
  long long startMs_ = 0;
  long long walkMs_ = -1;  // the first file's report; -1 before it
  long long done_ = 0;
  long long total_ = 0;
  bool counting_ = false;
  bool started_ = false;
};

// The time left after `done` of `total` files took `elapsedMs`; empty before a second
// of work or a first file: "about 40 s left", "about 3 min left", "about 1 h 20 min left".
std::string TimeLeftText(long long elapsedMs, long long done, long long total);
// A run's length: "8 s", "2 min 05 s", "1 h 02 min".
std::string DurationText(long long ms);
// The window's title during a run: "42% - Quillward".
std::string RunTitle(int percent);

// The one summary of a run, in the log's last line, the status line and the end-of-run
// notice alike: "Done: 1,000 files (259 unchanged, 3 excluded), 2 failed, 1 folder
// failed, in 24 s". Counts that are zero are left out but the failed files; nouns agree
// with their counts. Empty for a run that never started (Ignored, Refused).
std::string RunSummaryText(const RunOutcome& outcome, long long elapsedMs);
// Whether the run's end is shown in the failure look: something failed, or script files
// went out unencoded because their kind is off.
bool RunEndedBadly(const RunOutcome& outcome);
// The files the bar counts as done at the end: those written, unchanged or left out.
long long FilesAccountedFor(const RunOutcome& outcome);
// The warning after a run that copied script files plain because their kind is off,
// with the kinds named in words: "Warning: 12 script files were copied as they are,
// not encoded: 10 Active Server Pages, 2 VBScript files. Choose their kinds in File,
// Options." Rewrites the run's entry; any other entry is returned unchanged.
std::string LeftPlainInWords(const std::string& entry);
// True for the run's left-plain warning (in either form).
bool IsLeftPlainWarning(const std::string& entry);
// A failed file's entry ("<source> - <reason>") whose reason names the temporary file the
// copy or the encoder was writing, with the file's own name in its place:
// "/s/a.txt - open /d/.qw-12-3.tmp: No space" gives "/s/a.txt - open /d/a.txt: No space".
std::string WithFileNames(const std::string& entry);
