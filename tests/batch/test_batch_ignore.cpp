// quillward-batch with ignore rules, end to end with our real encoder: a site's ignore
// file, the stored patterns for every site and --exclude, in the destination and the log.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include "batch_app.h"

#include <QtTest>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}
}  // namespace

class TestBatchIgnore : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void rules_data();
  void rules();

private:
  QTemporaryDir tmp_;
  fs::path root_;
};

void TestBatchIgnore::initTestCase() {
  root_ = tmp_.path().toStdString();
  QVERIFY(InstallBatchApp(tmp_.path()));
  const std::string page = "<%@ LANGUAGE=VBScript %>\n<% Response.Write \"x\" %>\n";
  Write(root_ / "site/.quillwardignore", ".git/\nnode_modules/\n*.bak\n!keep.bak\n/secret.asp\n");
  for (const char* f : {".git/HEAD", "node_modules/m/index.js", "old.bak", "keep.bak", "draft.tmp", "logs/x.txt"})
    Write(root_ / "site" / f, "x");
  for (const char* f : {"default.asp", "secret.asp", "admin/secret.asp"}) Write(root_ / "site" / f, page);
}

void TestBatchIgnore::rules_data() {
  QTest::addColumn<QString>("stored");  // txtExclude in the stored settings
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("log");  // after "Processing ... site"
  QTest::newRow("ignore file only")
      << "" << QStringList{"--set", "chkASP=1"}
      << QStringList{"site/default.asp", "site/draft.tmp", "site/keep.bak", "Processing ... site/admin",
                     "site/admin/secret.asp", "Processing ... site/logs", "site/logs/x.txt",
                     "Done: 5 files, 0 failed, 4 excluded"};
  QTest::newRow("stored patterns and --exclude, verbose")
      << "*.tmp" << QStringList{"--set", "chkASP=1", "--exclude", "logs/", "--exclude=admin/*.asp", "--verbose"}
      << QStringList{"site/default.asp", "site/draft.tmp - excluded", "site/keep.bak", "site/old.bak - excluded",
                     "site/secret.asp - excluded", "site/.git - excluded", "Processing ... site/admin",
                     "site/admin/secret.asp - excluded", "site/logs - excluded", "site/node_modules - excluded",
                     "Done: 2 files, 0 failed, 7 excluded"};
}

void TestBatchIgnore::rules() {
  QFETCH(QString, stored);
  QFETCH(QStringList, args);
  QFETCH(QStringList, log);
  const fs::path config = root_ / QTest::currentDataTag() / "config";
  Write(config / "Quillward/Quillward.conf", "[Settings]\ntxtExclude=" + stored.toStdString() + "\n");
  const fs::path out = root_ / QTest::currentDataTag() / "out";
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(config.string()));
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_.path());
  p.start(tmp_.filePath(QStringLiteral("app/quillward-batch")),
          args + QStringList{QStringLiteral("site"), QString::fromStdString(out.string())});
  QVERIFY(p.waitForFinished(60000));
  QCOMPARE(p.exitCode(), 0);
  QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(lines.value(0), QStringLiteral("Processing ... site"));
  QCOMPARE(lines.mid(1), log);
  // Every file logged without a reason is in the destination, encoded when a page; nothing else is.
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out)) files += entry.is_regular_file();
  QCOMPARE(files, log.filter(QRegularExpression(QStringLiteral("^site/[^ ]+$"))).size());
  std::ifstream page(out / "default.asp");
  QVERIFY(std::string(std::istreambuf_iterator<char>(page), {}).find("#@~^") != std::string::npos);
  QVERIFY(!fs::exists(out / ".quillwardignore"));
  QVERIFY(!fs::exists(out / ".git"));
}

QTEST_GUILESS_MAIN(TestBatchIgnore)
#include "test_batch_ignore.moc"
