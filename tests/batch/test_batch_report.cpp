// quillward-batch --report and --dry-run, end to end with our real encoder: the report of
// a run with every action, a name that is not UTF-8, failed files, a stopped and a refused
// run, each checked against docs/report.schema.json; a dry run that writes nothing.
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
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
extern char** environ;

namespace {
void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}
QByteArray Read(const fs::path& path) {
  QFile f(QString::fromStdString(path.string()));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QString Str(const fs::path& path) { return QString::fromStdString(path.string()); }
const std::string kPage = "<%@ LANGUAGE=VBScript %>\n<% Response.Write \"x\" %>\n";
}  // namespace

class TestBatchReport : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void everyAction();
  void ends_data();
  void ends();
  void stoppedRun();
  void dryRunWritesNothing_data();
  void dryRunWritesNothing();

private:
  int Run(const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr);
  // The report at `path` checked against the schema, and parsed.
  QJsonObject Checked(const fs::path& path);
  QTemporaryDir tmp_;
  fs::path root_;
};

void TestBatchReport::initTestCase() {
  root_ = tmp_.path().toStdString();
  const QString bin = qEnvironmentVariable("QW_TEST_BIN_DIR");
  fs::create_directories(root_ / "app");
  for (const char* p : {"quillward-batch", "screnc"}) {
    QVERIFY(QFile::copy(bin + QLatin1Char('/') + QLatin1String(p), Str(root_ / "app" / p)));
  }
  // Every action the run knows but those of --changed and --delete.
  Write(root_ / "site/default.asp", kPage);
  Write(root_ / "site/lib/util.vbs", "x = 1\n");
  Write(root_ / "site/readme.txt", "plain");
  Write(root_ / "site/empty.asp", "");
  Write(root_ / "site/caf\xe9.txt", "bytes");        // a name that is not UTF-8
  Write(root_ / "site/tab\there.txt", "t");          // a control character in a name
  Write(root_ / "site/.quillwardignore", "*.bak\nlogs/\n");
  Write(root_ / "site/old.bak", "b");
  Write(root_ / "site/logs/today.log", "l");
  Write(root_ / "site/broken.asp", kPage);
  QCOMPARE(::mkfifo((root_ / "site/pipe").c_str(), 0644), 0);  // never opened: fails
  Write(root_ / "clean/index.asp", kPage);
}

int TestBatchReport::Run(const QStringList& args, QByteArray* out, QByteArray* err) {
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), Str(root_ / "config"));
  e.insert(QStringLiteral("HOME"), Str(root_ / "home"));
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_.path());
  p.start(Str(root_ / "app/quillward-batch"), QStringList{"--set", "chkASP=1", "--set", "Check2=1"} + args);
  if (!p.waitForFinished(120000)) return -1;
  if (out) *out = p.readAllStandardOutput();
  if (err) *err = p.readAllStandardError();
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QJsonObject TestBatchReport::Checked(const fs::path& path) {
  QProcess check;
  const QString source = qEnvironmentVariable("QW_SOURCE_DIR");
  check.start(QStringLiteral("python3"), {source + "/tests/batch/check_report.py", source + "/docs/report.schema.json",
                                         Str(path)});
  if (!check.waitForFinished(60000) || check.exitCode() != 0) {
    qWarning("%s", check.readAllStandardError().constData());
    return {};
  }
  return QJsonDocument::fromJson(Read(path)).object();
}

