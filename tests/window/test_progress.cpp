// The words of a run's progress and end: counts with their nouns, the time left, the one
// summary, the left-plain warning in words, and what the bar counts as done.
#include "check.h"

#include "run/encode_run.h"
#include "progress_model.h"
#include "window_texts.h"

TEST(countedNounsAgreeWithTheirCounts) {
  struct Row {
    long long n;
    const char* singular;
    const char* expected;
  };
  const Row rows[] = {
      {0, "file", "0 files"},     {1, "file", "1 file"},         {2, "folder", "2 folders"},
      {1, "folder", "1 folder"},  {1234, "file", "1,234 files"}, {1000000, "file", "1,000,000 files"},
      {999, "file", "999 files"}, {-1, "file", "-1 files"},
  };
  for (const Row& r : rows) CHECK_EQ(Counted(r.n, r.singular), std::string(r.expected));
}

TEST(timeLeftAndDurations) {
  struct Row {
    long long elapsed, done, total;
    const char* expected;
  };
  const Row rows[] = {
      {500, 10, 100, ""},                   // under a second of work: no guess yet
      {2000, 0, 100, ""},                   // no file done
      {2000, 100, 100, ""},                 // nothing left
      {2000, 50, 100, "about 5 s left"},    // 2 s more, rounded up to 5
      {5000, 10, 100, "about 45 s left"},
      {60000, 10, 100, "about 9 min left"},
      {3600000, 10, 100, "about 9 h 0 min left"},
  };
  for (const Row& r : rows) CHECK_EQ(TimeLeftText(r.elapsed, r.done, r.total), std::string(r.expected));
  CHECK_EQ(DurationText(8000), std::string("8 s"));
  CHECK_EQ(DurationText(125000), std::string("2 min 05 s"));
  CHECK_EQ(DurationText(3720000), std::string("1 h 02 min"));
  CHECK_EQ(RunTitle(42), std::string("42% - Quillward"));
}

TEST(progressCountsFromTheFirstFile) {
  ProgressModel p;
  p.Start(1000);
  CHECK(!p.Known());
  p.Update(0, 1500, 1100);  // counting
  CHECK(p.Counting());
  CHECK_EQ(p.CountText(), std::string("Counting files: 1,500"));
  CHECK_EQ(p.Percent(), 0);
  p.Update(1, 2000, 5000);  // the clock of the estimate starts here
  CHECK_EQ(p.CountText(), std::string("1 of 2,000 files"));
  p.Update(1000, 2000, 15000);
  CHECK_EQ(p.Percent(), 50);
  CHECK_EQ(p.TimeLeftText(15000), std::string("about 10 s left"));
  CHECK_EQ(p.ElapsedMs(15000), 14000LL);
  p.Update(2500, 2000, 16000);  // never more done than the total
  CHECK_EQ(p.Total(), 2500LL);
}

namespace {

RunOutcome Outcome(RunOutcome::Status status, long long files, long long failed, long long failedFolders = 0,
                   long long unchanged = 0, long long excluded = 0, long long leftPlain = 0) {
  RunOutcome o;
  o.status = status;
  o.files = files;
  o.failed = failed;
  o.failedFolders = failedFolders;
  o.unchanged = unchanged;
  o.excluded = excluded;
  o.leftPlain = leftPlain;
  return o;
}

}  // namespace

