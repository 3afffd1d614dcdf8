// The run with ignore rules, over real temporary trees: what is left out of the
// destination and of the log, and the layers of patterns against each other.
#include "run/encode_run.h"
#include "run/walk/ignore_rules.h"
#include "run/settings/run_settings.h"
#include "test_support.h"

#include <QtTest>

class TestIgnoreWalk : public QObject, protected RunTreeFixture {
  Q_OBJECT
private slots:
  void init();
  void ignoreFile_data();
  void ignoreFile();
  void layers_data();
  void layers();
  void unreadableIgnoreFile_data();
  void unreadableIgnoreFile();
  void excludedScriptsNeedNoEncoder();

private:
  // settings: "key=value" pairs of [Settings]; `once`: [ThisRun] pairs
  RunOutcome Run(const QStringList& settings, const QStringList& once = {});
};

void TestIgnoreWalk::init() {
  ResetTree(false, true);
}

RunOutcome TestIgnoreWalk::Run(const QStringList& settings, const QStringList& once) {
  MemorySettingsStore store;
  store.Write(kSettingsSection, "Jobs", "1");
  const auto write = [&store](const std::string& section, const QString& kv) {
    store.Write(section, S(kv.section(QLatin1Char('='), 0, 0)), S(kv.section(QLatin1Char('='), 1)));
  };
  for (const QString& kv : settings) write(kSettingsSection, kv);
  for (const QString& kv : once) write(kThisRunSection, kv);
  return RunEncoding(host_, store);
}

static QString P(const fs::path& p) { return Q(ToDisplayPath(p)); }

void TestIgnoreWalk::ignoreFile_data() {
  QTest::addColumn<bool>("verbose");
  QTest::addColumn<QString>("jobs");
  QTest::newRow("quiet") << false << "1";
  QTest::newRow("verbose") << true << "1";
  QTest::newRow("verbose, three workers") << true << "3";
}

void TestIgnoreWalk::ignoreFile() {
  QFETCH(bool, verbose);
  QFETCH(QString, jobs);
  WriteFile(src_, ".quillwardignore", "# deploy only the site\r\n.git/\nnode_modules/\n*.bak\n!keep.bak\n/secret.asp\n");
  for (const char* f : {".git/config", "node_modules/m/index.js", "a.bak", "keep.bak", "page.asp", "secret.asp",
                        "sub/secret.asp", "sub/b.bak", "sub/.git"}) {
    WriteFile(src_, f);
  }
  const RunOutcome out = Run({"chkASP=1", "chkJS=1", "Jobs=" + jobs}, {verbose ? "Verbose=1" : "Verbose=0"});
  QCOMPARE(out.status, RunOutcome::Status::Completed);
  QCOMPARE(out.excluded, 5);
  const QString s = P(src_);
  QStringList expected{"Processing ... " + s, s + "/a.bak - excluded", s + "/keep.bak", s + "/page.asp",
                       s + "/secret.asp - excluded", s + "/.git - excluded", s + "/node_modules - excluded",
                       "Processing ... " + s + "/sub", s + "/sub/.git", s + "/sub/b.bak - excluded",
                       s + "/sub/secret.asp", "Done: 4 files, 0 failed, 5 excluded"};
  if (!verbose) expected = expected.filter(QRegularExpression(QStringLiteral("^(?!.* - excluded$)")));
  QCOMPARE(host_.entries, expected);
  // `.git/` is for folders only: the file sub/.git is copied.
  for (const char* kept : {"keep.bak", "page.asp", "sub/secret.asp", "sub/.git"}) QVERIFY2(fs::exists(dst_ / kept), kept);
  for (const char* left : {".quillwardignore", ".git", "node_modules", "a.bak", "secret.asp", "sub/b.bak"})
    QVERIFY2(!fs::exists(dst_ / left), left);
  QCOMPARE(fake_->calls().size(), 2);  // page.asp and sub/secret.asp, nothing excluded
}

void TestIgnoreWalk::layers_data() {
  QTest::addColumn<QString>("options");    // txtExclude
  QTest::addColumn<QByteArray>("ignore");  // the root's .quillwardignore
  QTest::addColumn<QByteArray>("inD");     // d/.quillwardignore
  QTest::addColumn<QString>("command");    // [ThisRun] Exclude, one pattern a line
  QTest::addColumn<QStringList>("copied");
  const QByteArray none;
  QTest::newRow("Options field") << "*.log;docs/" << none << none << ""
                                 << QStringList{"a.txt", "d/b.txt", "my notes.txt"};
  QTest::newRow("escaped space in the field") << "x.txt my\\ notes.txt" << none << none << ""
                                              << QStringList{"a.log", "a.txt", "d/b.txt", "docs/c.txt"};
  QTest::newRow("site's file re-includes what Options leave out")
      << "*.log" << QByteArray("!a.log\n") << none << ""
      << QStringList{"a.log", "a.txt", "d/b.txt", "docs/c.txt", "my notes.txt"};
  QTest::newRow("command line wins over the site's file")
      << "" << QByteArray("!a.log\n") << none << "*.log" << QStringList{"a.txt", "d/b.txt", "docs/c.txt", "my notes.txt"};
  QTest::newRow("command line, anchored and by name") << "" << none << none << "/b.txt\nd/\n/docs/c.txt"
                                                      << QStringList{"a.log", "a.txt", "my notes.txt"};
  QTest::newRow("deeper ignore file, anchored root line") << "" << QByteArray("my*\n/c.txt\n") << QByteArray("*.txt\n") << ""
                                                          << QStringList{"a.log", "a.txt", "docs/c.txt"};
}

