// What keeps the manifest true when runs are killed, run at once, or find its place
// taken: the journal (at every pause, what is in the destination is named by the saved
// manifest or the journal), a journal left behind folded in, the lock, and a manifest
// path that is not a regular file.
#include "run/redeploy/deploy_lock.h"
#include "run/encode_run.h"
#include "run/util/fs_ops.h"
#include "run/redeploy/manifest.h"
#include "run/redeploy/manifest_journal.h"
#include "run/redeploy/manifest_keeper.h"
#include "test_support.h"
#include "run/walk/walk.h"

#include <QtTest>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString P(const fs::path& p) { return Q(ToDisplayPath(p)); }

// The files in `root` (below it, '/' between names) that neither the manifest lists as
// they are nor the journal names; temporary files count as their folder's.
QStringList Unknown(const fs::path& root, const Manifest& manifest, const JournalContents& journal) {
  std::set<std::string> named, folders;
  for (const JournalLine& l : journal.lines) {
    named.insert(l.key);
    folders.insert(l.folder ? l.key : fs::path(l.key).parent_path().string());
  }
  for (const auto& [key, e] : manifest.entries) {
    if (e.folder) folders.insert(key);
  }
  QStringList unknown;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    // Workers go on writing meanwhile: a temporary listed may be gone already, so the
    // name is taken apart without asking the file system.
    const std::string key = e.path().lexically_relative(root).generic_string();
    const std::string folder = fs::path(key).parent_path().string();
    unsigned long pid = 0;
    if (IsLeftoverTemporaryName(e.path().filename().string(), pid)) {
      if (!folders.count(folder) && !folder.empty()) unknown << Q(key);
      continue;
    }
    const auto listed = manifest.entries.find(key);
    const auto there = StampOf(e.path());
    const bool known = named.count(key) ||
                       (listed != manifest.entries.end() &&
                        (listed->second.folder || (there && there->size == listed->second.destinationSize &&
                                                   there->modifiedNs == listed->second.destinationTime)));
    if (!known) unknown << Q(key);
  }
  return unknown;
}

using Setup = std::function<void(const fs::path& manifest)>;

}  // namespace
Q_DECLARE_METATYPE(Setup)

class TestManifestJournal : public QObject, protected RunTreeFixture {
  Q_OBJECT
private slots:
  void init();
  void journalNamesWhatTheManifestDoesNot_data();
  void journalNamesWhatTheManifestDoesNot();
  void journalOfAKilledRunFoldedIn();
  void manifestPathNotARegularFile_data();
  void manifestPathNotARegularFile();
  void oneRunAtATime_data();
  void oneRunAtATime();

private:
  RunOutcome Run(const QStringList& settings, StopTimes times = {});
  fs::path ManifestFile() const { return ManifestFileOf(dst_); }
  QTemporaryDir state_;
};

void TestManifestJournal::init() {
  ResetTree(true, false);
  qputenv("XDG_STATE_HOME", state_.path().toLocal8Bit());
}

RunOutcome TestManifestJournal::Run(const QStringList& settings, StopTimes times) {
  MemorySettingsStore store;
  store.Write("Settings", "chkASP", "1");
  for (const QString& kv : settings) {
    const QString section = kv.startsWith(QStringLiteral("ThisRun/")) ? QStringLiteral("ThisRun") : QStringLiteral("Settings");
    store.Write(S(section), S(kv.section(QLatin1Char('='), 0, 0).section(QLatin1Char('/'), -1)),
                S(kv.section(QLatin1Char('='), 1)));
  }
  host_.entries.clear();
  return RunEncoding(host_, store, times);
}

void TestManifestJournal::journalNamesWhatTheManifestDoesNot_data() {
  QTest::addColumn<int>("jobs");
  QTest::newRow("one worker") << 1;
  QTest::newRow("four workers") << 4;
}

