// The run over real temporary trees, with the stand-in encoder (our own where the output is checked).
#include "run/encode_run.h"
#include "test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <chrono>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace {

struct EncoderFailure {
  const char* name;
  const char* mode;
  bool stale;  // an earlier run's output at the destination
  const char* reason;
};

const EncoderFailure kEncoderFailures[] = {
    {"exit code", "exit:255", false, "encoder exit code 255"},
    {"killed", "kill", false, "encoder killed by signal 9"},
    {"no output", "nooutput", false, "encoder wrote no output"},
    {"stale output", "nooutput", true, "encoder left the earlier output unchanged; the earlier output was removed"},
    {"empty output", "empty", false, "encoder wrote an empty file"},
    {"half written, then killed", "partial", false, "encoder killed by signal 9"},
    {"own error text", "stderr:cannot write '/o/a.inc': No space left on device", false,
     "encoder exit code 1: screnc: cannot write '/o/a.inc': No space left on device"},
    {"earlier output removed", "exit:1", true, "encoder exit code 1; the earlier output was removed"},
};

// Every entry under `root`: its relative path and its bytes (folders as "<dir>").
std::map<std::string, QByteArray> TreeOf(const fs::path& root) {
  std::map<std::string, QByteArray> tree;
  if (!fs::exists(root)) return tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    tree[e.path().lexically_relative(root).string()] = e.is_directory() ? QByteArray("<dir>") : ReadBytes(e.path());
  }
  return tree;
}

// The report without what differs from run to run: times, and the number of workers.
QJsonObject Comparable(QJsonObject object) {
  for (const char* key : {"started", "ended", "milliseconds", "jobs"}) object.remove(QLatin1String(key));
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (it->isObject()) *it = Comparable(it->toObject());
    if (it->isArray()) {
      QJsonArray items = it->toArray();
      for (auto item = items.begin(); item != items.end(); ++item) {
        if (item->isObject()) *item = Comparable(item->toObject());
      }
      *it = items;
    }
  }
  return object;
}

}  // namespace

class TestWalk : public QObject, protected RunTreeFixture {
  Q_OBJECT
private slots:
  void init();
  void emptySource();
  void orderAndFolders();
  void mappingIsByRelativePath();
  void foldersShownAlike();
  void copyReplacesAndLeavesNoTemporaries();
  void commandsPerKind();
  void encoderFailures_data();
  void encoderFailures();
  void workersGiveTheSameRun_data();
  void workersGiveTheSameRun();
  void secondRunIntoSameDestination();
  void folderThatCannotBeCreated();
  void copyThatCannotBeWritten();
  void linksAndSpecialFiles();
  void stopAfterCurrentFile();
  void stopDuringVerification();
  void refusals_data();
  void refusals();
  void startWhileBusyDoesNothing();
  void pathsAreTakenOnce();
  void scrollCountIsCapped();

private:
  RunOutcome Run(const QStringList& settings = {});
  void MakeTrees(const QString& scenario, bool stale);
};

void TestWalk::init() {
  ResetTree(true, true);
}

// settings: "key=value" pairs, in [Settings] or, as "section/key=value", another section
RunOutcome TestWalk::Run(const QStringList& settings) {
  MemorySettingsStore store;
  store.Write("Settings", "Jobs", "1");  // the one-worker run; workers are tested apart
  for (const QString& kv : settings) {
    const QString key = kv.section(QLatin1Char('='), 0, 0);
    const QString section = key.contains(QLatin1Char('/')) ? key.section(QLatin1Char('/'), 0, 0) : QStringLiteral("Settings");
    store.Write(S(section), S(key.section(QLatin1Char('/'), -1)), S(kv.section(QLatin1Char('='), 1)));
  }
  return RunEncoding(host_, store);
}

static QString P(const fs::path& p) { return Q(ToDisplayPath(p)); }

void TestWalk::emptySource() {
  const RunOutcome out = Run();
  QCOMPARE(out.status, RunOutcome::Status::Completed);
  QCOMPARE(host_.text, QStringLiteral("\r\nProcessing ... %1\r\nDone: 0 files, 0 failed").arg(P(src_)));
  QCOMPARE(host_.stopEnabled, QList<bool>({true, false}));
  QVERIFY(!host_.state.Busy);
}

