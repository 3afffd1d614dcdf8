// quillward-batch re-deploying with --delete where the walk could not see everything, with
// --delete-excluded, and with --changed meeting a link where a deployed file was: end to
// end with our real encoder. As root the program runs as uid 65534 (setpriv), so that
// permission bits hold; the manifest and settings live in the test's own folders.
#include "batch_app.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kPage = "<%@ LANGUAGE=VBScript %>\n<% Response.Write \"x\" %>\n";

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

QString Str(const fs::path& path) { return QString::fromStdString(path.string()); }

// Everything below `root` (files, folders, links), '/'-separated and sorted.
QStringList TreeOf(const fs::path& root) {
  QStringList out;
  for (const auto& e : fs::recursive_directory_iterator(root)) out << Str(fs::relative(e.path(), root));
  out.sort();
  return out;
}

// A name of `n` times `c`: long names make a long path in few folders.
std::string Long(char c, std::size_t n = 200) { return std::string(n, c); }

// Where the site is moved so that its deep/<200 a>/<200 b> passes the system's path limit
// (4096 bytes with the terminating one) while deep/<200 a> and its ignore file do not.
fs::path DeepPlace() {
  fs::path place = "n";
  while (place.native().size() < 3700) place /= Long('p', 250);
  return place;  // 3766 bytes: site/deep/<a> is 3977, site/deep/<a>/<b> 4178
}

using Edit = std::function<void(const fs::path& root)>;

}  // namespace

Q_DECLARE_METATYPE(Edit)

class TestBatchDelete : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();
  void sourceNotReadInFull_data();
  void sourceNotReadInFull();
  void nowExcluded_data();
  void nowExcluded();
  void changedReplacesLink_data();
  void changedReplacesLink();

private:
  // quillward-batch with `args`, then SOURCE and DESTINATION ("out"); the log's lines.
  QStringList Run(QStringList args, const QString& source, int& exitCode);
  QJsonObject Report(const fs::path& file);
  // A system tool that walks trees past the path limit (chown -R, rm -rf); whether it did.
  static bool Tool(const QStringList& command);
  std::unique_ptr<QTemporaryDir> tmp_;
  fs::path root_;
  bool unprivileged_ = false;
};

void TestBatchDelete::init() {
  tmp_ = std::make_unique<QTemporaryDir>();
  root_ = tmp_->path().toStdString();
  QVERIFY(InstallBatchApp(tmp_->path()));
  unprivileged_ = ::geteuid() == 0;
}