// A kill can come at any moment; at every pause of a run, whatever it has put in the
// destination is named by the manifest on disk or by the journal beside it.
void TestManifestJournal::journalNamesWhatTheManifestDoesNot() {
  QFETCH(int, jobs);
  for (int i = 0; i < 60; ++i) {
    WriteFile(src_, QStringLiteral("d%1/f%2.%3").arg(i / 10).arg(i).arg(i % 2 ? "asp" : "txt").toStdString(), "v1");
  }
  QStringList unknown;
  int pauses = 0;
  host_.onEvents = [&](RecordingHost&) {
    if (++pauses && !unknown.isEmpty()) return;  // the first pause that fails tells
    const std::string identity = DestinationIdentity(dst_);
    Status ignored = Status::Ok();
    const JournalContents journal = ReadJournal(JournalFileFor(ManifestFile()), ignored);
    unknown = Unknown(dst_, LoadManifest(ManifestFile(), identity), journal);
    if (!unknown.isEmpty()) unknown.prepend(QStringLiteral("pause %1:").arg(pauses));
  };
  const RunOutcome out = Run({"chkDelete=1", QStringLiteral("Jobs=%1").arg(jobs)});
  host_.onEvents = nullptr;
  QCOMPARE(out.files, 60);
  QVERIFY(pauses >= 60);
  QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(QLatin1Char(' '))));
  // The run ended with its manifest saved: no journal is left.
  QVERIFY(!fs::exists(JournalFileFor(ManifestFile())));
}

// A journal as a killed run leaves it: its files are this tool's (redone by --changed,
// removed by --delete once their source is gone), and so are its temporary files in the
// folders it names, whatever its process id now belongs to.
void TestManifestJournal::journalOfAKilledRunFoldedIn() {
  WriteFile(src_, "keep.txt", "k");
  for (const char* f : {"gone/a.txt", "gone/b.asp", "gone/deep/c.txt"}) WriteFile(src_, f, "1");
  QCOMPARE(Run({"chkChanged=1"}).files, 4);
  // The killed run (id 1: a process that runs) rewrote gone/a.txt and made gone/new.txt
  // and gone/deep2/d.txt; its last save holds none of it; it left a temporary half written.
  const fs::path manifest = ManifestFile();
  WriteFile(dst_, "gone/a.txt", "rewritten by the killed run");
  WriteFile(dst_, "gone/new.txt", "n");
  WriteFile(dst_, "gone/deep2/d.txt", "d");
  WriteFile(dst_, "gone/.qw-1-7.tmp", "half");
  WriteFile(dst_, "elsewhere/.qw-1-8.tmp", "of a live process, named by no journal");
  const fs::path outside = WriteFile(dst_.parent_path(), "beside/.qw-1-9.tmp", "not below the destination");
  WriteFile(state_.path().toStdString(), "Quillward/manifests/.qw-999999-3.tmp", "a save cut short");
  {
    std::ofstream(JournalFileFor(manifest), std::ios::binary)
        << "quillward-journal 1\nrun\t1\nF\tgone/a.txt\nF\tgone/new.txt\nD\tgone/deep2\nF\tgone/deep2/d.txt\n"
           "F\tgone/never-written.txt\nD\t../beside\nF\tgone/cut sh";
  }
  fs::remove_all(src_ / "gone");
  const RunOutcome out = Run({"chkChanged=1", "chkDelete=1"});
  QCOMPARE(out.status, RunOutcome::Status::Completed);
  QCOMPARE(out.failed, 0);
  QVERIFY2(host_.entries.contains(P(dst_ / "gone/.qw-1-7.tmp") + " - " + Q(kRemovedTemporary)), qPrintable(host_.entries.join('\n')));
  QVERIFY(fs::exists(dst_ / "elsewhere/.qw-1-8.tmp"));  // no journal names its folder, and process 1 runs
  QVERIFY(!fs::exists(dst_ / "gone"));
  QVERIFY(fs::exists(outside));  // a journal never leads out of the destination
  QCOMPARE(out.deleted, 8);  // a, b, new, deep/c, deep2/d; gone/deep, gone/deep2, gone
  QVERIFY(!fs::exists(state_.path().toStdString() + "/Quillward/manifests/.qw-999999-3.tmp"));
  QVERIFY(!fs::exists(JournalFileFor(manifest)));
}