void TestWalk::orderAndFolders() {
  for (const char* f : {"b.txt", "a.txt", "A.txt", "Z/z.txt", "c/x.txt", "c/d/y.txt", "B/e.txt"}) WriteFile(src_, f);
  // When a folder's first file is done, its destination folder must already exist.
  QStringList missingFolders;
  host_.onEvents = [&](RecordingHost& h) {
    const QString last = h.entries.last();
    if (!fs::is_directory(dst_ / fs::path(ToNativePath(S(last))).lexically_relative(src_).parent_path()))
      missingFolders << last;
  };
  const RunOutcome out = Run();
  QCOMPARE(out.files, 7);
  QVERIFY2(missingFolders.isEmpty(), qPrintable(missingFolders.join(QLatin1Char(','))));
  const QString s = P(src_);
  QCOMPARE(host_.entries, QStringList({
      "Processing ... " + s, s + "/A.txt", s + "/a.txt", s + "/b.txt",
      "Processing ... " + s + "/B", s + "/B/e.txt",
      "Processing ... " + s + "/c", s + "/c/x.txt",
      "Processing ... " + s + "/c/d", s + "/c/d/y.txt",
      "Processing ... " + s + "/Z", s + "/Z/z.txt",
      "Done: 7 files, 0 failed"}));
  QCOMPARE(host_.scrolls, QList<qint16>({1, 2, 3, 4, 5, 6, 7}));
  QVERIFY(fs::exists(dst_ / "c/d/y.txt"));
}

void TestWalk::mappingIsByRelativePath() {
  // The source's own path occurs again inside the tree: only the root is replaced.
  const fs::path inner = src_ / "x" / src_.relative_path();
  WriteFile(inner, "page.txt", "deep");
  host_.destination = dst_ / "";  // a trailing separator joins cleanly too
  Run();
  QCOMPARE(ReadBytes(dst_ / "x" / src_.relative_path() / "page.txt"), QByteArray("deep"));
}

// Folder names that are not UTF-8 show alike ("\xff" and "\xfe" both as U+FFFD): each
// folder is still walked with its own entries, whether counted first or listed by the walk.
void TestWalk::foldersShownAlike() {
  WriteFile(src_ / "\xff", "one.txt", "one");
  WriteFile(src_ / "\xfe", "two.txt", "two");
  WriteFile(src_ / "\xfe" / "\xff", "three.txt", "three");
  const RunOutcome out = Run();
  QCOMPARE(out.files, 3);
  QCOMPARE(out.failed, 0);
  QCOMPARE(TreeOf(dst_), TreeOf(src_));
}

void TestWalk::copyReplacesAndLeavesNoTemporaries() {
  WriteFile(src_, "logo.gif", "new bytes");
  WriteFile(dst_, "logo.gif", "old");
  ::chmod((src_ / "logo.gif").c_str(), 0640);
  Run();
  QCOMPARE(ReadBytes(dst_ / "logo.gif"), QByteArray("new bytes"));
  QCOMPARE((fs::status(dst_ / "logo.gif").permissions() & fs::perms::owner_all), fs::perms::owner_read | fs::perms::owner_write);
  QCOMPARE(std::distance(fs::directory_iterator(dst_), fs::directory_iterator()), 1);
  // The copy keeps the source's modification time, so it sorts and caches like the source.
  const auto old = fs::file_time_type(std::chrono::seconds(1000000000));
  fs::last_write_time(src_ / "logo.gif", old);
  Run();
  QVERIFY(fs::last_write_time(dst_ / "logo.gif") == old);
}

void TestWalk::commandsPerKind() {
  for (const char* f : {"a.asp", "b.htm", "c.js", "d.vbs", "e.inc", "f.gif"}) WriteFile(src_, f);
  Run({"chkASP=1", "chkHTML=1", "chkJS=1", "Check2=1", "chkLangDirect=1", "Combo1=JScript", "Combo2=VBScript"});
  const auto calls = fake_->calls();
  QCOMPARE(calls.size(), 5);
  auto switches = [&](int i) { return QList<QByteArray>(calls[i].begin(), calls[i].end() - 2); };
  QCOMPARE(switches(0), QList<QByteArray>({"/xl", "/s", "/l", "JScript"}));
  QCOMPARE(switches(1), QList<QByteArray>({"/s", "/l", "VBScript"}));
  QCOMPARE(switches(2), QList<QByteArray>({"/s"}));
  QCOMPARE(switches(3), QList<QByteArray>({"/s"}));
  QCOMPARE(switches(4), QList<QByteArray>({"/s", "/e", "asp", "/xl", "/l", "JScript"}));
  QCOMPARE(calls[0].last(), QByteArray::fromStdString((dst_ / "a.asp").native()));
  QCOMPARE(ReadBytes(dst_ / "e.inc"), QByteArray("ENCODED\nx"));
  QCOMPARE(ReadBytes(dst_ / "f.gif"), QByteArray("x"));
}

