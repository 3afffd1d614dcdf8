// quillward-batch re-deploying after what a deploy meets: a run killed with SIGKILL at
// several moments (its encoders with it, as an out-of-memory kill or a crash takes them),
// two runs started at once, a run that finds another holding the destination, and a
// state folder that is read-only or full. End to end, with our real encoder.
#include "batch_app.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

QString Str(const fs::path& p) { return QString::fromStdString(p.string()); }

QByteArray Read(const fs::path& path) {
  QFile f(Str(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const std::string kPage = "<%@ LANGUAGE=VBScript %>\n<% Response.Write \"x\" %>\n";

// The processes whose program is `exe`, killed (a crash takes the encoders too).
int KillAll(const fs::path& exe) {
  int killed = 0;
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::error_code ec;
    if (fs::read_symlink(e.path() / "exe", ec) == exe && ::kill(std::stoi(e.path().filename()), SIGKILL) == 0) ++killed;
  }
  return killed;
}

bool Runs(const fs::path& exe) {
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::error_code ec;
    if (fs::read_symlink(e.path() / "exe", ec) == exe) return true;
  }
  return false;
}

// Temporary files, of ours or of the encoder, anywhere below `root`.
QStringList Temporaries(const fs::path& root) {
  QStringList found;
  if (!fs::exists(root)) return found;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with(".qw-") || name.find(".screnc-") != std::string::npos) found << Str(e.path());
  }
  return found;
}

// Why docs/report.schema.json refuses the report at `path`; empty when it accepts it.
QByteArray SchemaRefuses(const fs::path& path) {
  QProcess check;
  const QString source = qEnvironmentVariable("QW_SOURCE_DIR");
  check.start(QStringLiteral("python3"),
              {source + "/tests/batch/check_report.py", source + "/docs/report.schema.json", Str(path)});
  if (!check.waitForFinished(60000)) return "the check did not end";
  return check.exitCode() == 0 ? QByteArray() : "refused: " + check.readAllStandardError();
}

}  // namespace

class TestBatchJournal : public QObject {
  Q_OBJECT
private slots:
  void init();
  void killedRunsFilesRemovedLater_data();
  void killedRunsFilesRemovedLater();
  void twoRunsAtOnce();
  void destinationHeldByAnother();
  void stateFolderProblems_data();
  void stateFolderProblems();

private:
  void Start(QProcess& p, const QStringList& args, const QStringList& prefix = {});
  int Run(const QStringList& args, QStringList* lines = nullptr, QByteArray* err = nullptr,
          const QStringList& prefix = {});
  fs::path ManifestFolder() const { return state_ / "Quillward/manifests"; }
  std::unique_ptr<QTemporaryDir> tmp_;
  fs::path root_, state_;
};

void TestBatchJournal::init() {
  tmp_ = std::make_unique<QTemporaryDir>();
  root_ = tmp_->path().toStdString();
  state_ = root_ / "state";
  QVERIFY(InstallBatchApp(tmp_->path()));
  Write(root_ / "site/index.asp", kPage);
  for (int i = 0; i < 40; ++i) {
    Write(root_ / ("site/sub/p" + std::to_string(i) + ".asp"), kPage + "<% ' " + std::to_string(i) + " %>\n");
    Write(root_ / ("site/sub/t" + std::to_string(i) + ".txt"), "text " + std::to_string(i));
  }
}

void TestBatchJournal::Start(QProcess& p, const QStringList& args, const QStringList& prefix) {
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), Str(root_ / "config"));
  e.insert(QStringLiteral("XDG_STATE_HOME"), Str(state_));
  e.insert(QStringLiteral("HOME"), Str(root_ / "home"));
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_->path());
  const QStringList command = QStringList{Str(root_ / "app/quillward-batch"), "--set", "chkASP=1"} + args;
  p.start(prefix.isEmpty() ? command.first() : prefix.first(), prefix.mid(1) + (prefix.isEmpty() ? command.mid(1) : command));
  QVERIFY(p.waitForStarted());
}