TEST(oneSummaryForLogStatusAndNotice) {
  using S = RunOutcome::Status;
  struct Row {
    RunOutcome outcome;
    const char* expected;
    bool bad;
  };
  const Row rows[] = {
      {Outcome(S::Completed, 1, 0), "Done: 1 file, 0 failed, in 3 s", false},
      {Outcome(S::Completed, 1000, 0), "Done: 1,000 files, 0 failed, in 3 s", false},
      // failed folders are not failed files
      {Outcome(S::Completed, 10, 3, 1), "Done: 10 files, 2 failed, 1 folder failed, in 3 s", true},
      {Outcome(S::Completed, 10, 2, 2), "Done: 10 files, 0 failed, 2 folders failed, in 3 s", true},
      {Outcome(S::Completed, 741, 0, 0, 259, 4), "Done: 741 files (259 unchanged, 4 excluded), 0 failed, in 3 s", false},
      {Outcome(S::Stopped, 5, 0), "Stopped: 5 files, 0 failed, in 3 s", false},
      {Outcome(S::Completed, 12, 0, 0, 0, 0, 12), "Done: 12 files, 0 failed, 12 not encoded, in 3 s", true},
      {Outcome(S::Refused, 0, 0), "", false},
      {Outcome(S::Ignored, 0, 0), "", false},
  };
  for (const Row& r : rows) {
    CHECK_EQ(RunSummaryText(r.outcome, 3000), std::string(r.expected));
    CHECK_EQ(RunEndedBadly(r.outcome), r.bad);
  }
  CHECK_EQ(FilesAccountedFor(Outcome(S::Completed, 741, 0, 0, 259, 0)), 1000LL);
}

TEST(failuresNameTheFileNotItsTemporaryName) {
  struct Row {
    const char* entry;
    const char* expected;
  };
  const Row rows[] = {
      {"/s/a.txt - open /d/.qw-12-3.tmp: No space left on device", "/s/a.txt - open /d/a.txt: No space left on device"},
      {"/s/spring - sale.htm - write /d/x/.qw-7-0.tmp: Read-only file system",
       "/s/spring - sale.htm - write /d/x/spring - sale.htm: Read-only file system"},
      {"/s/p.asp - encoder exit code 1: cannot open /d/.p.asp.screnc-41-1f-2", "/s/p.asp - encoder exit code 1: cannot open /d/p.asp"},
      {"/s/.hidden - open /d/.hidden: Permission denied", "/s/.hidden - open /d/.hidden: Permission denied"},
      {"Processing ... /s/.git", "Processing ... /s/.git"},
  };
  for (const Row& r : rows) CHECK_EQ(WithFileNames(r.entry), std::string(r.expected));
}

TEST(leftPlainWarningNamesKindsInWords) {
  struct Row {
    const char* entry;
    const char* expected;
  };
  const Row rows[] = {
      {"Warning: 12 files that hold script were copied unencoded, their type being off in Options: 10 \"Active "
       "Server Page (*.ASP) Files\" (chkASP), 2 \"VBScript (*.VBS) Files\" (Check2)",
       "Warning: 12 script files were copied as they are, not encoded: 10 Active Server Pages, 2 VBScript files. "
       "Choose their kinds in File, Options."},
      {"Warning: 1 files that hold script were copied unencoded, their type being off in Options: 1 \"Standard HTML "
       "(*.HTML, HTM) files\" (chkHTML)",
       "Warning: 1 script file was copied as it is, not encoded: 1 HTML page. Choose their kinds in File, Options."},
      {"Warning: 3 files that hold script would be copied unencoded, their type being off in Options: 3 \"Javascript "
       "(*.JS) files\" (chkJS)",
       "Warning: 3 script files would be copied as they are, not encoded: 3 JScript files. Choose their kinds in "
       "File, Options."},
      {"Warning: include file a.inc not found", "Warning: include file a.inc not found"},
      {"/site/default.asp", "/site/default.asp"},
  };
  for (const Row& r : rows) {
    const std::string words = LeftPlainInWords(r.entry);
    CHECK_EQ(words, std::string(r.expected));
    CHECK(words.find("chk") == std::string::npos && words.find("Check2") == std::string::npos);
  }
  CHECK(IsLeftPlainWarning(rows[0].entry));
  CHECK(IsLeftPlainWarning(LeftPlainInWords(rows[1].entry)));
  CHECK(!IsLeftPlainWarning(rows[3].entry));
}
