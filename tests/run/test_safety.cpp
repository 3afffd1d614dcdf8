// The ways a run could leak script, write into the source, hang, or call a failure
// success; each case names one.
#include "run/encode_run.h"
#include "test_support.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <sys/mount.h>
#include <unistd.h>

class TestSafety : public QObject, protected RunTreeFixture {
  Q_OBJECT
private slots:
  void init();
  void endingAnEncoder_data();
  void endingAnEncoder();
  void emptyScriptFilesArriveAsTheyAre_data();
  void emptyScriptFilesArriveAsTheyAre();
  void leftoverTemporariesAreRemoved();
  void destinationLinksAreReplacedNotFollowed();
  void missingEncoderIsFoundBeforeAnythingIsWritten();
  void sourceThatIsAFile();
  void scriptCopiedPlainIsNamedOnce();
  void foldersFailedAreCountedApart();
  void overlapThroughMounts_data();
  void overlapThroughMounts();
  void progressCountsTheTreeFirst();

private:
  RunOutcome Run(const QStringList& settings = {}, StopTimes times = {});
};

void TestSafety::init() {
  ResetTree(true, false);
  qunsetenv("QW_FAKE_PID");
}

RunOutcome TestSafety::Run(const QStringList& settings, StopTimes times) {
  MemorySettingsStore store;
  store.Write("Settings", "Jobs", "1");  // the one-worker run; workers are tested apart
  for (const QString& kv : settings) {
    store.Write("Settings", S(kv.section(QLatin1Char('='), 0, 0)), S(kv.section(QLatin1Char('='), 1)));
  }
  return RunEncoding(host_, store, times);
}

static QString P(const fs::path& p) { return Q(ToDisplayPath(p)); }

static bool ProcessGone(const fs::path& pidFile) {
  const pid_t pid = ReadBytes(pidFile).toInt();
  return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A hanging encoder never holds the run: Stop, a stubborn encoder, the time limit.
void TestSafety::endingAnEncoder_data() {
  QTest::addColumn<QByteArray>("mode");
  QTest::addColumn<bool>("stop");
  QTest::addColumn<QString>("timeout");
  QTest::addColumn<QString>("reason");
  QTest::addColumn<QString>("summary");
  QTest::newRow("stop ends a hanging encoder") << QByteArray("hang") << true << "0"
                                               << "stopped: encoder ended" << "Stopped: 1 files, 1 failed";
  QTest::newRow("stop kills one that ignores SIGTERM") << QByteArray("hang-noterm") << true << "0"
                                                       << "stopped: encoder ended" << "Stopped: 1 files, 1 failed";
  QTest::newRow("time limit") << QByteArray("hang") << false << "1"
                              << "encoder timed out after 1 s" << "Done: 2 files, 1 failed";
}

void TestSafety::endingAnEncoder() {
  QFETCH(QByteArray, mode);
  QFETCH(bool, stop);
  QFETCH(QString, timeout);
  QFETCH(QString, reason);
  QFETCH(QString, summary);
  WriteFile(src_, "a.inc", "<% secret %>");
  WriteFile(src_, "b.txt");
  WriteFile(dst_, "a.inc", "earlier output");
  const fs::path pidFile = TempPath(*tmpDir_, "pid");
  qputenv("QW_FAKE_MODE", mode);
  qputenv("QW_FAKE_PID", QByteArray::fromStdString(pidFile.native()));
  int eventsDuringEncode = 0;
  host_.onEvents = [&](RecordingHost& h) {
    if (fs::exists(pidFile)) ++eventsDuringEncode;
    if (stop && fs::exists(pidFile)) h.state.StopRequested = true;
  };
  const RunOutcome out = Run({"EncoderTimeout=" + timeout}, StopTimes{100, 100});
  QCOMPARE(host_.entries[1], P(src_ / "a.inc") + " - " + reason + "; the earlier output was removed");
  QCOMPARE(host_.entries.last(), summary);
  QVERIFY(eventsDuringEncode > 0);  // the window was answered while the encoder ran
  QVERIFY(ProcessGone(pidFile));
  QVERIFY(!fs::exists(dst_ / "a.inc"));
  QCOMPARE(ReadBytes(src_ / "a.inc"), QByteArray("<% secret %>"));
  QCOMPARE(out.status, stop ? RunOutcome::Status::Stopped : RunOutcome::Status::Completed);
}

void TestSafety::emptyScriptFilesArriveAsTheyAre_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::newRow("no bytes") << QByteArray();
  QTest::newRow("UTF-8 mark alone") << QByteArray("\xEF\xBB\xBF");
  QTest::newRow("UTF-16 mark alone") << QByteArray("\xFF\xFE");
}