void TestBatchReport::everyAction() {
  // The destination holds a folder where broken.asp goes: the encoder cannot write it.
  Write(root_ / "out/broken.asp/keep", "k");
  const fs::path report = root_ / "every.json";
  QCOMPARE(Run({"--jobs", "3", "--report", Str(report), "site", "out"}), 1);
  const QJsonObject doc = Checked(report);
  QVERIFY2(!doc.isEmpty(), "the report does not pass its schema");
  QCOMPARE(doc["status"].toString(), QStringLiteral("completed"));
  QCOMPARE(doc["encoder"]["serve_version"].toString(), QStringLiteral("screnc-serve 1"));
  QCOMPARE(doc["options"]["jobs"].toInt(), 3);

  QMap<QString, QJsonObject> byPath;
  for (const QJsonValue& v : doc["entries"].toArray()) byPath.insert(v["path"].toString(), v.toObject());
  const QList<std::tuple<QString, QString, QString>> expected = {
      // path, action, switches
      {"", "folder", ""},
      {"broken.asp", "failed", "/s /l VBScript"},
      {QString::fromUtf8("caf\xEF\xBF\xBD.txt"), "copied", ""},
      {"default.asp", "encoded", "/s /l VBScript"},
      {"empty.asp", "copied", ""},
      {"lib", "folder", ""},
      {"lib/util.vbs", "encoded", "/s"},
      {"logs", "excluded", ""},
      {"old.bak", "excluded", ""},
      {"pipe", "failed", ""},
      {"readme.txt", "copied", ""},
      {"tab\there.txt", "copied", ""},
  };
  QCOMPARE(byPath.size(), expected.size());
  for (const auto& [path, action, switches] : expected) {
    const QJsonObject e = byPath.value(path);
    QVERIFY2(!e.isEmpty(), qPrintable(path));
    QCOMPARE(e["action"].toString(), action);
    QCOMPARE(e["switches"].toString(), switches);
    QCOMPARE(e["reason"].isString(), action == "failed");
    if ((action == "encoded" || action == "copied") && !e.contains("destination_bytes")) {
      const fs::path written = root_ / e["destination"].toString().toStdString();
      QCOMPARE(e["bytes_out"].toInteger(), static_cast<qint64>(fs::file_size(written)));
    }
  }
  // The name that is not text, given back whole beside its readable form.
  const QJsonObject cafe = byPath.value(QString::fromUtf8("caf\xEF\xBF\xBD.txt"));
  QCOMPARE(QByteArray::fromBase64(cafe["source_bytes"].toString().toLatin1()), QByteArray("site/caf\xe9.txt"));
  QCOMPARE(QByteArray::fromBase64(cafe["destination_bytes"].toString().toLatin1()), QByteArray("out/caf\xe9.txt"));
  QVERIFY(!byPath.value("readme.txt").contains("source_bytes"));
  const QJsonObject totals = doc["totals"].toObject();
  QCOMPARE(totals["encoded"].toInt(), 2);
  QCOMPARE(totals["copied"].toInt(), 4);
  QCOMPARE(totals["excluded"].toInt(), 2);
  QCOMPARE(totals["failed"].toInt(), 2);
  QCOMPARE(totals["entries"].toInt(), expected.size());
  QVERIFY(doc["started"].toString() <= doc["ended"].toString());
  // Written atomically: nothing but the report itself is left beside it.
  int left = 0;
  for (const auto& f : fs::directory_iterator(root_)) left += f.path().filename().string().starts_with(".qw-");
  QCOMPARE(left, 0);
}

void TestBatchReport::ends_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("report");   // where the report goes, below the temporary folder
  QTest::addColumn<int>("exitStatus");
  QTest::addColumn<QString>("status");   // empty: no report may be there
  QTest::addColumn<QString>("stderrHas");
  QTest::newRow("clean run") << QStringList{"clean", "ends-out1"} << "ends1.json" << 0 << "completed" << "";
  QTest::newRow("missing source") << QStringList{"nowhere", "ends-out2"} << "ends2.json" << 2 << "refused"
                                  << "Source Path does not exist";
  QTest::newRow("nested folders") << QStringList{"clean", "clean/sub"} << "ends3.json" << 2 << "refused"
                                  << "Destination Path can not be inside the Source Path!";
  QTest::newRow("report inside the source") << QStringList{"clean", "ends-out4"} << "clean/r.json" << 2 << ""
                                            << "Report file can not be inside the Source Path";
  QTest::newRow("report's folder missing") << QStringList{"clean", "ends-out5"} << "no/such/r.json" << 1 << ""
                                           << "report not written: no such file or directory (open ";
  QTest::newRow("report's place is a folder") << QStringList{"clean", "ends-out6"} << "clean-dir" << 1 << ""
                                              << "report not written: ";
}

void TestBatchReport::ends() {
  QFETCH(QStringList, args);
  QFETCH(QString, report);
  QFETCH(int, exitStatus);
  QFETCH(QString, status);
  QFETCH(QString, stderrHas);
  fs::create_directories(root_ / "clean-dir/x");
  QByteArray err;
  QCOMPARE(Run(QStringList{"--report", report} + args, nullptr, &err), exitStatus);
  QVERIFY2(QString::fromUtf8(err).contains(stderrHas), err.constData());
  const fs::path file = root_ / report.toStdString();
  if (status.isEmpty()) {
    QVERIFY(!fs::is_regular_file(file));
    return;
  }
  const QJsonObject doc = Checked(file);
  QVERIFY2(!doc.isEmpty(), "the report does not pass its schema");
  QCOMPARE(doc["status"].toString(), status);
  QCOMPARE(doc["message"].isString(), status == "refused");
  if (status == "refused") {
    QVERIFY(err.contains(doc["message"].toString().toUtf8()));
    QCOMPARE(doc["entries"].toArray().size(), 0);
  }
}