int TestBatchJournal::Run(const QStringList& args, QStringList* lines, QByteArray* err, const QStringList& prefix) {
  QProcess p;
  Start(p, args, prefix);
  if (!p.waitForFinished(120000)) return -1;
  if (lines) *lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  if (err) *err = p.readAllStandardError();
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void TestBatchJournal::killedRunsFilesRemovedLater_data() {
  QTest::addColumn<QString>("jobs");
  QTest::addColumn<int>("linesBeforeKill");  // of the killed run's log
  QTest::addColumn<bool>("saveCutShort");    // its manifest as before it, a save's temporary half written
  QTest::newRow("one worker, at once") << "1" << 1 << false;
  QTest::newRow("one worker, after some files") << "1" << 12 << false;
  QTest::newRow("four workers, after some files") << "4" << 20 << false;
  QTest::newRow("four workers, late") << "4" << 70 << false;
  QTest::newRow("during a save") << "4" << 30 << true;
}

// Deployed, then every page edited and new ones added; the run that deploys them is killed.
// Then the folder goes from the source: --delete removes every file the killed run wrote,
// and its half-written temporary, and the folder; none is "not from the source".
void TestBatchJournal::killedRunsFilesRemovedLater() {
  QFETCH(QString, jobs);
  QFETCH(int, linesBeforeKill);
  QFETCH(bool, saveCutShort);
  const QStringList common = {"--delete", "--max-delete", "1000", "--jobs", jobs};
  QCOMPARE(Run(common + QStringList{"site", "out"}), 0);
  const QByteArray before = [&] {
    for (const auto& e : fs::directory_iterator(ManifestFolder())) {
      if (e.path().extension() == ".manifest") return Read(e.path());
    }
    return QByteArray();
  }();
  QVERIFY(!before.isEmpty());
  for (int i = 0; i < 40; ++i) {
    const fs::path page = root_ / ("site/sub/p" + std::to_string(i) + ".asp");
    Write(page, kPage + "<% ' edited %>\n");
    fs::last_write_time(page, fs::last_write_time(page) + std::chrono::seconds(5));
    Write(root_ / ("site/sub/new" + std::to_string(i) + ".asp"), kPage);
  }
  const fs::path report = root_ / "report.json";
  Write(report, "{\"status\": \"completed\", \"an older run's\": true}");

  QProcess killed;
  Start(killed, common + QStringList{"--report", Str(report), "site", "out"});
  QByteArray log;
  while (log.count('\n') < linesBeforeKill && killed.state() == QProcess::Running) {
    killed.waitForReadyRead(10000);
    log += killed.readAllStandardOutput();
  }
  QVERIFY2(killed.state() == QProcess::Running, "the run ended before it could be killed");
  const qint64 pid = killed.processId();
  ::kill(static_cast<pid_t>(pid), SIGKILL);
  QVERIFY(killed.waitForFinished(10000));
  KillAll(root_ / "app/screnc");
  QTRY_VERIFY_WITH_TIMEOUT(!Runs(root_ / "app/screnc"), 10000);
  // The older run's report is not left as if it were the killed run's; what is there
  // passes the schema.
  QCOMPARE(QJsonDocument::fromJson(Read(report)).object()["status"].toString(), QStringLiteral("running"));
  QVERIFY2(SchemaRefuses(report).isEmpty(), SchemaRefuses(report).constData());

  // A temporary the killed run was writing when it died, where it had begun a file.
  QByteArray journal;
  for (const auto& e : fs::directory_iterator(ManifestFolder())) {
    if (e.path().extension() == ".journal") journal = Read(e.path());
  }
  if (journal.contains("\nF\tsub/")) Write(root_ / ("out/sub/.qw-" + std::to_string(pid) + "-7.tmp"), "half a pa");
  if (saveCutShort) {
    for (const auto& e : fs::directory_iterator(ManifestFolder())) {
      if (e.path().extension() == ".manifest") Write(e.path(), before.toStdString());
    }
    Write(ManifestFolder() / (".qw-" + std::to_string(pid) + "-3.tmp"), "quillward-manifest 1\ndestin");
  }

  fs::remove_all(root_ / "site/sub");
  QStringList lines;
  const int exitCode = Run(common + QStringList{"site", "out"}, &lines);
  const QString shown = lines.filter(QRegularExpression(QStringLiteral("^(?!.* - deleted$)"))).join(QLatin1Char('\n'));
  QVERIFY2(exitCode == 0, qPrintable(shown));
  QVERIFY2(lines.filter(QStringLiteral("not from the source")).isEmpty(), qPrintable(shown));
  QVERIFY2(!fs::exists(root_ / "out/sub"), qPrintable(shown + "\n" + Temporaries(root_ / "out").join(' ')));
  QCOMPARE(Temporaries(root_ / "out"), QStringList());
  QCOMPARE(Temporaries(ManifestFolder()), QStringList());
  QVERIFY(fs::exists(root_ / "out/index.asp"));
  // Every removal of a temporary is in the log.
  for (const QString& line : lines.filter(QStringLiteral("/.qw-"))) {
    QVERIFY2(line.endsWith(QStringLiteral(" - removed, a temporary file left by an interrupted run")), qPrintable(line));
  }
  QCOMPARE(Run(QStringList{"--changed", "--jobs", jobs, "site", "out"}, &lines), 0);
  QCOMPARE(lines.last(), QStringLiteral("Done: 0 files, 0 failed, 1 unchanged"));
}

// Started together into one destination: one waits for the other (their logs come one
// after the other, not interleaved), and what they leave is one true manifest (a third run
// finds everything unchanged).
// Started together, the two runs take turns: one deploys, the other waits for the lock
// and then finds the first one's manifest, so everything is unchanged for it. (Run side by
// side, neither would see the other's files in the manifest.)
void TestBatchJournal::twoRunsAtOnce() {
  QProcess runs[2];
  for (QProcess& p : runs) Start(p, {"--changed", "--delete", "site", "out"});
  QStringList last;
  for (QProcess& p : runs) {
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 0);
    last << QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).last();
  }
  last.sort();
  QCOMPARE(last, QStringList({"Done: 0 files, 0 failed, 81 unchanged", "Done: 81 files, 0 failed"}));
  QStringList lines;
  QCOMPARE(Run({"--changed", "--delete", "site", "out"}, &lines), 0);
  QCOMPARE(lines.last(), QStringLiteral("Done: 0 files, 0 failed, 81 unchanged"));
}