void TestSafety::emptyScriptFilesArriveAsTheyAre() {
  QFETCH(QByteArray, bytes);
  WriteFile(src_, "empty.inc", bytes);
  qputenv("QW_FAKE_MODE", "exit:1");  // the encoder is not asked at all
  const RunOutcome out = Run();
  QCOMPARE(out.failed, 0);
  QCOMPARE(ReadBytes(dst_ / "empty.inc"), bytes);
  QVERIFY(fs::exists(dst_ / "empty.inc"));
}

namespace {

bool ZombieState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  return std::getline(stat, text) && text.rfind(") Z") != std::string::npos;
}

}  // namespace

void TestSafety::leftoverTemporariesAreRemoved() {
  WriteFile(src_, "sub/a.txt");
  fs::create_directories(dst_ / "sub");
  const std::string ours = ".qw-" + std::to_string(::getpid()) + "-7.tmp";  // a live process
  for (const fs::path& f : {dst_ / ".qw-999999999-3.tmp", dst_ / "sub/.qw-999999999-0.tmp",
                            dst_ / "sub/.a.asp.screnc-999999999-1f-0", dst_ / "sub/.b.asp.screnc-999999999-0-0-Ab12Cd",
                            dst_ / ours, dst_ / ".qw-notes.tmp", dst_ / "sub/keep.tmp"}) {
    WriteFile(f.parent_path(), f.filename(), "left");
  }
  // A second pass's folder (include_client.h), with what it held; a live process's is kept.
  WriteFile(dst_ / "sub/.qw-999999999-5.tmp", "page.htm", "left");
  WriteFile(dst_ / "sub/.qw-999999999-5.tmp", ".encoded.htm.screnc-999999999-1f-0", "left");
  const std::string live = ".qw-" + std::to_string(::getpid()) + "-99999.tmp";
  WriteFile(dst_ / "sub" / live, "page.htm", "in use");
  // An encoder that has ended but is not reaped yet (its run killed, nobody waits for it).
  const pid_t zombie = ::fork();
  if (zombie == 0) ::_exit(0);
  QVERIFY(zombie > 0);
  QTRY_VERIFY(ZombieState(zombie));
  const std::string ended = ".c.asp.screnc-" + std::to_string(zombie) + "-1f-0";
  WriteFile(dst_ / "sub", ended, "left");
  const RunOutcome out = Run();
  ::waitpid(zombie, nullptr, 0);
  QVERIFY2(out.failed == 0, qPrintable(host_.text));
  QVERIFY(!fs::exists(dst_ / "sub" / ended));
  QVERIFY(!fs::exists(dst_ / "sub/.qw-999999999-5.tmp"));
  QVERIFY(fs::exists(dst_ / "sub" / live / "page.htm"));
  QVERIFY(!fs::exists(dst_ / ".qw-999999999-3.tmp"));
  QVERIFY(!fs::exists(dst_ / "sub/.qw-999999999-0.tmp"));
  QVERIFY(!fs::exists(dst_ / "sub/.a.asp.screnc-999999999-1f-0"));
  QVERIFY(!fs::exists(dst_ / "sub/.b.asp.screnc-999999999-0-0-Ab12Cd"));
  QVERIFY(fs::exists(dst_ / ours));
  QVERIFY(fs::exists(dst_ / ".qw-notes.tmp"));
  QVERIFY(fs::exists(dst_ / "sub/keep.tmp"));
}