void TestWalk::encoderFailures_data() {
  QTest::addColumn<QByteArray>("mode");
  QTest::addColumn<bool>("stale");
  QTest::addColumn<QString>("reason");
  for (const EncoderFailure& f : kEncoderFailures) {
    QTest::newRow(f.name) << QByteArray(f.mode) << f.stale << QString::fromUtf8(f.reason);
  }
}

void TestWalk::encoderFailures() {
  QFETCH(QByteArray, mode);
  QFETCH(bool, stale);
  QFETCH(QString, reason);
  WriteFile(src_, "a.inc");
  WriteFile(src_, "b.txt");
  if (stale) WriteFile(dst_, "a.inc", "from an earlier run");
  qputenv("QW_FAKE_MODE", mode);
  const RunOutcome out = Run();
  QCOMPARE(out.failed, 1);
  QCOMPARE(out.files, 2);
  QCOMPARE(host_.entries[1], P(src_ / "a.inc") + " - " + reason);
  // Nothing ships in place of the failed page: no half file, no earlier one.
  QVERIFY(!fs::exists(dst_ / "a.inc"));
  QCOMPARE(host_.entries[2], P(src_ / "b.txt"));
  QCOMPARE(host_.entries.last(), QStringLiteral("Done: 2 files, 1 failed"));
}

// The trees of the tests above, source and destination.
void TestWalk::MakeTrees(const QString& scenario, bool stale) {
  fs::remove_all(src_);
  fs::remove_all(dst_);
  fs::create_directories(src_);
  fs::create_directories(dst_);
  if (scenario == QLatin1String("encoder failure")) {
    WriteFile(src_, "a.inc");
    WriteFile(src_, "b.txt");
    if (stale) WriteFile(dst_, "a.inc", "from an earlier run");
  } else if (scenario == QLatin1String("order and folders")) {
    for (const char* f : {"b.txt", "a.txt", "A.txt", "Z/z.txt", "c/x.txt", "c/d/y.txt", "B/e.txt"}) WriteFile(src_, f);
  } else if (scenario == QLatin1String("every kind")) {
    for (const char* f : {"a.asp", "b.htm", "c.js", "d.vbs", "e.inc", "f.gif", "g/h.asp", "g/empty.js"}) WriteFile(src_, f);
    WriteFile(src_, "g/empty.js", "");
  } else if (scenario == QLatin1String("links and special files")) {
    WriteFile(src_, "real.txt", "target");
    fs::create_symlink("real.txt", src_ / "link.txt");
    fs::create_symlink("..", src_ / "loop");
    fs::create_symlink("nowhere", src_ / "broken");
    ::mkfifo((src_ / "pipe").c_str(), 0600);
  } else if (scenario == QLatin1String("folder and copy that cannot be made")) {
    for (const char* f : {"a/x.txt", "b/y.txt", "c.gif", "d.inc"}) WriteFile(src_, f);
    WriteFile(dst_, "a", "a file where the folder belongs");
    fs::create_directories(dst_ / "c.gif");
  }
}

void TestWalk::workersGiveTheSameRun_data() {
  QTest::addColumn<QString>("scenario");
  QTest::addColumn<QByteArray>("mode");
  QTest::addColumn<bool>("stale");
  for (const EncoderFailure& f : kEncoderFailures) {
    QTest::newRow(qPrintable(QStringLiteral("encoder failure: ") + QLatin1String(f.name)))
        << "encoder failure" << QByteArray(f.mode) << f.stale;
  }
  for (const char* scenario : {"order and folders", "every kind", "links and special files",
                               "folder and copy that cannot be made"}) {
    QTest::newRow(scenario) << scenario << QByteArray() << false;
  }
}

// The same tree, log and report with one worker (on the walk's thread) and with four.
void TestWalk::workersGiveTheSameRun() {
  QFETCH(QString, scenario);
  QFETCH(QByteArray, mode);
  QFETCH(bool, stale);
  if (!mode.isEmpty()) qputenv("QW_FAKE_MODE", mode);
  const fs::path reportFile = TempPath(*tmpDir_, "report.json");
  struct Seen {
    QStringList log;
    std::map<std::string, QByteArray> tree;
    QJsonObject report;
  };
  const auto runWith = [&](const char* jobs) {
    MakeTrees(scenario, stale);
    host_.ClearLog();
    Run({QStringLiteral("Jobs=%1").arg(QLatin1String(jobs)), "ThisRun/Report=" + Q(reportFile.string()), "chkASP=1",
         "chkHTML=1", "chkJS=1", "Check2=1"});
    return Seen{host_.entries, TreeOf(dst_), Comparable(QJsonDocument::fromJson(ReadBytes(reportFile)).object())};
  };
  const Seen one = runWith("1");
  const Seen four = runWith("4");
  QVERIFY(one.log.size() > 2);
  QCOMPARE(four.log, one.log);
  QVERIFY(four.tree == one.tree);
  QVERIFY(!one.report.isEmpty());
  QCOMPARE(four.report, one.report);
}

