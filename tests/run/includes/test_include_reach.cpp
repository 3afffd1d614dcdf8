// What the include pass finds before the walk: which files the ASP pages reach through
// includes, in turn, and which of them hold server script, on real trees: letter case,
// cycles, special files and directives that are not ones.
#include <QtTest>

#include "run/includes/include_reach.h"
#include "test_support.h"

#include <sys/stat.h>

class TestIncludeReach : public QObject {
  Q_OBJECT
private slots:
  void reached_data();
  void reached();
};

void TestIncludeReach::reached_data() {
  QTest::addColumn<QStringList>("files");  // "path=bytes"; "path=|" is a FIFO
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("includer");  // empty: not encoded as an include
  const QString server = QStringLiteral("<% x = 1 %>");
  QTest::newRow("an .htm holding server script")
      << QStringList{"p.asp=<!--#include file=\"inc/h.htm\"-->", "inc/h.htm=" + server} << "inc/h.htm" << "p.asp";
  QTest::newRow("client script only")
      << QStringList{"p.asp=<!--#include file=\"inc/h.htm\"-->", "inc/h.htm=<script language=JScript>f()</script>"}
      << "inc/h.htm" << "";
  QTest::newRow("a server script element")
      << QStringList{"p.asp=<!--#include file=\"h.js\"-->", "h.js=<script runat=server language=JScript>f()</script>"}
      << "h.js" << "p.asp";
  QTest::newRow("a directive only") << QStringList{"p.asp=<!--#include file=\"h.htm\"-->", "h.htm=<%@ CODEPAGE=65001 %>"}
                                    << "h.htm" << "";
  QTest::newRow("nested, by the file that includes it")
      << QStringList{"p.asp=<!--#include virtual=\"/inc/a.htm\"-->", "inc/a.htm=<!--#include file=\"b/c.htm\"-->",
                     "inc/b/c.htm=" + server}
      << "inc/b/c.htm" << "inc/a.htm";
  QTest::newRow("the first page in the walk's order")
      << QStringList{"z.asp=<!--#include file=\"h.htm\"-->", "a.asp=<!--#include file=\"h.htm\"-->", "h.htm=" + server}
      << "h.htm" << "a.asp";
  QTest::newRow("letter case of folder and name")
      << QStringList{"p.asp=<!--#include file=\"INC\\H.HTM\"-->", "inc/h.htm=" + server} << "inc/h.htm" << "p.asp";
  QTest::newRow("a cycle") << QStringList{"p.asp=<!--#include file=\"a.htm\"-->", "a.htm=<!--#include file=\"b.htm\"-->",
                                          "b.htm=<!--#include file=\"a.htm\"-->" + server}
                           << "b.htm" << "a.htm";
  QTest::newRow("inside server script: no directive")
      << QStringList{"p.asp=<% '<!--#include file=\"h.htm\"--> %>", "h.htm=" + server} << "h.htm" << "";
  QTest::newRow("a FIFO is never opened") << QStringList{"p.asp=<!--#include file=\"f.htm\"-->", "f.htm=|"} << "f.htm" << "";
  QTest::newRow("outside the source") << QStringList{"p.asp=<!--#include file=\"../h.htm\"-->", "h.htm=" + server}
                                      << "h.htm" << "";
  QTest::newRow("a folder of that name")
      << QStringList{"p.asp=<!--#include file=\"d\"-->", "d/x.htm=" + server} << "d/x.htm" << "";
}

void TestIncludeReach::reached() {
  QFETCH(QStringList, files);
  QFETCH(QString, target);
  QFETCH(QString, includer);
  QTemporaryDir tmp;
  const fs::path root = TempPath(tmp, "site");
  std::vector<std::string> pages;
  for (const QString& file : files) {
    const std::string path = S(file.section('=', 0, 0)), bytes = S(file.section('=', 1));
    if (bytes == "|") {
      fs::create_directories((root / path).parent_path());
      QCOMPARE(::mkfifo((root / path).c_str(), 0600), 0);
    } else {
      WriteFile(root, path, QByteArray::fromStdString(bytes));
    }
    if (path.ends_with(".asp")) pages.push_back(path);
  }
  std::sort(pages.begin(), pages.end());
  IncludeReach reach;
  reach.Find(root, pages, 2);
  const std::string* found = reach.ServerScriptIncluder(S(target));
  QCOMPARE(found ? Q(*found) : QString(), includer);
  // The pages' directives are kept for the audit.
  for (const std::string& page : pages) QVERIFY(reach.Directives(page));
}

QTEST_GUILESS_MAIN(TestIncludeReach)
#include "test_include_reach.moc"