void TestSafety::destinationLinksAreReplacedNotFollowed() {
  WriteFile(src_, "page.inc", "<% source %>");
  WriteFile(src_, "logo.gif", "gif");
  WriteFile(src_, "sub/inner.inc", "<% inner %>");
  fs::create_directory_symlink(src_, dst_ / "sub");          // dst/sub -> src
  fs::create_symlink(src_ / "page.inc", dst_ / "page.inc");  // dst/page.inc -> src/page.inc
  fs::create_symlink(src_ / "logo.gif", dst_ / "logo.gif");
  WriteFile(src_, "hard.inc", "<% hard %>");
  fs::create_hard_link(src_ / "hard.inc", dst_ / "hard.inc");  // another name, not a link
  const RunOutcome out = Run();
  QCOMPARE(out.failed, 0);
  QCOMPARE(ReadBytes(src_ / "page.inc"), QByteArray("<% source %>"));
  QCOMPARE(ReadBytes(src_ / "sub/inner.inc"), QByteArray("<% inner %>"));
  QVERIFY(!fs::exists(src_ / "inner.inc"));
  for (const char* f : {"sub", "page.inc", "logo.gif"}) QVERIFY2(!fs::is_symlink(dst_ / f), f);
  QCOMPARE(ReadBytes(dst_ / "page.inc"), QByteArray("ENCODED\n<% source %>"));
  QCOMPARE(ReadBytes(dst_ / "sub/inner.inc"), QByteArray("ENCODED\n<% inner %>"));
  QCOMPARE(ReadBytes(src_ / "hard.inc"), QByteArray("<% hard %>"));
  QCOMPARE(ReadBytes(dst_ / "hard.inc"), QByteArray("ENCODED\n<% hard %>"));
}

void TestSafety::missingEncoderIsFoundBeforeAnythingIsWritten() {
  WriteFile(src_, "a.txt");
  WriteFile(src_, "b.inc");
  host_.appDir = P(TempPath(*tmpDir_, "nowhere")) + QLatin1Char('/');
  host_.destination = dst_ / "new";
  QCOMPARE(Run().status, RunOutcome::Status::Refused);
  QCOMPARE(host_.messages.size(), 1);
  QVERIFY2(host_.messages[0].contains(P(TempPath(*tmpDir_, "nowhere") / "screnc")), qPrintable(host_.messages[0]));
  QVERIFY(!fs::exists(dst_ / "new"));
  // Without a file to encode, no encoder is needed.
  fs::remove(src_ / "b.inc");
  QCOMPARE(Run().status, RunOutcome::Status::Completed);
}

void TestSafety::sourceThatIsAFile() {
  host_.source = WriteFile(TempPath(*tmpDir_), "file.txt");
  QCOMPARE(Run().status, RunOutcome::Status::Refused);
  QCOMPARE(host_.messages[0].section(QLatin1Char('|'), 1, 1), "Source Path is not a folder: " + P(host_.source));
}

void TestSafety::scriptCopiedPlainIsNamedOnce() {
  for (const char* f : {"a.asp", "b.asp", "global.asa", "c.js", "d.inc", "e.gif"}) WriteFile(src_, f);
  const RunOutcome out = Run({"chkJS=1", "txtDefxt=*.lib"});
  QCOMPARE(out.leftPlain, 4);
  QCOMPARE(host_.entries.size(), 9);
  QCOMPARE(host_.entries[7], QStringLiteral(
      "Warning: 4 files that hold script were copied unencoded, their type being off in Options: "
      "3 \"Active Server Page (*.ASP) Files\" (chkASP), 1 .inc not in \"Other File Extensions that are ASP\" (txtDefxt)"));
  QCOMPARE(host_.entries[8], QStringLiteral("Done: 6 files, 0 failed"));
  Run({"chkASP=1", "chkJS=1", "txtDefxt=inc"});
  QVERIFY(!host_.entries.join('\n').contains(QStringLiteral("Warning")));
}

void TestSafety::foldersFailedAreCountedApart() {
  WriteFile(src_, "a/x.txt");
  WriteFile(src_, "b.txt");
  WriteFile(dst_, "a", "a file where the folder belongs");
  const RunOutcome out = Run();
  QCOMPARE(out.failedFolders, 1);
  QCOMPARE(host_.entries.last(), QStringLiteral("Done: 1 files, 0 failed, 1 folders failed"));
}

