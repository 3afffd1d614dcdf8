// quillward-batch end to end: a copy of the program beside the stand-in encoder, on
// temporary trees, with a private settings folder.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Result {
  int exitCode = -1;
  QStringList lines;
  QString err;
};

}  // namespace

class TestBatch : public QObject {
  Q_OBJECT
private slots:
  void init();
  void help();
  void badArguments_data();
  void badArguments();
  void refusedFolders_data();
  void refusedFolders();
  void encodesAndCopies();
  void storedSettingsAndOverrides();
  void failedFileGivesOne();
  void awkwardNames();
  void verifyFailsWrongOutput();
  void interruptStopsAfterCurrentFile();
  void checkBoxWords_data();
  void checkBoxWords();
  void unreadableSettingsAreAnError();

private:
  Result Run(const QStringList& args, const QMap<QString, QString>& env = {});
  fs::path Tmp(const char* name = "") const { return fs::path(tmp_->path().toStdString()) / name; }
  std::unique_ptr<QTemporaryDir> tmp_;
  QString program_;
};

void TestBatch::init() {
  tmp_ = std::make_unique<QTemporaryDir>();
  QDir(tmp_->path()).mkpath(QStringLiteral("app"));
  QDir(tmp_->path()).mkpath(QStringLiteral("config"));
  program_ = tmp_->filePath(QStringLiteral("app/quillward-batch"));
  QVERIFY(QFile::copy(qEnvironmentVariable("QW_TEST_BIN_DIR") + QStringLiteral("/quillward-batch"), program_));
  QVERIFY(QFile::link(qEnvironmentVariable("QW_TEST_FAKE_SCRENC"), tmp_->filePath(QStringLiteral("app/screnc"))));
}

Result TestBatch::Run(const QStringList& args, const QMap<QString, QString>& env) {
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp_->filePath(QStringLiteral("config")));
  for (auto it = env.cbegin(); it != env.cend(); ++it) e.insert(it.key(), it.value());
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_->path());
  p.start(program_, args);
  Result r;
  if (!p.waitForFinished(60000)) return r;
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

void TestBatch::help() {
  const Result r = Run({QStringLiteral("--help")});
  QCOMPARE(r.exitCode, 0);
  QVERIFY(r.lines.join(QLatin1Char('\n')).contains(QLatin1String("Usage: quillward-batch")));
}

void TestBatch::badArguments_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("message");
  QTest::newRow("nothing") << QStringList() << "expected SOURCE and DESTINATION";
  QTest::newRow("one path") << QStringList{"site"} << "expected SOURCE and DESTINATION";
  QTest::newRow("three paths") << QStringList{"a", "b", "c"} << "expected SOURCE and DESTINATION";
  QTest::newRow("unknown option") << QStringList{"--fast", "a", "b"} << "unknown option \"--fast\"";
  QTest::newRow("unknown key") << QStringList{"--set", "chkXYZ=1", "a", "b"} << "unknown settings key \"chkXYZ\"";
  QTest::newRow("no value") << QStringList{"--set", "chkASP", "a", "b"} << "--set needs KEY=VALUE";
  QTest::newRow("set at end") << QStringList{"a", "b", "--set"} << "--set needs KEY=VALUE";
  QTest::newRow("check box word") << QStringList{"--set", "chkASP=maybe", "a", "b"} << "--set chkASP: \"maybe\" is not a check box value";
  QTest::newRow("check box number") << QStringList{"--set", "check2=2", "a", "b"} << "--set Check2: \"2\" is not a check box value";
  QTest::newRow("timeout word") << QStringList{"--timeout", "soon", "a", "b"} << "--timeout needs a number of seconds";
  QTest::newRow("timeout negative") << QStringList{"--timeout=-1", "a", "b"} << "--timeout needs a number of seconds";
}