void TestWalk::secondRunIntoSameDestination() {
  WriteFile(src_, "sub/a.inc");
  WriteFile(src_, "sub/b.txt");
  QCOMPARE(Run().failed, 0);
  QCOMPARE(Run().failed, 0);  // existing folders are fine; the encoder writes anew
  QCOMPARE(fake_->calls().size(), 2);
}

void TestWalk::folderThatCannotBeCreated() {
  WriteFile(src_, "a/x.txt");
  WriteFile(src_, "b/y.txt");
  WriteFile(dst_, "a", "a file where the folder belongs");
  const RunOutcome out = Run();
  QCOMPARE(out.failed, 1);
  QVERIFY2(host_.entries.contains(QStringLiteral("Processing ... %1 - not a directory (mkdir %2)").arg(P(src_ / "a"), P(dst_ / "a"))),
           qPrintable(host_.entries.join('\n')));
  QVERIFY(fs::exists(dst_ / "b/y.txt"));
  QCOMPARE(ReadBytes(dst_ / "a"), QByteArray("a file where the folder belongs"));
}

void TestWalk::copyThatCannotBeWritten() {
  WriteFile(src_, "a.gif");
  fs::create_directories(dst_ / "a.gif");
  const RunOutcome out = Run();
  QCOMPARE(out.failed, 1);
  QVERIFY2(host_.entries[1].startsWith(P(src_ / "a.gif") + " - is a directory (rename "), qPrintable(host_.entries[1]));
  QCOMPARE(std::distance(fs::directory_iterator(dst_), fs::directory_iterator()), 1);  // no temporary left
}

void TestWalk::linksAndSpecialFiles() {
  WriteFile(src_, "real.txt", "target");
  fs::create_symlink("real.txt", src_ / "link.txt");
  fs::create_symlink("..", src_ / "loop");
  fs::create_symlink("nowhere", src_ / "broken");
  QCOMPARE(::mkfifo((src_ / "pipe").c_str(), 0600), 0);
  const RunOutcome out = Run();
  QCOMPARE(ReadBytes(dst_ / "link.txt"), QByteArray("target"));
  QVERIFY(!fs::is_symlink(dst_ / "link.txt"));
  QVERIFY(!fs::exists(dst_ / "loop"));
  QVERIFY(!fs::exists(dst_ / "pipe"));
  QCOMPARE(out.failed, 3);
  QVERIFY(host_.entries.contains(P(src_ / "pipe") + " - not a regular file"));
  QVERIFY(host_.entries.contains(P(src_ / "loop") + " - link to a folder, not followed"));
  QVERIFY(host_.entries.contains(P(src_ / "broken") + " - no such file or directory (stat " + P(src_ / "broken") + ")"));
}

void TestWalk::stopAfterCurrentFile() {
  for (const char* f : {"a.inc", "b.txt", "sub/c.txt"}) WriteFile(src_, f);
  host_.onEvents = [](RecordingHost& h) { h.state.StopRequested = true; };
  const RunOutcome out = Run();
  QCOMPARE(out.status, RunOutcome::Status::Stopped);
  QCOMPARE(host_.entries, QStringList({"Processing ... " + P(src_), P(src_ / "a.inc"), "Stopped: 1 files, 0 failed"}));
  QVERIFY(fs::exists(dst_ / "a.inc"));  // the current file was finished
  QVERIFY(!fs::exists(dst_ / "b.txt"));
  QVERIFY(!fs::exists(dst_ / "sub"));
  QVERIFY(!host_.state.StopRequested);  // never carried into the next run
  host_.onEvents = nullptr;
  QCOMPARE(Run().status, RunOutcome::Status::Completed);
}