// One folder under two names: a bind mount, or a file system that ignores case.
void TestSafety::overlapThroughMounts_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<QString>("message");
  QTest::newRow("destination in the source through a bind mount") << "bind-dest" << Q(kDestInsideSourceMessage);
  QTest::newRow("source in the destination through a bind mount") << "bind-src" << Q(kSourceInsideDestMessage);
  QTest::newRow("same folder through a bind mount") << "bind-same" << Q(kSamePathsMessage);
  QTest::newRow("destination in the source on FAT, other letter case") << "fat-dest" << Q(kDestInsideSourceMessage);
  QTest::newRow("source in the destination on FAT, other letter case") << "fat-src" << Q(kSourceInsideDestMessage);
}

// A FAT file system in a file, mounted at `mnt`; false when this machine cannot.
static bool MountFat(const fs::path& image, const fs::path& mnt) {
  QProcess mk, mount;
  mk.start(QStringLiteral("mkfs.vfat"), {QStringLiteral("-C"), P(image), QStringLiteral("2048")});
  if (!mk.waitForFinished(20000) || mk.exitCode() != 0) return false;
  mount.start(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), P(image), P(mnt)});
  return mount.waitForFinished(20000) && mount.exitCode() == 0;
}

void TestSafety::overlapThroughMounts() {
  QFETCH(QString, how);
  QFETCH(QString, message);
  if (::geteuid() != 0) QSKIP("bind mounts need root");
  WriteFile(src_, "a.inc", "<% a %>");
  const fs::path mnt = TempPath(*tmpDir_, "mnt");
  fs::create_directories(mnt);
  if (how.startsWith("fat")) {
    if (!MountFat(TempPath(*tmpDir_, "fat.img"), mnt)) QSKIP("cannot make and mount a FAT image here");
    src_ = mnt / "Site";
    WriteFile(src_, "a.inc", "<% a %>");
    host_.source = src_;
    host_.destination = how == "fat-dest" ? mnt / "SITE" / "out" : mnt;
    if (how == "fat-src") host_.source = mnt / "site";
    if (how == "fat-src") host_.destination = mnt;
  } else {
    const fs::path bound = how == "bind-src" ? dst_ : src_;
    if (::mount(bound.c_str(), mnt.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      QSKIP("mount --bind is not allowed here");
    }
  }
  if (how == "bind-dest") host_.destination = mnt / "out";
  if (how == "bind-src") { fs::create_directories(dst_ / "site"); WriteFile(dst_ / "site", "a.inc"); host_.source = mnt / "site"; }
  if (how == "bind-same") host_.destination = mnt;
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mnt};
  const RunOutcome out = Run();
  QCOMPARE(out.status, RunOutcome::Status::Refused);
  QVERIFY2(host_.messages.value(0).startsWith("Source Encode|" + message), qPrintable(host_.messages.value(0)));
  QCOMPARE(ReadBytes(src_ / "a.inc"), QByteArray("<% a %>"));
  QVERIFY(!fs::exists(src_ / "out"));
}

void TestSafety::progressCountsTheTreeFirst() {
  for (const char* f : {"a.txt", "b/c.txt", "b/d/e.inc"}) WriteFile(src_, f);
  QList<QPair<qint64, qint64>> seen;
  struct ProgressHost : RecordingHost {
    QList<QPair<qint64, qint64>>* seen;
    void ShowProgress(long long done, long long total) override { seen->append({done, total}); }
  } host;
  host.seen = &seen;
  host.source = src_;
  host.destination = dst_;
  host.appDir = fake_->appDir();
  MemorySettingsStore store;
  RunEncoding(host, store);
  QCOMPARE(seen.last(), (QPair<qint64, qint64>(3, 3)));
  QVERIFY(seen.contains(QPair<qint64, qint64>(0, 3)));
  QVERIFY(seen.contains(QPair<qint64, qint64>(1, 3)));
}

QTEST_GUILESS_MAIN(TestSafety)
#include "test_safety.moc"