bool TestBatchDelete::Tool(const QStringList& command) {
  QProcess p;
  p.start(command.first(), command.mid(1));
  return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// What QTemporaryDir cannot remove: a tree past the path limit.
void TestBatchDelete::cleanup() { QVERIFY(Tool({"rm", "-rf", Str(root_)})); }

QStringList TestBatchDelete::Run(QStringList args, const QString& source, int& exitCode) {
  if (unprivileged_ && !Tool({"chown", "-R", "-h", "65534:65534", Str(root_)})) return {};
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), Str(root_ / "config"));
  e.insert(QStringLiteral("XDG_STATE_HOME"), Str(root_ / "state"));
  e.insert(QStringLiteral("HOME"), Str(root_ / "home"));
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_->path());
  args = QStringList{"--set", "chkASP=1"} + args + QStringList{source, QStringLiteral("out")};
  const QString program = Str(root_ / "app/quillward-batch");
  if (unprivileged_) {
    p.start(QStringLiteral("setpriv"), QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args);
  } else {
    p.start(program, args);
  }
  if (!p.waitForFinished(60000)) return {};
  exitCode = p.exitCode();
  return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QJsonObject TestBatchDelete::Report(const fs::path& file) {
  QProcess check;
  const QString source = qEnvironmentVariable("QW_SOURCE_DIR");
  check.start(QStringLiteral("python3"),
              {source + "/tests/batch/check_report.py", source + "/docs/report.schema.json", Str(file)});
  if (!check.waitForFinished(60000) || check.exitCode() != 0) {
    qWarning("%s", check.readAllStandardError().constData());
    return {};
  }
  QFile f(Str(file));
  return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

void TestBatchDelete::sourceNotReadInFull_data() {
  QTest::addColumn<Edit>("edit");          // after the first deploy; site/gone.txt is removed too
  QTest::addColumn<QString>("source");     // SOURCE of the second run
  QTest::addColumn<QString>("kept");       // the folder kept whole, below "out"
  QTest::addColumn<bool>("rootRead");      // whether out/gone.txt is seen gone and removed
  QTest::addColumn<bool>("permissions");   // the row needs an unprivileged user
  const QString deep = QStringLiteral("deep/%1/%2").arg(QString::fromStdString(Long('a')), QString::fromStdString(Long('b')));
  QTest::newRow("source folder unreadable")
      << Edit([](const fs::path& r) { fs::permissions(r / "site", fs::perms::none); })
      << "site" << "" << false << true;
  QTest::newRow("subfolder unreadable")
      << Edit([](const fs::path& r) { fs::permissions(r / "site/sub", fs::perms::none); })
      << "site" << "sub" << true << true;
  QTest::newRow("ignore file unreadable")
      << Edit([](const fs::path& r) {
           fs::permissions(r / "site/sub/.quillwardignore", fs::perms::none);
           fs::remove(r / "site/sub/d.txt");
         })
      << "site" << "sub" << true << true;
  QTest::newRow("subfolder past the path length limit")
      << Edit([](const fs::path& r) {
           fs::create_directories(r / DeepPlace());
           fs::rename(r / "site", r / DeepPlace() / "site");
         })
      << Str(DeepPlace() / "site") << deep << true << false;
  QTest::newRow("subfolder replaced by a link to a folder")
      << Edit([](const fs::path& r) {
           fs::rename(r / "site/sub", r / "elsewhere");
           fs::remove(r / "elsewhere/d.txt");
           fs::create_directory_symlink("../elsewhere", r / "site/sub");
         })
      << "site" << "sub" << true << false;
}

// Whatever keeps the walk from reading a source folder in full, its place in the
// destination is kept whole: exit status 1, one line for it, a "kept" record in the report.
void TestBatchDelete::sourceNotReadInFull() {
  QFETCH(Edit, edit);
  QFETCH(QString, source);
  QFETCH(QString, kept);
  QFETCH(bool, rootRead);
  QFETCH(bool, permissions);
  if (permissions && !unprivileged_) QSKIP("permission bits hold only for an unprivileged user, made from root");
  Write(root_ / "site/a.asp", kPage);
  Write(root_ / "site/gone.txt", "gone");
  Write(root_ / "site/sub/c.asp", kPage);
  Write(root_ / "site/sub/d.txt", "d");
  Write(root_ / "site/sub/.quillwardignore", "*.bak\n");
  Write(root_ / "site/sub/deeper/e.txt", "e");
  Write(root_ / "site/deep" / Long('a') / Long('b') / "f.txt", "f");
  int exitCode = -1;
  QVERIFY(!Run({"--delete"}, QStringLiteral("site"), exitCode).isEmpty());
  QCOMPARE(exitCode, 0);
  const QStringList deployed = TreeOf(root_ / "out");

  fs::remove(root_ / "site/gone.txt");
  edit(root_);
  const QStringList lines = Run({"--delete", "--report", "report.json"}, source, exitCode);
  const QString keptPath = kept.isEmpty() ? QStringLiteral("out") : "out/" + kept;
  const QString line = keptPath + " - not removed: its source folder could not be read";
  if (lines.count(line) != 1) qWarning() << lines;
  QCOMPARE(lines.count(line), 1);
  QCOMPARE(exitCode, 1);
  QStringList expected = deployed;
  if (rootRead) expected.removeOne(QStringLiteral("gone.txt"));
  QCOMPARE(TreeOf(root_ / "out"), expected);
  QCOMPARE(lines.filter(QStringLiteral(" - deleted")), rootRead ? QStringList{"out/gone.txt - deleted"} : QStringList());

  const QJsonObject report = Report(root_ / "report.json");
  QVERIFY2(!report.isEmpty(), "the report does not pass its schema");
  QJsonObject record;
  for (const QJsonValue& v : report["entries"].toArray()) {
    if (v["action"].toString() == QStringLiteral("kept")) record = v.toObject();
  }
  QCOMPARE(record["path"].toString(), kept);
  QCOMPARE(record["folder"].toBool(), true);
  QCOMPARE(record["reason"].toString(), QStringLiteral("its source folder could not be read"));
  QCOMPARE(report["totals"]["kept"].toInt(), 1);
}

void TestBatchDelete::nowExcluded_data() {
  QTest::addColumn<Edit>("edit");  // after the first deploy
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("lines");      // those about removal, in order
  QTest::addColumn<QStringList>("removed");    // below "out"
  QTest::addColumn<int>("exitCode");
  const Edit ignore = [](const fs::path& r) { Write(r / "site/.quillwardignore", "admin/\nsecret.txt\n"); };
  const QStringList all = {"out/admin/x.asp - deleted, now excluded", "out/admin/y.txt - deleted, now excluded",
                           "out/secret.txt - deleted, now excluded", "out/admin - deleted, now excluded"};
  const QStringList allRemoved = {"admin", "admin/x.asp", "admin/y.txt", "secret.txt"};
  QTest::newRow("without --delete-excluded: kept, and counted")
      << ignore << QStringList{"--delete"} << QStringList{"3 deployed files are now excluded and were kept"}
      << QStringList() << 0;
  QTest::newRow("one file: said in the singular")
      << Edit() << QStringList{"--delete", "--exclude", "secret.txt"}
      << QStringList{"1 deployed file is now excluded and was kept"} << QStringList() << 0;
  QTest::newRow("--delete-excluded, by an ignore file") << ignore << QStringList{"--delete-excluded"} << all
                                                        << allRemoved << 0;
  QTest::newRow("--delete-excluded, by txtExclude")
      << Edit() << QStringList{"--delete-excluded", "--set", "txtExclude=admin/"}
      << QStringList{"out/admin/x.asp - deleted, now excluded", "out/admin/y.txt - deleted, now excluded",
                     "out/admin - deleted, now excluded"}
      << QStringList{"admin", "admin/x.asp", "admin/y.txt"} << 0;
  QTest::newRow("--delete-excluded with a gone file, past --max-delete: nothing removed")
      << Edit([ignore](const fs::path& r) { ignore(r); fs::remove(r / "site/pub/z.txt"); })
      << QStringList{"--delete-excluded", "--max-delete", "3"}
      << QStringList{"Nothing removed: 4 files would be removed (1 whose source is gone, 3 now excluded), more "
                     "than 3 (--max-delete)"}
      << QStringList() << 1;
  QTest::newRow("--delete-excluded, dry run: said, nothing removed")
      << ignore << QStringList{"--delete-excluded", "--dry-run"}
      << QStringList{"out/admin/x.asp - would delete, now excluded", "out/admin/y.txt - would delete, now excluded",
                     "out/secret.txt - would delete, now excluded", "out/admin - would delete, now excluded"}
      << QStringList() << 0;
  QTest::newRow("--delete-excluded leaves what is not ours, and its folder")
      << Edit([ignore](const fs::path& r) { ignore(r); Write(r / "out/admin/upload.png", "png"); })
      << QStringList{"--delete-excluded"} << all.mid(0, 3) << QStringList{"admin/x.asp", "admin/y.txt", "secret.txt"}
      << 0;
}

void TestBatchDelete::nowExcluded() {
  QFETCH(Edit, edit);
  QFETCH(QStringList, args);
  QFETCH(QStringList, lines);
  QFETCH(QStringList, removed);
  QFETCH(int, exitCode);
  Write(root_ / "site/a.asp", kPage);
  Write(root_ / "site/secret.txt", "password");
  Write(root_ / "site/admin/x.asp", kPage);
  Write(root_ / "site/admin/y.txt", "y");
  Write(root_ / "site/pub/z.txt", "z");
  int status = -1;
  QVERIFY(!Run({"--delete"}, QStringLiteral("site"), status).isEmpty());
  QCOMPARE(status, 0);
  if (edit) edit(root_);
  QStringList expected = TreeOf(root_ / "out");
  for (const QString& gone : removed) expected.removeOne(gone);

  const QStringList log = Run(args, QStringLiteral("site"), status);
  const QStringList about = log.filter(QRegularExpression(QStringLiteral("^out/|deployed file|^Nothing removed")));
  if (about != lines) qWarning() << log;
  QCOMPARE(about, lines);
  QCOMPARE(status, exitCode);
  QCOMPARE(TreeOf(root_ / "out"), expected);
}

void TestBatchDelete::changedReplacesLink_data() {
  QTest::addColumn<QString>("file");  // below "site" and "out"
  QTest::addColumn<bool>("aside");    // the link leads to the deployed file moved aside, else to the source
  QTest::newRow("a copy, linked to its source") << "b.txt" << false;
  QTest::newRow("an encoded page, linked to itself moved aside") << "a.asp" << true;
}

// The link has the size and time the manifest knows: only its being a link tells it apart.
void TestBatchDelete::changedReplacesLink() {
  QFETCH(QString, file);
  QFETCH(bool, aside);
  Write(root_ / "site/a.asp", kPage);
  Write(root_ / "site/b.txt", "plain");
  int status = -1;
  QVERIFY(!Run({"--changed"}, QStringLiteral("site"), status).isEmpty());
  QCOMPARE(status, 0);
  const fs::path out = root_ / "out" / file.toStdString(), moved = root_ / "aside" / file.toStdString();
  const std::string before = [&] {
    std::ifstream in(out, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  if (aside) {
    fs::create_directories(moved.parent_path());
    fs::rename(out, moved);
    fs::create_symlink(moved, out);
  } else {
    fs::remove(out);
    fs::create_symlink(root_ / "site" / file.toStdString(), out);
  }
  const QStringList lines = Run({"--changed"}, QStringLiteral("site"), status);
  QCOMPARE(status, 0);
  QVERIFY2(lines.contains("site/" + file), qPrintable(lines.join(QLatin1Char('\n'))));
  QVERIFY(!fs::is_symlink(out));
  QVERIFY(fs::is_regular_file(out));
  std::ifstream in(out, std::ios::binary);
  QCOMPARE(std::string(std::istreambuf_iterator<char>(in), {}), before);
  // Nothing was written through the link.
  const fs::path target = aside ? moved : root_ / "site" / file.toStdString();
  std::ifstream kept(target, std::ios::binary);
  QCOMPARE(std::string(std::istreambuf_iterator<char>(kept), {}), aside ? before : std::string("plain"));
  // And the next run finds the real file unchanged.
  QVERIFY(Run({"--changed"}, QStringLiteral("site"), status).contains("site/" + file + " - unchanged"));
}

QTEST_GUILESS_MAIN(TestBatchDelete)
#include "test_batch_delete.moc"
