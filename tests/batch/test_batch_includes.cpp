// quillward-batch's include audit, end to end with our real encoder: the warnings after
// the walk, --strict turning them into failures and exit status 1, and the sample site,
// whose includes all ship encoded; a file an ASP page includes, whatever its extension,
// encoded as an include when it holds server script, and every page decoding back to
// its source.
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
std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

class TestBatchIncludes : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void audit_data();
  void audit();
  void includedFilesEncoded_data();
  void includedFilesEncoded();

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
  Write(root_ / "html/default.asp", "<%@ LANGUAGE=VBScript %>\r\n<!-- #include file=\"inc/header.htm\" -->\r\n"
                                    "<% Response.Write \"x\" %>\r\n");
  Write(root_ / "html/inc/header.htm", "<% title = \"Home\" %>\r\n<title><%= title %></title>\r\n"
                                       "<!--#include file=\"menu.js\"-->\r\n"
                                       "<script language=JavaScript>var menuOpen = false;</script>\r\n"
                                       "<script language=JavaScript>var pageTitle = \"<%= title %>\";</script>\r\n");
  Write(root_ / "html/inc/menu.js", "<script language=\"JScript\" runat=\"server\">var items = 3;</script>\r\n");
  Write(root_ / "html/inc/page.htm", "<% notIncluded = 1 %>\r\n<script language=\"JScript\">var a = 1;</script>\r\n");
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
      << QString::fromUtf8(qgetenv("QW_SOURCE_DIR") + "/examples/site") << QStringList{"--strict", "--verify", "--set", "chkHTML=1"}
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

// An .htm and a .js file that pages include hold server script: each is encoded as an
// include (its server script no longer readable), the log says so, --verify passes every
// file, and each decodes back to its source. The .htm's client script is encoded too,
// but for an element holding server script. A page not included keeps its kind. With
// HTML off the include is copied: the audit's warning, a failure under --strict.
void TestBatchIncludes::includedFilesEncoded_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("exit");
  QTest::addColumn<bool>("encoded");  // header.htm went through the encoder as an include
  QTest::newRow("HTML on") << QStringList{"--verify", "--set", "chkHTML=1", "--set", "chkJS=1"} << 0 << true;
  QTest::newRow("HTML on, four workers")
      << QStringList{"--verify", "--jobs", "4", "--set", "chkHTML=1", "--set", "chkJS=1"} << 0 << true;
  QTest::newRow("HTML off, --strict") << QStringList{"--strict", "--set", "chkHTML=0", "--set", "chkJS=0"} << 1 << false;
}

void TestBatchIncludes::includedFilesEncoded() {
  QFETCH(QStringList, args);
  QFETCH(int, exit);
  QFETCH(bool, encoded);
  const fs::path site = root_ / "html", out = root_ / (std::string("html-") + QTest::currentDataTag());
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((root_ / "config").string()));
  p.setProcessEnvironment(e);
  p.start(tmp_.filePath(QStringLiteral("app/quillward-batch")),
          args + QStringList{QString::fromStdString(site.string()), QString::fromStdString(out.string())});
  QVERIFY(p.waitForFinished(60000));
  const QString log = QString::fromUtf8(p.readAllStandardOutput());
  QCOMPARE(p.exitCode(), exit);
  const QString root = QString::fromStdString(site.string());
  const QString header = root + "/inc/header.htm - encoded as an include (included by default.asp)";
  const QString menu = root + "/inc/menu.js - encoded as an include (included by inc/header.htm)";
  QCOMPARE(log.contains(header + "\n"), encoded);
  QCOMPARE(log.contains(menu + "\n"), encoded);
  QVERIFY2(log.contains(root + "/inc/page.htm\n") || !encoded, qPrintable(log));
  if (!encoded) {
    QVERIFY2(log.contains("Warning: inc/header.htm is included by default.asp and was copied unencoded\n"), qPrintable(log));
    QVERIFY(log.contains(", 2 failed"));  // header.htm and the menu.js it includes
    return;
  }
  // No server script readable in the include, nor the client script HTML mode encodes;
  // a client element holding <%= %> stays as an ASP page's would, its block encoded where
  // IIS sees it. Every file decodes to its source, and the second pass left nothing behind.
  const std::string inc = Read(out / "inc/header.htm");
  QVERIFY(inc.find("#@~^") != std::string::npos && inc.find("title = ") == std::string::npos);
  QVERIFY2(inc.find("menuOpen") == std::string::npos, inc.c_str());
  QVERIFY2(inc.find("<script language=JScript.Encode>#@~^") != std::string::npos, inc.c_str());
  QVERIFY2(inc.find("<script language=JavaScript>var pageTitle = \"<%=#@~^") != std::string::npos, inc.c_str());
  for (const auto& entry : fs::directory_iterator(out / "inc"))
    QVERIFY2(entry.path().filename().string()[0] != '.', entry.path().c_str());
  QVERIFY(inc.find("<%@") == std::string::npos);  // an include gets no directive of its own
  QVERIFY(Read(out / "inc/menu.js").find("items") == std::string::npos);
  for (const char* file : {"default.asp", "inc/header.htm", "inc/menu.js"}) {
    const QString decoded = tmp_.filePath(QStringLiteral("decoded"));
    QProcess d;
    d.start(tmp_.filePath(QStringLiteral("app/screnc")),
            {"--decode", QString::fromStdString((out / file).string()), decoded});
    QVERIFY(d.waitForFinished(60000));
    QCOMPARE(d.exitCode(), 0);
    // The decoder names an encoded element's language by its engine: JavaScript reads JScript.
    std::string text = Read(decoded.toStdString());
    if (const std::size_t at = text.find("<script language=JScript>"); at != std::string::npos)
      text.replace(at + 17, 7, "JavaScript");
    QCOMPARE(text, Read(site / file));
  }
}

QTEST_GUILESS_MAIN(TestBatchIncludes)
#include "test_batch_includes.moc"
