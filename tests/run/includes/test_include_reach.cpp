// What the include pass finds before the walk: which files the ASP pages reach through
// includes, in turn, and which of them hold server script, on real trees: letter case,
// cycles, special files and directives that are not ones.
#include <QtTest>

#include "run/includes/include_reach.h"
#include "test_support.h"

#include <atomic>
#include <sys/stat.h>

class TestIncludeReach : public QObject {
  Q_OBJECT
private slots:
  void reached_data();
  void reached();
  void scanText_data();
  void scanText();
  void storedScans_data();
  void storedScans();
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

void TestIncludeReach::scanText_data() {
  QTest::addColumn<QString>("text");    // as the manifest keeps it
  QTest::addColumn<bool>("valid");
  QTest::addColumn<int>("directives");  // when valid
  QTest::newRow("nothing looked for") << "?" << true << 0;
  QTest::newRow("holds server script, no include") << "s" << true << 0;
  QTest::newRow("two, file and virtual") << "nf5:a.inc" "v8:/b/c.inc" << true << 2;
  QTest::newRow("a path with digits, colons and marks") << "?f9:12:v3:f1:" << true << 1;
  QTest::newRow("an empty path") << "?f0:" << true << 1;
  QTest::newRow("empty") << "" << false << 0;
  QTest::newRow("unknown mark") << "xf1:a" << false << 0;
  QTest::newRow("unknown kind") << "?q1:a" << false << 0;
  QTest::newRow("length missing") << "?f:a" << false << 0;
  QTest::newRow("length not a number") << "?f1x:a" << false << 0;
  QTest::newRow("path cut short") << "?f5:a.in" << false << 0;
  QTest::newRow("colon missing") << "?f1a" << false << 0;
}

// What the manifest keeps of a file's scan reads back as it was, and only a whole one does.
void TestIncludeReach::scanText() {
  QFETCH(QString, text);
  QFETCH(bool, valid);
  QFETCH(int, directives);
  IncludeScan scan;
  QCOMPARE(ParseScan(S(text), scan), valid);
  if (!valid) return;
  QCOMPARE(static_cast<int>(scan.directives.size()), directives);
  QCOMPARE(Q(ScanText(scan)), text);
  // Any bytes in a path, tabs and line ends included.
  scan.directives.push_back({true, "x\t\n\x01:%\xff y"});
  IncludeScan back;
  QVERIFY(ParseScan(ScanText(scan), back));
  QVERIFY(back == scan);
}

void TestIncludeReach::storedScans_data() {
  QTest::addColumn<QString>("kept");      // the stored text for inc/h.htm; empty: none
  QTest::addColumn<int>("timeOffset");    // seconds added to the time the store asks for
  QTest::addColumn<int>("read");          // files read
  QTest::addColumn<QString>("includer");  // of inc/h.htm
  // p.asp includes inc/h.htm, which holds server script; p.asp's scan is always stored.
  QTest::newRow("both as stored: nothing read") << "s" << 0 << 0 << "p.asp";
  QTest::newRow("stored as holding none: taken so") << "n" << 0 << 0 << "";
  QTest::newRow("stored for another time: read") << "n" << 1 << 1 << "p.asp";
  QTest::newRow("script not looked for when stored: read") << "?" << 0 << 1 << "p.asp";
  QTest::newRow("garbled: read") << "sq" << 0 << 1 << "p.asp";
  QTest::newRow("none stored: read") << "" << 0 << 1 << "p.asp";
}

// The pass reads only the files whose stored scan does not hold what it needs, and keeps
// what it read with the size and time the file had before it was read.
void TestIncludeReach::storedScans() {
  QFETCH(QString, kept);
  QFETCH(int, timeOffset);
  QFETCH(int, read);
  QFETCH(QString, includer);
  QTemporaryDir tmp;
  const fs::path root = TempPath(tmp, "site");
  WriteFile(root, "p.asp", "<!--#include file=\"inc/h.htm\"-->");
  WriteFile(root, "inc/h.htm", "<% x = 1 %>");
  const auto pageStamp = StampOf(root / "p.asp"), incStamp = StampOf(root / "inc/h.htm");
  QVERIFY(pageStamp && incStamp);
  const std::string pageScan = "?f9:inc/h.htm", incScan = S(kept);
  std::atomic<int> asked{0};
  const IncludeReach::StoredScans stored = [&](const std::string& relative, const FileStamp& now) -> const std::string* {
    ++asked;
    if (relative == "p.asp") return now == *pageStamp ? &pageScan : nullptr;
    if (relative != "inc/h.htm" || incScan.empty()) return nullptr;
    FileStamp then = *incStamp;
    then.modifiedNs += timeOffset * 1000000000LL;
    return now == then ? &incScan : nullptr;
  };
  IncludeReach reach;
  reach.Find(root, {"p.asp"}, 2, stored);
  QCOMPARE(asked.load(), 2);
  QCOMPARE(static_cast<int>(reach.filesRead), read);
  const std::string* found = reach.ServerScriptIncluder("inc/h.htm");
  QCOMPARE(found ? Q(*found) : QString(), includer);
  QVERIFY(reach.Directives("p.asp") && reach.Directives("p.asp")->size() == 1);
  // Kept for the manifest, with the stamp taken before the read, and for that stamp only.
  const std::string* page = reach.ScanOf("p.asp", pageStamp->size, pageStamp->modifiedNs);
  QVERIFY(page);
  QCOMPARE(Q(*page), Q(pageScan));
  const std::string* inc = reach.ScanOf("inc/h.htm", incStamp->size, incStamp->modifiedNs);
  QVERIFY(inc);
  QCOMPARE(Q(*inc), Q(read == 0 ? incScan : std::string("s")));
  QVERIFY(!reach.ScanOf("inc/h.htm", incStamp->size + 1, incStamp->modifiedNs));
  // Without a store nothing is stamped nor kept.
  IncludeReach plain;
  plain.Find(root, {"p.asp"}, 1);
  QCOMPARE(static_cast<int>(plain.filesRead), 2);
  QVERIFY(!plain.ScanOf("p.asp", pageStamp->size, pageStamp->modifiedNs));
}

QTEST_GUILESS_MAIN(TestIncludeReach)
#include "test_include_reach.moc"
