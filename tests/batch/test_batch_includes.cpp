// quillward-batch's include audit, end to end with our real encoder: the warnings after
// the walk, --strict turning them into failures and exit status 1, and the sample site,
// whose includes all ship encoded.
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

class TestBatchIncludes : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void audit_data();
  void audit();

private:
  QTemporaryDir tmp_;
  fs::path root_;
};

void TestBatchIncludes::initTestCase() {
  root_ = tmp_.path().toStdString();
  QVERIFY(InstallBatchApp(tmp_.path()));
  Write(root_ / "site/default.asp",
        "<%@ LANGUAGE=VBScript %>\r\n<!-- #include file=\"includes/db.inc\" -->\r\n"
        "<!-- #include virtual=\"/includes/gone.inc\" -->\r\n<% Response.Write Now %>\r\n");
  Write(root_ / "site/admin/users.asp", "<!--#include virtual=\"\\includes\\db.inc\"-->\r\n<% x = 1 %>\r\n");
  Write(root_ / "site/includes/db.inc", "<% Set conn = Server.CreateObject(\"ADODB.Connection\") %>\r\n");
  Write(root_ / "config/Quillward/Quillward.conf", "[Settings]\nchkASP=1\n");
}

void TestBatchIncludes::audit_data() {
  QTest::addColumn<QString>("site");
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("exit");
  QTest::addColumn<QStringList>("tail");  // the log's last lines
  const QString copied = QStringLiteral(
      "Warning: includes/db.inc is included by default.asp (and 1 more) and was copied unencoded");
  const QString missing = QStringLiteral("Warning: includes/gone.inc is included by default.asp and does not exist");
  QTest::newRow("include encoded, one missing")
      << "site" << QStringList{} << 0 << QStringList{missing, "Done: 3 files, 0 failed"};
  QTest::newRow("include copied, one missing")
      << "site" << QStringList{"--set", "txtDefxt=*.lib"} << 0 << QStringList{copied, missing, "Done: 3 files, 0 failed"};
  QTest::newRow("--strict: each a failure")
      << "site" << QStringList{"--strict", "--set", "txtDefxt=*.lib"} << 1
      << QStringList{copied, missing, "Done: 3 files, 2 failed"};
  QTest::newRow("the sample site, as shipped")
      << QString::fromUtf8(qgetenv("QW_SOURCE_DIR") + "/examples/site") << QStringList{"--strict", "--set", "chkHTML=1"}
      << 0 << QStringList{"Done: 38 files, 0 failed"};
}

void TestBatchIncludes::audit() {
  QFETCH(QString, site);
  QFETCH(QStringList, args);
  QFETCH(int, exit);
  QFETCH(QStringList, tail);
  const fs::path out = root_ / QTest::currentDataTag() / "out";
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((root_ / "config").string()));
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_.path());
  p.start(tmp_.filePath(QStringLiteral("app/quillward-batch")), args + QStringList{site, QString::fromStdString(out.string())});
  QVERIFY(p.waitForFinished(60000));
  const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QStringList audit = lines.filter(QStringLiteral(" is included by "));
  audit << lines.last();
  QCOMPARE(audit, tail);
  QCOMPARE(lines.mid(lines.size() - tail.size()), tail);  // right before the summary
  QCOMPARE(p.exitCode(), exit);
  // The pages and the encoded include went through the encoder.
  std::ifstream page(out / "default.asp");
  if (page) QVERIFY(std::string(std::istreambuf_iterator<char>(page), {}).find("#@~^") != std::string::npos);
}

QTEST_GUILESS_MAIN(TestBatchIncludes)
#include "test_batch_includes.moc"