void TestBatch::badArguments() {
  QFETCH(QStringList, args);
  QFETCH(QString, message);
  const Result r = Run(args);
  QCOMPARE(r.exitCode, 2);
  QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void TestBatch::refusedFolders_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QString>("destination");
  QTest::addColumn<QString>("message");
  QTest::newRow("same") << "site" << "site" << "Source and Destination Paths can not be the same!";
  QTest::newRow("destination inside") << "site" << "site/deploy" << "Destination Path can not be inside the Source Path!";
  QTest::newRow("source inside") << "site" << "." << "Source Path can not be inside the Destination Path!";
  QTest::newRow("missing source") << "nosuch" << "out" << "Source Path does not exist: nosuch";
}

void TestBatch::refusedFolders() {
  QFETCH(QString, source);
  QFETCH(QString, destination);
  QFETCH(QString, message);
  Write(Tmp("site/a.asp"), "<% x %>");
  const Result r = Run({source, destination});
  QCOMPARE(r.exitCode, 2);
  QVERIFY2(r.err.contains(QStringLiteral("Source Encode: ") + message), qPrintable(r.err));
  QVERIFY(r.lines.isEmpty());
  QVERIFY(!fs::exists(Tmp("site/deploy")));
}

void TestBatch::encodesAndCopies() {
  Write(Tmp("site/default.asp"), "<% x %>");
  Write(Tmp("site/img/logo.gif"), "GIF89a");
  Write(Tmp("site/inc/db.inc"), "<% y %>");
  const Result r = Run({"--set", "chkASP=1", "site", "out/new"});
  QCOMPARE(r.exitCode, 0);
  QCOMPARE(r.lines, QStringList({"Processing ... site", "site/default.asp", "Processing ... site/img",
                                 "site/img/logo.gif", "Processing ... site/inc", "site/inc/db.inc",
                                 "Done: 3 files, 0 failed"}));
  QCOMPARE(Read(Tmp("out/new/default.asp")), std::string("ENCODED\n<% x %>"));
  QCOMPARE(Read(Tmp("out/new/inc/db.inc")), std::string("ENCODED\n<% y %>"));
  QCOMPARE(Read(Tmp("out/new/img/logo.gif")), std::string("GIF89a"));
}

void TestBatch::storedSettingsAndOverrides() {
  Write(Tmp("config/Quillward/Quillward.conf"), "[Settings]\nchkJS=1\ntxtDefxt=*.lib\n");
  Write(Tmp("site/a.js"), "js");
  Write(Tmp("site/b.inc"), "inc");
  Write(Tmp("site/c.lib"), "lib");
  QCOMPARE(Run({"site", "out1"}).exitCode, 0);
  QCOMPARE(Read(Tmp("out1/a.js")), std::string("ENCODED\njs"));
  QCOMPARE(Read(Tmp("out1/b.inc")), std::string("inc"));
  QCOMPARE(Read(Tmp("out1/c.lib")), std::string("ENCODED\nlib"));
  QCOMPARE(Run({"--set", "CHKJS=0", "--set=txtDefxt=*.inc", "site", "out2"}).exitCode, 0);
  QCOMPARE(Read(Tmp("out2/a.js")), std::string("js"));
  QCOMPARE(Read(Tmp("out2/b.inc")), std::string("ENCODED\ninc"));
  QCOMPARE(Read(Tmp("config/Quillward/Quillward.conf")), std::string("[Settings]\nchkJS=1\ntxtDefxt=*.lib\n"));
}

void TestBatch::failedFileGivesOne() {
  Write(Tmp("site/a.inc"), "a");
  Write(Tmp("site/b.inc"), "b");
  const Result r = Run({"site", "out"}, {{"QW_FAKE_FAIL_MATCH", "a.inc"}});
  QCOMPARE(r.exitCode, 1);
  QVERIFY(r.lines.contains(QStringLiteral("site/a.inc - encoder exit code 3")));
  QCOMPARE(r.lines.last(), QStringLiteral("Done: 2 files, 1 failed"));
  QCOMPARE(Read(Tmp("out/b.inc")), std::string("ENCODED\nb"));
}

