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
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

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
  void redeployedIncludes();

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

// Deployed again with --changed: what the pages include is kept in the manifest, so an
// include edited alone is encoded as one when it comes to hold server script though its
// page is unchanged, and the audit of unchanged pages still finds what they include, also
// from a manifest written before those were kept.
void TestBatchIncludes::redeployedIncludes() {
  QTemporaryDir dir;
  const fs::path root = dir.path().toStdString();
  QVERIFY(InstallBatchApp(dir.path()));
  Write(root / "site/p.asp", "<!--#include file=\"inc/h.htm\"-->\r\n<% x = 1 %>\r\n");
  Write(root / "site/q.asp", "<% y = 2 %>\r\n");
  Write(root / "site/inc/h.htm", "<p>plain</p>\r\n");
  const auto edit = [&root](const char* file, const std::string& bytes) {
    const fs::path path = root / "site" / file;
    const auto before = fs::last_write_time(path);
    Write(path, bytes);
    fs::last_write_time(path, before + std::chrono::seconds(5));  // never hidden in one tick
  };
  const auto stripScans = [&root] {  // the manifest as an earlier build wrote it: 11 fields a line
    for (const auto& e : fs::directory_iterator(root / "state/Quillward/manifests")) {
      if (e.path().extension() != ".manifest") continue;
      std::string text = Read(e.path()), out;
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        if (line.starts_with("F\t") && std::count(line.begin(), line.end(), '\t') == 11) line.erase(line.rfind('\t'));
        out += line + "\n";
        at = end + 1;
      }
      QVERIFY(out != text);
      Write(e.path(), out);
    }
  };
  const QString gone = QStringLiteral("Warning: inc/gone.inc is included by p.asp and does not exist");
  struct Step {
    const char* name;
    std::function<void()> before;
    QStringList log;  // but "Processing ..." and "- unchanged" lines
  };
  const Step steps[] = {
      {"first run", {}, {"site/p.asp", "site/q.asp", "site/inc/h.htm", "Done: 3 files, 0 failed"}},
      {"nothing changed", {}, {"Done: 0 files, 0 failed, 3 unchanged"}},
      {"the include alone now holds server script", [&] { edit("inc/h.htm", "<% title = \"t\" %>\r\n"); },
       {"site/inc/h.htm - encoded as an include (included by p.asp)", "Done: 1 files, 0 failed, 2 unchanged"}},
      {"the page now also includes a missing file",
       [&] { edit("p.asp", "<!--#include file=\"inc/h.htm\"-->\r\n<!--#include file=\"inc/gone.inc\"-->\r\n"); },
       {"site/p.asp", gone, "Done: 1 files, 0 failed, 2 unchanged"}},
      {"nothing changed: the kept includes audited", {}, {gone, "Done: 0 files, 0 failed, 3 unchanged"}},
      {"a manifest without kept includes", stripScans, {gone, "Done: 0 files, 0 failed, 3 unchanged"}},
      {"and the one it writes after an edit", [&] { edit("q.asp", "<% y = 3 %>\r\n"); },
       {"site/q.asp", gone, "Done: 1 files, 0 failed, 2 unchanged"}},
  };
  for (const Step& step : steps) {
    if (step.before) step.before();
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    e.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
    e.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(dir.path());
    p.start(dir.filePath(QStringLiteral("app/quillward-batch")),
            {"--changed", "--set", "chkASP=1", "--set", "chkHTML=1", "site", "out"});
    QVERIFY(p.waitForFinished(60000));
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeIf([](const QString& l) { return l.startsWith(QStringLiteral("Processing ... ")) || l.endsWith(QStringLiteral(" - unchanged")); });
    if (lines != step.log) qWarning() << step.name << lines;
    QCOMPARE(lines, step.log);
    QCOMPARE(p.exitCode(), 0);
  }
  // The include went through the encoder as part of its page, and decodes back to its source.
  QProcess d;
  d.start(dir.filePath(QStringLiteral("app/screnc")),
          {"--decode", QString::fromStdString((root / "out/inc/h.htm").string()), dir.filePath(QStringLiteral("decoded"))});
  QVERIFY(d.waitForFinished(60000));
  QCOMPARE(d.exitCode(), 0);
  QVERIFY(Read(root / "out/inc/h.htm").find("title") == std::string::npos);
  QCOMPARE(Read(dir.filePath(QStringLiteral("decoded")).toStdString()), Read(root / "site/inc/h.htm"));
}

QTEST_GUILESS_MAIN(TestBatchIncludes)
#include "test_batch_includes.moc"