// Stopped midway with real work: stdout is a pipe of one page that nobody reads until
// the stop signal has been sent, so the run cannot have ended before it arrives.
void TestBatchReport::stoppedRun() {
  for (int i = 0; i < 200; ++i) {
    Write(root_ / "many" / ("page-with-a-rather-long-name-to-fill-the-log-" + std::to_string(i) + ".txt"), "p");
  }
  int pipeFds[2];
  QCOMPARE(::pipe(pipeFds), 0);
  QVERIFY(::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096) >= 4096);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::string program = (root_ / "app/quillward-batch").string();
  const std::string report = (root_ / "stopped.json").string(), source = (root_ / "many").string(),
                    dest = (root_ / "many-out").string();
  std::vector<std::string> argStrings = {program, "--jobs", "1", "--report", report, source, dest};
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((root_ / "config").string()));
  pid_t pid = 0;
  QCOMPARE(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  pollfd readable{pipeFds[0], POLLIN, 0};
  QCOMPARE(::poll(&readable, 1, 60000), 1);  // the walk has begun: the signal is handled
  QCOMPARE(::kill(pid, SIGTERM), 0);
  QByteArray out;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(pipeFds[0]);
  int wstatus = 0;
  QCOMPARE(::waitpid(pid, &wstatus, 0), pid);
  QVERIFY(WIFEXITED(wstatus));
  QCOMPARE(WEXITSTATUS(wstatus), 130);
  QVERIFY(out.contains("Stopped: "));

  const QJsonObject doc = Checked(report);
  QVERIFY2(!doc.isEmpty(), "the report does not pass its schema");
  QCOMPARE(doc["status"].toString(), QStringLiteral("stopped"));
  const int copied = doc["totals"]["copied"].toInt();
  QVERIFY(copied > 0 && copied < 200);
  // The report names exactly what was written.
  QCOMPARE(static_cast<int>(std::distance(fs::directory_iterator(dest), fs::directory_iterator())), copied);
}

void TestBatchReport::dryRunWritesNothing_data() {
  QTest::addColumn<QStringList>("extra");
  QTest::newRow("one worker") << QStringList{"--jobs", "1"};
  QTest::newRow("four workers, verbose") << QStringList{"--jobs", "4", "--verbose"};
}

void TestBatchReport::dryRunWritesNothing() {
  QFETCH(QStringList, extra);
  // A destination that is not there, and one with an earlier run's files and a leftover
  // temporary file of a process long gone.
  const fs::path fresh = root_ / "dry-fresh", earlier = root_ / "dry-earlier";
  fs::remove_all(fresh);
  Write(earlier / "readme.txt", "old");
  Write(earlier / ".qw-999999999-1.tmp", "half");
  const QStringList expected = {
      "Processing ... site",
      "site/broken.asp - would encode (/s /l VBScript)",
      "site/caf\xEF\xBF\xBD.txt - would copy",
      "site/default.asp - would encode (/s /l VBScript)",
      "site/empty.asp - would copy",
      "site/old.bak - would exclude",
      "site/pipe - not a regular file",
      "site/readme.txt - would copy",
      "site/tab\\there.txt - would copy",
      "Processing ... site/lib",
      "site/lib/util.vbs - would encode (/s)",
      "site/logs - would exclude",
      "Dry run: 3 files would be encoded, 4 copied, 2 excluded, 1 failed",
  };
  for (const fs::path& dest : {fresh, earlier}) {
    const fs::path report = root_ / "dry.json";
    QByteArray out;
    QCOMPARE(Run(extra + QStringList{"--dry-run", "--report", Str(report), "site", Str(dest)}, &out), 1);
    QCOMPARE(QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts), expected);
    const QJsonObject doc = Checked(report);
    QVERIFY2(!doc.isEmpty(), "the report does not pass its schema");
    QVERIFY(doc["options"]["dry_run"].toBool());
    QVERIFY(doc["encoder"]["serve_version"].isNull());  // no encoder started
    QCOMPARE(doc["totals"]["encoded"].toInt(), 3);
  }
  QVERIFY(!fs::exists(fresh));
  QCOMPARE(Read(earlier / "readme.txt"), QByteArray("old"));
  QVERIFY(fs::exists(earlier / ".qw-999999999-1.tmp"));
  QCOMPARE(static_cast<int>(std::distance(fs::directory_iterator(earlier), fs::directory_iterator())), 2);
}

QTEST_GUILESS_MAIN(TestBatchReport)
#include "test_batch_report.moc"
