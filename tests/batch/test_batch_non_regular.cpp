// quillward-batch with special files and names, end to end: the report written into
// standard output, /dev/null and FIFOs (never renamed over them); ignore files that are
// FIFOs or cannot be read (the folder fails, nothing of it is deployed, the run never
// hangs); the serving probe of a foreign encoder; control characters in the log.
#include "console_host.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}
QString Str(const fs::path& path) { return QString::fromStdString(path.string()); }
QByteArray Read(const fs::path& path) {
  QFile f(Str(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The read end of a FIFO, opened before its writer starts (so the writer never waits):
// what the writer wrote, up to its close, or nothing when that does not come in time.
class FifoReader {
public:
  explicit FifoReader(const fs::path& fifo) : fd_(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
  ~FifoReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  std::optional<QByteArray> UntilClosed(int ms) {
    QByteArray got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (fd_ >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{fd_, POLLIN, 0};
      // No hang-up is reported before a writer has come: only data or its close wake this.
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, n);
      else if (n == 0) return got;
    }
    return std::nullopt;
  }

private:
  int fd_;
};

// The report at the end of `out`, after the log's lines: its first line starts with "{".
QJsonObject ReportAfterLog(const QByteArray& out, QByteArray* log = nullptr) {
  const qsizetype at = out.indexOf("\n{");
  if (log) *log = out.left(at + 1);
  return at < 0 ? QJsonObject() : QJsonDocument::fromJson(out.mid(at + 1)).object();
}

}  // namespace

class TestBatchNonRegular : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void reportIntoSpecialFiles_data();
  void reportIntoSpecialFiles();
  void specialFileInTheDestination();
  void rulesUnknown_data();
  void rulesUnknown();
  void foreignEncoderProbedApart_data();
  void foreignEncoderProbedApart();
  void consoleLine_data();
  void consoleLine();
  void namesInTheLogAndReport();

private:
  QProcessEnvironment Environment() const;
  QStringList Command(const QStringList& args, bool unprivileged) const;
  QTemporaryDir tmp_;
  fs::path root_;
};

void TestBatchNonRegular::initTestCase() {
  root_ = tmp_.path().toStdString();
  fs::permissions(root_, fs::perms::all);  // the unprivileged user's runs read and write here too
  const QString bin = qEnvironmentVariable("QW_TEST_BIN_DIR");
  fs::create_directories(root_ / "app");
  fs::create_directories(root_ / "foreign");
  for (const char* p : {"quillward-batch", "screnc"}) QVERIFY(QFile::copy(bin + '/' + p, Str(root_ / "app" / p)));
  // The stand-in encoder as the encoder beside the program.
  QVERIFY(QFile::copy(bin + "/quillward-batch", Str(root_ / "foreign/quillward-batch")));
  QVERIFY(QFile::copy(qEnvironmentVariable("QW_TEST_FAKE_SCRENC"), Str(root_ / "foreign/screnc")));
  Write(root_ / "site/default.asp", "<%@ LANGUAGE=VBScript %>\n<% Response.Write \"x\" %>\n");
  Write(root_ / "site/readme.txt", "plain");
  for (const char* d : {"config", "state", "home", "tmp", "work"}) {
    fs::create_directories(root_ / d);
    fs::permissions(root_ / d, fs::perms::all);
  }
}

QProcessEnvironment TestBatchNonRegular::Environment() const {
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert("XDG_CONFIG_HOME", Str(root_ / "config"));
  e.insert("XDG_STATE_HOME", Str(root_ / "state"));
  e.insert("HOME", Str(root_ / "home"));
  e.insert("TMPDIR", Str(root_ / "tmp"));
  return e;
}

// The program and its arguments; as uid 65534 when asked and running as root.
QStringList TestBatchNonRegular::Command(const QStringList& args, bool unprivileged) const {
  const QStringList run = QStringList{Str(root_ / "app/quillward-batch"), "--set", "chkASP=1"} + args;
  if (!unprivileged || ::geteuid() != 0) return run;
  return QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"} + run;
}

void TestBatchNonRegular::reportIntoSpecialFiles_data() {
  QTest::addColumn<QString>("target");  // what the report's path is, made in a temporary folder
  QTest::newRow("a link to /dev/stdout, stdout a pipe") << "stdout-pipe";
  QTest::newRow("a link to /proc/self/fd/1, stdout a pipe") << "fd1-pipe";
  QTest::newRow("a link to /dev/stdout, stdout a file") << "stdout-file";
  QTest::newRow("a link to /dev/null") << "null";
  QTest::newRow("a FIFO with a reader") << "fifo";
  QTest::newRow("a link to a FIFO with a reader") << "fifo-link";
}

void TestBatchNonRegular::reportIntoSpecialFiles() {
  QFETCH(QString, target);
  const fs::path dir = root_ / ("report-" + target.toStdString());
  fs::create_directories(dir);
  const fs::path report = dir / "report.json";
  const fs::path fifo = dir / "fifo";
  if (target.startsWith("stdout")) fs::create_symlink("/dev/stdout", report);
  if (target == "fd1-pipe") fs::create_symlink("/proc/self/fd/1", report);
  if (target == "null") fs::create_symlink("/dev/null", report);
  if (target.startsWith("fifo")) QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
  if (target == "fifo") fs::rename(fifo, report);
  if (target == "fifo-link") fs::create_symlink(fifo, report);
  const fs::path written = target == "fifo" ? report : fifo;
  std::optional<FifoReader> reader;
  if (target.startsWith("fifo")) reader.emplace(written);

  QProcess p;
  p.setProcessEnvironment(Environment());
  if (target == "stdout-file") p.setStandardOutputFile(Str(dir / "stdout.txt"));
  const QStringList command = Command({"--report", Str(report), "site", Str(dir / "out")}, false);
  p.setWorkingDirectory(tmp_.path());
  p.start(command.first(), command.mid(1));
  std::optional<QByteArray> fromFifo;
  if (reader) fromFifo = reader->UntilClosed(60000);
  QVERIFY(p.waitForFinished(60000));
  QCOMPARE(p.exitCode(), 0);
  const QByteArray out = target == "stdout-file" ? Read(dir / "stdout.txt") : p.readAllStandardOutput();

  // The name is still what it was: a link, or the FIFO itself; /dev/stdout too.
  QVERIFY(fs::is_symlink("/dev/stdout"));
  QCOMPARE(fs::is_symlink(report), target != "fifo");
  if (target.startsWith("fifo")) QVERIFY(fs::is_fifo(written));
  QCOMPARE(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
           std::ptrdiff_t(2 + (target == "fifo-link") + (target == "stdout-file")));  // no temporary left

  QByteArray log;
  const QJsonObject doc = target.startsWith("fifo") ? QJsonDocument::fromJson(fromFifo.value_or("")).object()
                                                    : ReportAfterLog(out, &log);
  if (target == "null") {
    QVERIFY(doc.isEmpty());
    QVERIFY(out.endsWith("Done: 2 files, 0 failed\n"));
    return;
  }
  QCOMPARE(doc["status"].toString(), QStringLiteral("completed"));
  QCOMPARE(doc["totals"]["encoded"].toInt(), 1);
  if (target.startsWith("fifo")) return;
  // Through the program's own standard output: the whole log first, then the report.
  QVERIFY2(log.endsWith("Done: 2 files, 0 failed\n"), log.constData());
  QVERIFY(out.endsWith("}\n") || out.endsWith("}"));
}

// A FIFO or a device where a file of the site goes is no place to write into: it is
// replaced by the real file, as a link there is.
void TestBatchNonRegular::specialFileInTheDestination() {
  const fs::path out = root_ / "dest-fifo";
  fs::create_directories(out);
  QCOMPARE(::mkfifo((out / "default.asp").c_str(), 0600), 0);
  QCOMPARE(::mkfifo((out / "readme.txt").c_str(), 0600), 0);
  QProcess p;
  p.setProcessEnvironment(Environment());
  p.start(Str(root_ / "app/quillward-batch"), {"--set", "chkASP=1", Str(root_ / "site"), Str(out)});
  QVERIFY(p.waitForFinished(60000));
  QCOMPARE(p.exitCode(), 0);
  QVERIFY(fs::is_regular_file(out / "default.asp"));
  QVERIFY(Read(out / "default.asp").contains("#@~^"));
  QCOMPARE(Read(out / "readme.txt"), QByteArray("plain"));
}

void TestBatchNonRegular::rulesUnknown_data() {
  QTest::addColumn<QString>("what");
  QTest::addColumn<QString>("reason");
  QTest::newRow("a FIFO") << "fifo" << "not a regular file (stat ";
  QTest::newRow("a link to a FIFO") << "fifo-link" << "not a regular file (stat ";
  QTest::newRow("unreadable, as an unprivileged user") << "unreadable" << "permission denied (open ";
}

// An ignore file whose rules cannot be known fails its folder: nothing of it is deployed
// (not even what the rules would have let through), and the run goes on, never waiting.
void TestBatchNonRegular::rulesUnknown() {
  QFETCH(QString, what);
  QFETCH(QString, reason);
  const fs::path base = root_ / ("rules-" + what.toStdString());
  const fs::path site = base / "site", out = base / "out";
  Write(site / "index.txt", "i");
  Write(site / "private/db-password.txt", "secret");
  Write(site / "private/deeper/x.txt", "x");
  const fs::path rules = site / "private/.quillwardignore";
  if (what == "fifo") QCOMPARE(::mkfifo(rules.c_str(), 0644), 0);
  if (what == "fifo-link") {
    QCOMPARE(::mkfifo((base / "pipe").c_str(), 0644), 0);
    fs::create_symlink(base / "pipe", rules);
  }
  if (what == "unreadable") {
    Write(rules, "db-password.txt\n");
    fs::permissions(rules, fs::perms::none);
  }
  for (const auto& e : fs::recursive_directory_iterator(base))
    if (e.is_directory()) fs::permissions(e.path(), fs::perms::all);
  fs::permissions(base, fs::perms::all);
  const fs::path report = base / "report.json";

  QProcess p;
  QProcessEnvironment env = Environment();
  if (what == "unreadable") {
    // A state folder of its own: the root-made one is not the unprivileged user's to lock.
    fs::create_directories(base / "state");
    fs::permissions(base / "state", fs::perms::all);
    env.insert("XDG_STATE_HOME", Str(base / "state"));
  }
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(Str(base));
  const QStringList command = Command({"--report", Str(report), "site", "out"}, what == "unreadable");
  p.start(command.first(), command.mid(1));
  const bool ended = p.waitForFinished(60000);
  if (!ended) p.kill();
  QVERIFY2(ended, "the run waits on the ignore file");
  const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  QCOMPARE(p.exitCode(), 1);
  QCOMPARE(lines.size(), 4);
  QCOMPARE(lines.value(1), QStringLiteral("site/index.txt"));
  QVERIFY2(lines.value(2).startsWith("Processing ... site/private - not entered, its ignore file cannot be read: " +
                                     reason + "site/private/.quillwardignore)"),
           qPrintable(lines.value(2)));
  QCOMPARE(lines.value(3), QStringLiteral("Done: 1 files, 0 failed, 1 folders failed"));
  QVERIFY(fs::exists(out / "index.txt"));
  QVERIFY(!fs::exists(out / "private/db-password.txt"));
  QVERIFY(!fs::exists(out / "private/deeper"));

  const QJsonObject doc = QJsonDocument::fromJson(Read(report)).object();
  QJsonObject folder;
  for (const QJsonValue& v : doc["entries"].toArray())
    if (v["path"].toString() == "private") folder = v.toObject();
  QVERIFY(folder["folder"].toBool());
  QCOMPARE(folder["action"].toString(), QStringLiteral("failed"));
  QVERIFY(folder["reason"].toString().contains("its ignore file cannot be read"));
}

void TestBatchNonRegular::foreignEncoderProbedApart_data() {
  QTest::addColumn<QString>("serve");  // what the stand-in does with `--serve`
  QTest::newRow("takes it for a file name") << "name";
  QTest::newRow("never answers") << "hang";
}

// A foreign encoder is asked whether it serves in a folder of its own, with nothing to
// read, for a short time: whatever it does with `--serve`, nothing lands in the run's
// working folder, and the folder is gone afterwards.
void TestBatchNonRegular::foreignEncoderProbedApart() {
  QFETCH(QString, serve);
  const fs::path work = root_ / ("work-" + serve.toStdString()), out = root_ / ("foreign-out-" + serve.toStdString());
  fs::create_directories(work);
  QProcess p;
  QProcessEnvironment e = Environment();
  e.insert("QW_FAKE_SERVE", serve);
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(Str(work));
  p.start(Str(root_ / "foreign/quillward-batch"),
          {"--set", "chkASP=1", "--report", Str(root_ / "foreign.json"), Str(root_ / "site"), Str(out)});
  QVERIFY(p.waitForFinished(60000));
  QCOMPARE(p.exitCode(), 0);
  QCOMPARE(Read(out / "default.asp").left(8), QByteArray("ENCODED\n"));  // one process per file
  QVERIFY(fs::is_empty(work));
  QVERIFY(fs::is_empty(root_ / "tmp"));
  QVERIFY(QJsonDocument::fromJson(Read(root_ / "foreign.json"))["encoder"]["serve_version"].isNull());
}

void TestBatchNonRegular::consoleLine_data() {
  QTest::addColumn<QByteArray>("entry");
  QTest::addColumn<QByteArray>("line");
  QTest::newRow("question mark") << QByteArray("a?b") << QByteArray("a?b");
  QTest::newRow("newline") << QByteArray("a\nb") << QByteArray("a\\nb");
  QTest::newRow("tab") << QByteArray("a\tb") << QByteArray("a\\tb");
  QTest::newRow("carriage return") << QByteArray("a\rb") << QByteArray("a\\rb");
  QTest::newRow("escape and delete") << QByteArray("\x1b[1m\x7f") << QByteArray("\\x1b[1m\\x7f");
  QTest::newRow("NUL-free low byte") << QByteArray("\x01") << QByteArray("\\x01");
  QTest::newRow("backslash before a letter that escapes") << QByteArray("a\\nb") << QByteArray("a\\\\nb");
  QTest::newRow("backslash before x") << QByteArray("a\\x41") << QByteArray("a\\\\x41");
  QTest::newRow("backslash before a control") << QByteArray("a\\\n") << QByteArray("a\\\\\\n");
  QTest::newRow("two backslashes") << QByteArray("a\\\\b") << QByteArray("a\\\\\\b");
  QTest::newRow("backslash elsewhere") << QByteArray("a\\b c\\") << QByteArray("a\\b c\\");
  QTest::newRow("UTF-8 kept") << QByteArray("caf\xC3\xA9") << QByteArray("caf\xC3\xA9");
}

void TestBatchNonRegular::consoleLine() {
  QFETCH(QByteArray, entry);
  QFETCH(QByteArray, line);
  QCOMPARE(QByteArray::fromStdString(OneLine(entry.toStdString())), line);
}

// Names that printed alike once: distinct lines in the log, exact bytes in the report.
void TestBatchNonRegular::namesInTheLogAndReport() {
  const fs::path site = root_ / "names", out = root_ / "names-out", report = root_ / "names.json";
  for (const char* name : {"a?b", "a\nb", "a\tb", "a\\nb"}) Write(site / name, "n");
  QProcess p;
  p.setProcessEnvironment(Environment());
  p.setWorkingDirectory(tmp_.path());
  p.start(Str(root_ / "app/quillward-batch"), {"--report", Str(report), "names", Str(out)});
  QVERIFY(p.waitForFinished(60000));
  QCOMPARE(p.exitCode(), 0);
  const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
  QCOMPARE(lines.mid(1, 4), (QList<QByteArray>{"names/a\\tb", "names/a\\nb", "names/a?b", "names/a\\\\nb"}));
  QStringList paths;
  for (const QJsonValue& v : QJsonDocument::fromJson(Read(report))["entries"].toArray()) paths << v["path"].toString();
  paths.sort();
  QCOMPARE(paths, (QStringList{"", "a\tb", "a\nb", "a?b", "a\\nb"}));
}

QTEST_GUILESS_MAIN(TestBatchNonRegular)
#include "test_batch_non_regular.moc"