// Another process holds the lock (here this test): the run waits its few seconds, then
// is refused with the holder's id, and writes nothing.
void TestBatchJournal::destinationHeldByAnother() {
  QCOMPARE(Run({"--changed", "site", "out"}), 0);
  fs::path lockFile;
  for (const auto& e : fs::directory_iterator(ManifestFolder())) {
    if (e.path().extension() == ".lock") lockFile = e.path();
  }
  const int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
  QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
  const std::string pid = std::to_string(::getpid());
  QVERIFY(::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size()));
  fs::remove(root_ / "out/index.asp");
  QByteArray err;
  const int status = Run({"site", "out"}, nullptr, &err);
  ::close(fd);
  QCOMPARE(status, 2);
  QCOMPARE(err, QByteArray("Source Encode: another run is deploying into out (pid " + QByteArray::fromStdString(pid) + ")\n"));
  QVERIFY(!fs::exists(root_ / "out/index.asp"));
}

void TestBatchJournal::stateFolderProblems_data() {
  QTest::addColumn<QString>("state");    // "read-only" (as an unprivileged user), "full" (a small tmpfs)
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<QStringList>("problems");  // the report's manifest_warnings, by problem
  QTest::newRow("read-only, --changed") << "read-only" << QStringList{"--changed"} << 1
                                        << QStringList{"not taken", "not written", "not saved"};
  QTest::newRow("read-only, a plain run") << "read-only" << QStringList() << 0 << QStringList{"not taken"};
  QTest::newRow("full, --delete") << "full" << QStringList{"--delete"} << 1 << QStringList{"not written", "not saved"};
}

// Never silent: each problem a warning line naming the file and the system's reason, and
// a manifest_warnings entry; a manifest that could not be saved makes the exit status 1.
void TestBatchJournal::stateFolderProblems() {
  QFETCH(QString, state);
  QFETCH(QStringList, args);
  QFETCH(int, exitCode);
  QFETCH(QStringList, problems);
  if (::geteuid() != 0) QSKIP("needs root: to mount, and to become another user");
  fs::create_directories(ManifestFolder());
  QStringList prefix;
  QString reason;
  struct Unmount {
    fs::path at;
    ~Unmount() { if (!at.empty()) ::umount2(at.c_str(), MNT_DETACH); }
  } unmount;
  if (state == "full") {
    if (::mount("tmpfs", state_.c_str(), "tmpfs", 0, "size=64k") != 0) QSKIP("tmpfs cannot be mounted here");
    unmount.at = state_;
    fs::create_directories(ManifestFolder());
    std::ofstream(state_ / "filler", std::ios::binary) << std::string(60 * 1024, '\0');
    reason = QStringLiteral("no space left on device");
  } else {
    // Root ignores permission bits: the run is made by nobody, who may not write there.
    prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (const auto& e : fs::recursive_directory_iterator(root_)) ::lchown(e.path().c_str(), 65534, 65534);
    fs::permissions(root_, fs::perms::all);
    fs::permissions(ManifestFolder(), fs::perms::owner_read | fs::perms::owner_exec);
    reason = QStringLiteral("permission denied");
  }
  const fs::path report = root_ / "report.json";
  QStringList lines;
  QByteArray err;
  QCOMPARE(Run(args + QStringList{"--report", Str(report), "site", "out"}, &lines, &err, prefix), exitCode);
  QVERIFY2(fs::exists(root_ / "out/sub/p39.asp"), err.constData());  // deployed all the same
  const QStringList warnings = lines.filter(QRegularExpression(QStringLiteral("^Warning: ")));
  QCOMPARE(warnings.size(), problems.size());
  QVERIFY2(SchemaRefuses(report).isEmpty(), SchemaRefuses(report).constData());
  const QJsonArray listed = QJsonDocument::fromJson(Read(report)).object()["manifest_warnings"].toArray();
  QCOMPARE(listed.size(), problems.size());
  for (int i = 0; i < problems.size(); ++i) {
    const QJsonObject w = listed[i].toObject();
    QCOMPARE(w["problem"].toString(), problems[i]);
    QVERIFY2(w["reason"].toString().startsWith(reason), qPrintable(w["reason"].toString()));
    QVERIFY(w["path"].toString().startsWith(Str(ManifestFolder()) + "/"));
    QCOMPARE(warnings[i], "Warning: " + w["path"].toString() + " - " + problems[i] + ": " + w["reason"].toString() +
                              "; " + w["effect"].toString());
  }
}

QTEST_GUILESS_MAIN(TestBatchJournal)
#include "test_batch_journal.moc"