void TestManifestJournal::manifestPathNotARegularFile_data() {
  QTest::addColumn<Setup>("setup");
  QTest::addColumn<QString>("warning");  // after "Warning: <manifest> - "
  QTest::addColumn<int>("failed");       // the manifest could not be saved over it
  QTest::newRow("a folder") << Setup([](const fs::path& m) { fs::create_directories(m / "x"); })
                            << "not read: not a regular file (open " << 1;
  QTest::newRow("a FIFO") << Setup([](const fs::path& m) { QCOMPARE(::mkfifo(m.c_str(), 0644), 0); })
                          << "not read: not a regular file (open " << 0;
  QTest::newRow("a link to a FIFO") << Setup([](const fs::path& m) {
    QCOMPARE(::mkfifo((m.string() + ".pipe").c_str(), 0644), 0);
    fs::create_symlink(m.string() + ".pipe", m);
  }) << "not read: not a regular file (open " << 0;
  QTest::newRow("garbled") << Setup([](const fs::path& m) { std::ofstream(m) << "quillward-manifest 1\n\x01"; })
                           << "not read: not a whole manifest of this destination (read " << 0;
}

// Never opened for reading (a folder once ended the program with std::bad_alloc, a FIFO
// blocked it): taken as missing, with a warning, and the run deploys everything.
void TestManifestJournal::manifestPathNotARegularFile() {
  QFETCH(Setup, setup);
  QFETCH(QString, warning);
  QFETCH(int, failed);
  WriteFile(src_, "a.asp", "<% x %>");
  WriteFile(src_, "b.txt", "b");
  fs::create_directories(ManifestFile().parent_path());
  setup(ManifestFile());
  const RunOutcome out = Run({"chkChanged=1"});
  QCOMPARE(out.status, RunOutcome::Status::Completed);
  QCOMPARE(out.files, 2);
  QCOMPARE(out.failed, failed);
  const QString prefix = "Warning: " + P(ManifestFile()) + " - ";
  QVERIFY2(!host_.entries.filter(prefix + warning).isEmpty(), qPrintable(host_.entries.join('\n')));
  QCOMPARE(host_.entries.filter(prefix + "not saved: ").size(), failed);
  QCOMPARE(host_.entries.last(), QStringLiteral("Done: 2 files, %1 failed").arg(failed));
  if (failed == 0) QCOMPARE(Run({"chkChanged=1"}).unchanged, 2);  // saved in its place
}

void TestManifestJournal::oneRunAtATime_data() {
  QTest::addColumn<QStringList>("settings");
  QTest::addColumn<int>("releaseAfter");  // pauses of the waiting run; -1: never
  QTest::addColumn<int>("status");        // RunOutcome::Status
  QTest::newRow("held throughout: refused") << QStringList{"chkChanged=1"} << -1 << int(RunOutcome::Status::Refused);
  QTest::newRow("a run without --changed is refused too") << QStringList() << -1 << int(RunOutcome::Status::Refused);
  QTest::newRow("released while it waits") << QStringList{"chkDelete=1"} << 2 << int(RunOutcome::Status::Completed);
  QTest::newRow("a dry run takes none") << QStringList{"chkChanged=1", "ThisRun/DryRun=1"} << -1
                                        << int(RunOutcome::Status::Completed);
}

// Another run holds the destination's lock (here this process, through another handle).
void TestManifestJournal::oneRunAtATime() {
  QFETCH(QStringList, settings);
  QFETCH(int, releaseAfter);
  QFETCH(int, status);
  WriteFile(src_, "a.txt", "a");
  fs::create_directories(ManifestFile().parent_path());
  DeployLock::Attempt other = DeployLock::TryTake(LockFileFor(ManifestFile()));
  QCOMPARE(other.result, DeployLock::Result::Held);
  int pauses = 0;
  host_.onEvents = [&](RecordingHost&) {
    if (++pauses == releaseAfter) other.lock.reset();
  };
  const RunOutcome out = Run(settings, StopTimes{2000, 2000, releaseAfter < 0 ? 200 : 60000});
  host_.onEvents = nullptr;
  QCOMPARE(int(out.status), status);
  if (out.status == RunOutcome::Status::Refused) {
    QCOMPARE(host_.messages, QStringList{QStringLiteral("Source Encode|another run is deploying into %1 (pid %2)|%3")
                                             .arg(P(dst_)).arg(::getpid()).arg(int(MessageIcon::Warning))});
    QVERIFY(!fs::exists(dst_ / "a.txt"));
    QVERIFY(pauses > 0);  // it waited, and let events run meanwhile
  } else {
    QVERIFY(fs::exists(dst_ / "a.txt") != settings.contains(QStringLiteral("ThisRun/DryRun=1")));
  }
}

QTEST_GUILESS_MAIN(TestManifestJournal)
#include "test_manifest_journal.moc"