// The stand-in writes plain text, not the page encoded: --verify fails the file, leaves
// nothing in its place (not even an earlier output), and the other files go on.
void TestBatch::verifyFailsWrongOutput() {
  Write(Tmp("site/a.inc"), "<% x %>");
  Write(Tmp("site/b.txt"), "copied");
  Write(Tmp("out/a.inc"), "from an earlier run");
  const Result r = Run({"--verify", "site", "out"});
  QCOMPARE(r.exitCode, 1);
  QCOMPARE(r.lines, QStringList({"Processing ... site",
                                 "site/a.inc - verification failed: the output holds no encoded block: its script is "
                                 "readable; the earlier output was removed",
                                 "site/b.txt", "Done: 2 files, 1 failed"}));
  QVERIFY(!fs::exists(Tmp("out/a.inc")));
  QCOMPARE(Read(Tmp("out/b.txt")), std::string("copied"));
}

void TestBatch::awkwardNames() {
  const std::vector<std::string> names = {"say \"hi\".inc", "two  blanks.inc", "new\nline.inc",
                                          "-dash.inc", "latin1 \xe9t\xe9.inc", "copy \xff.txt"};
  for (const std::string& n : names) Write(Tmp("-site") / "sub dir" / n, "<% " + n + " %>");
  const Result r = Run({"--", "-site", "out"});
  QCOMPARE(r.exitCode, 0);
  QCOMPARE(r.lines.size(), 2 + int(names.size()) + 1);
  QVERIFY(r.lines.contains(QStringLiteral("-site/sub dir/new\\nline.inc")));  // one entry, one line
  for (const std::string& n : names) {
    const std::string expected = (n.ends_with(".txt") ? "" : "ENCODED\n") + ("<% " + n + " %>");
    QCOMPARE(Read(Tmp("out/sub dir") / n), expected);
  }
}

void TestBatch::interruptStopsAfterCurrentFile() {
  for (const char* n : {"a.inc", "b.inc", "c.inc", "sub/d.inc"}) Write(Tmp("site") / n, n);
  const Result r = Run({"--jobs", "1", "site", "out"}, {{"QW_FAKE_INTERRUPT", "b.inc"}});
  QCOMPARE(r.exitCode, 130);
  QCOMPARE(r.lines, QStringList({"Processing ... site", "site/a.inc", "site/b.inc", "Stopped: 2 files, 0 failed"}));
  QCOMPARE(Read(Tmp("out/b.inc")), std::string("ENCODED\nb.inc"));  // the current file was finished
  QVERIFY(!fs::exists(Tmp("out/c.inc")));
  QVERIFY(!fs::exists(Tmp("out/sub")));
  QVERIFY(r.err.contains(QLatin1String("stopping after the current file")));
}

void TestBatch::checkBoxWords_data() {
  QTest::addColumn<QString>("value");
  QTest::addColumn<bool>("encoded");
  for (const char* yes : {"1", "true", "Yes", "ON"}) QTest::newRow(yes) << yes << true;
  for (const char* no : {"0", "false", "no", "Off"}) QTest::newRow(no) << no << false;
}

void TestBatch::checkBoxWords() {
  QFETCH(QString, value);
  QFETCH(bool, encoded);
  Write(Tmp("site/a.asp"), "<% x %>");
  QCOMPARE(Run({"--set", "chkASP=" + value, "site", "out"}).exitCode, 0);
  QCOMPARE(Read(Tmp("out/a.asp")), std::string(encoded ? "ENCODED\n<% x %>" : "<% x %>"));
}

void TestBatch::unreadableSettingsAreAnError() {
  Write(Tmp("site/a.asp"), "<% x %>");
  fs::create_directories(Tmp("config/Quillward/Quillward.conf"));  // cannot be read as a file
  const Result r = Run({"site", "out"});
  QCOMPARE(r.exitCode, 2);
  QVERIFY2(r.err.contains(QLatin1String("cannot read the settings")), qPrintable(r.err));
  QVERIFY(!fs::exists(Tmp("out")));
}

QTEST_GUILESS_MAIN(TestBatch)
#include "test_batch.moc"