void TestIgnoreWalk::layers() {
  QFETCH(QString, options);
  QFETCH(QByteArray, ignore);
  QFETCH(QByteArray, inD);
  QFETCH(QString, command);
  QFETCH(QStringList, copied);
  for (const char* f : {"a.log", "a.txt", "my notes.txt", "d/b.txt", "docs/c.txt"}) WriteFile(src_, f);
  if (!ignore.isEmpty()) WriteFile(src_, kIgnoreFileName, ignore);
  if (!inD.isEmpty()) WriteFile(src_ / "d", kIgnoreFileName, inD);
  const RunOutcome out = Run({"txtExclude=" + options}, {"Exclude=" + command});
  QStringList got;
  for (const auto& e : fs::recursive_directory_iterator(dst_))
    if (e.is_regular_file()) got << Q(e.path().lexically_relative(dst_).generic_string());
  got.sort();
  QCOMPARE(got, copied);
  QCOMPARE(out.files, copied.size());
}

void TestIgnoreWalk::unreadableIgnoreFile_data() {
  QTest::addColumn<QString>("what");
  QTest::addColumn<QString>("reason");
  // Ways to fail a read whoever runs the test, root included (FIFOs and permissions:
  // the console tests, which can end a run that hangs).
  QTest::newRow("a folder") << "folder" << "not a regular file (stat ";
  QTest::newRow("a link to itself") << "loop" << "too many levels of symbolic links (stat ";
  QTest::newRow("a link that leads nowhere") << "dangling" << "no such file or directory (stat ";
  QTest::newRow("a link to a device") << "device" << "not a regular file (stat ";
}

void TestIgnoreWalk::unreadableIgnoreFile() {
  QFETCH(QString, what);
  QFETCH(QString, reason);
  WriteFile(src_, "a.txt");
  WriteFile(src_, "sub/db-password.txt");
  WriteFile(src_, "sub/deeper/b.txt");
  const fs::path file = src_ / "sub" / kIgnoreFileName;
  if (what == QLatin1String("folder")) fs::create_directories(file);
  else if (what == QLatin1String("loop")) fs::create_symlink(kIgnoreFileName, file);
  else if (what == QLatin1String("dangling")) fs::create_symlink("gone", file);
  else fs::create_symlink("/dev/null", file);
  const RunOutcome out = Run({});
  // The folder's rules unknown, nothing of it is deployed: it fails as a folder.
  const QString s = P(src_);
  QCOMPARE(host_.entries.size(), 4);
  QCOMPARE(host_.entries.value(1), s + "/a.txt");
  const QString entry = host_.entries.value(2);
  QCOMPARE(entry.section(QStringLiteral(" - "), 0, 0), "Processing ... " + s + "/sub");
  QVERIFY2(entry.contains(" - not entered, its ignore file cannot be read: " + reason + s + "/sub/.quillwardignore)"),
           qPrintable(entry));
  QCOMPARE(host_.entries.last(), QStringLiteral("Done: 1 files, 0 failed, 1 folders failed"));
  QCOMPARE(out.failed, 1);
  QVERIFY(fs::exists(dst_ / "a.txt"));
  QVERIFY(!fs::exists(dst_ / "sub/db-password.txt"));
  QVERIFY(!fs::exists(dst_ / "sub/deeper"));
}

void TestIgnoreWalk::excludedScriptsNeedNoEncoder() {
  // The count before the walk leaves out what the walk will: no encoder is asked for.
  QTemporaryDir noEncoder;
  host_.appDir = noEncoder.path() + QLatin1Char('/');
  WriteFile(src_, "old/page.asp");
  WriteFile(src_, "index.htm");
  const RunOutcome out = Run({"chkASP=1"}, {"Exclude=old/"});
  QCOMPARE(out.status, RunOutcome::Status::Completed);
  QVERIFY(host_.messages.isEmpty());
  QCOMPARE(host_.entries.last(), QStringLiteral("Done: 1 files, 0 failed, 1 excluded"));
}

QTEST_GUILESS_MAIN(TestIgnoreWalk)
#include "test_ignore_walk.moc"