// A stop while a large page is checked (Verify) ends the check at once: the page is
// logged as stopped and not left behind, and the run ends within the stop's grace time.
void TestWalk::stopDuringVerification() {
  std::string page;
  while (page.size() < (16u << 20))
    page += "<p>text</p><% x = x + 1 %>\r\n<script runat=server language=JScript>f(1);</script>\r\n";
  WriteFile(src_, "big.asp", QByteArray::fromStdString(page));
  WriteFile(src_, "next.asp", "<% y %>");
  host_.appDir = qEnvironmentVariable("QW_TEST_BIN_DIR") + QLatin1Char('/');  // our screnc
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> stopped;
  host_.onEvents = [&](RecordingHost& h) {
    // The page is at its destination once the encoder is done with it: the check runs now.
    if (!stopped && fs::exists(dst_ / "big.asp")) {
      stopped = Clock::now();
      h.state.StopRequested = true;
    }
  };
  const RunOutcome out = Run({"chkASP=1", "chkVerify=1"});
  const auto ended = Clock::now();
  QVERIFY(stopped);
  QCOMPARE(out.status, RunOutcome::Status::Stopped);
  QCOMPARE(host_.entries, QStringList({"Processing ... " + P(src_), P(src_ / "big.asp") + " - stopped: verification ended",
                                       "Stopped: 1 files, 1 failed"}));
  QVERIFY(!fs::exists(dst_ / "big.asp"));
  QVERIFY(!fs::exists(dst_ / "next.asp"));
  QVERIFY2(ended - *stopped < std::chrono::milliseconds(StopTimes{}.graceMs),
           qPrintable(QStringLiteral("%1 ms").arg(std::chrono::duration<double, std::milli>(ended - *stopped).count())));
}

void TestWalk::refusals_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QString>("destination");
  QTest::addColumn<QString>("message");
  const QString same = Q(kSamePathsMessage), destInside = Q(kDestInsideSourceMessage);
  QTest::newRow("same text") << "site" << "site" << same;
  QTest::newRow("same through a link") << "site" << "link" << same;
  QTest::newRow("same with a trailing separator") << "site" << "site/" << same;
  QTest::newRow("destination inside") << "site" << "site/out" << destInside;
  QTest::newRow("destination inside through a link") << "site" << "link/new" << destInside;
  QTest::newRow("source inside") << "site" << "." << Q(kSourceInsideDestMessage);
  QTest::newRow("missing source") << "nothing" << "out" << "Source Path does not exist: ";
  QTest::newRow("same after . and ..") << "site" << "site/../site/." << same;
}

void TestWalk::refusals() {
  QFETCH(QString, source);
  QFETCH(QString, destination);
  QFETCH(QString, message);
  WriteFile(src_, "a.txt");
  fs::create_directory_symlink(src_, TempPath(*tmpDir_, "link"));
  host_.source = TempPath(*tmpDir_) / ToNativePath(S(source));
  host_.destination = TempPath(*tmpDir_) / ToNativePath(S(destination));
  host_.text = QStringLiteral("earlier log");
  QCOMPARE(Run().status, RunOutcome::Status::Refused);
  QCOMPARE(host_.messages.size(), 1);
  QVERIFY2(host_.messages[0].startsWith("Source Encode|" + message), qPrintable(host_.messages[0]));
  QVERIFY(host_.messages[0].endsWith(QStringLiteral("|%1").arg(int(MessageIcon::Warning))));
  QCOMPARE(host_.text, QStringLiteral("earlier log"));
  QVERIFY(!fs::exists(src_ / "out"));
  QVERIFY(!host_.state.Busy);
}

void TestWalk::startWhileBusyDoesNothing() {
  WriteFile(src_, "a.txt");
  host_.state.Busy = true;
  QCOMPARE(Run().status, RunOutcome::Status::Ignored);
  QVERIFY(host_.entries.isEmpty());
  QVERIFY(host_.state.Busy);
  QVERIFY(!fs::exists(dst_ / "a.txt"));
}

void TestWalk::pathsAreTakenOnce() {
  for (const char* f : {"a.txt", "b/c.txt", "b/d.txt"}) WriteFile(src_, f);
  const fs::path elsewhere = TempPath(*tmpDir_, "elsewhere");
  host_.onEvents = [&](RecordingHost& h) { h.destination = elsewhere; };
  Run();
  QCOMPARE(host_.pathReads, 2);
  QVERIFY(fs::exists(dst_ / "b/d.txt"));
  QVERIFY(!fs::exists(elsewhere));
}

void TestWalk::scrollCountIsCapped() {
  for (const char* f : {"a", "b", "c", "d"}) WriteFile(src_, f);
  host_.onEvents = [](RecordingHost& h) {
    if (h.state.FilesDone == 2) h.state.FilesDone = 32766;
    if (h.state.FilesDone == 32769) h.state.FilesDone = std::numeric_limits<std::int32_t>::max();
  };
  Run();
  QCOMPARE(host_.scrolls, QList<qint16>({1, 32766, 32767, 32767}));
  QCOMPARE(host_.state.FilesDone, std::numeric_limits<std::int32_t>::max());
}

QTEST_GUILESS_MAIN(TestWalk)
#include "test_walk.moc"
