// Type names and the rules that decide between copying and encoding.
#include "run/walk/file_kind.h"

#include <QtTest>

Q_DECLARE_METATYPE(FileKind)

namespace {
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string S(const QString& text) { return text.toStdString(); }
}  // namespace

class TestClassify : public QObject {
  Q_OBJECT
private slots:
  void typeDescription_data();
  void typeDescription();
  void classify_data();
  void classify();
  void scriptLeftPlain_data();
  void scriptLeftPlain();
};

void TestClassify::typeDescription_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("type");
  QTest::newRow("asp") << "default.asp" << "Active Server Page";
  QTest::newRow("ASP capitals") << "DEFAULT.ASP" << "Active Server Page";
  QTest::newRow("htm") << "a.htm" << "HTML Document";
  QTest::newRow("html") << "a.Html" << "HTML Document";
  QTest::newRow("js") << "app.min.js" << "JScript Script File";
  QTest::newRow("vbs") << "tool.vbs" << "VBScript Script File";
  QTest::newRow("no extension") << "README" << "File";
  QTest::newRow("trailing dot") << "odd." << "File";
  QTest::newRow("other") << "logo.gif" << "GIF File";
  QTest::newRow("include") << "db.inc" << "INC File";
  QTest::newRow("dot file") << ".htaccess" << "HTACCESS File";
}

void TestClassify::typeDescription() {
  QFETCH(QString, name);
  QFETCH(QString, type);
  QCOMPARE(Q(TypeDescription(S(name))), type);
}

void TestClassify::classify_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("switches");  // letters: a=asp h=html j=js v=vbs
  QTest::addColumn<QString>("extensions");
  QTest::addColumn<FileKind>("kind");
  const QString inc = QStringLiteral("*.inc");
  QTest::newRow("asp on") << "p.asp" << "a" << inc << FileKind::EncodeAspPage;
  QTest::newRow("asp off") << "p.asp" << "" << inc << FileKind::Copy;
  QTest::newRow("asp off but listed") << "p.asp" << "" << "*.inc *.asp" << FileKind::EncodeAspByExtension;
  QTest::newRow("html on") << "p.htm" << "h" << inc << FileKind::EncodeHtml;
  QTest::newRow("html off") << "p.html" << "ajv" << inc << FileKind::Copy;
  QTest::newRow("js on") << "s.js" << "j" << inc << FileKind::EncodePlain;
  QTest::newRow("js off") << "s.js" << "a" << inc << FileKind::Copy;
  QTest::newRow("vbs on (capital F)") << "t.vbs" << "v" << inc << FileKind::EncodePlain;
  QTest::newRow("vbs off") << "t.vbs" << "" << inc << FileKind::Copy;
  QTest::newRow("inc without asp") << "page.inc" << "" << inc << FileKind::EncodeAspByExtension;
  // The last extension decides, case ignored: an include file never goes out readable.
  QTest::newRow("two dots") << "page.min.inc" << "" << inc << FileKind::EncodeAspByExtension;
  QTest::newRow("conn.db.inc") << "conn.db.inc" << "" << inc << FileKind::EncodeAspByExtension;
  QTest::newRow("capital name") << "DB.INC" << "" << inc << FileKind::EncodeAspByExtension;
  QTest::newRow("capital list") << "db.inc" << "" << "*.INC" << FileKind::EncodeAspByExtension;
  QTest::newRow("bare inc") << "db.inc" << "" << "inc" << FileKind::EncodeAspByExtension;
  QTest::newRow("dot inc") << "db.inc" << "" << ".inc" << FileKind::EncodeAspByExtension;
  QTest::newRow("commas") << "x.lib" << "" << "*.inc,*.lib" << FileKind::EncodeAspByExtension;
  QTest::newRow("semicolons") << "x.lib" << "" << "inc; lib" << FileKind::EncodeAspByExtension;
  QTest::newRow("no substring") << "x.in" << "" << inc << FileKind::Copy;
  QTest::newRow("Makefile.in") << "Makefile.in" << "" << inc << FileKind::Copy;
  QTest::newRow("middle extension") << "page.inc.bak" << "" << inc << FileKind::Copy;
  QTest::newRow("global.asa asp on") << "global.asa" << "a" << inc << FileKind::EncodeAspByExtension;
  QTest::newRow("GLOBAL.ASA asp on") << "GLOBAL.ASA" << "a" << inc << FileKind::EncodeAspByExtension;
  QTest::newRow("global.asa asp off") << "global.asa" << "" << inc << FileKind::Copy;
  QTest::newRow("no extension") << "inc" << "ahjv" << inc << FileKind::Copy;
  QTest::newRow("empty list") << "page.inc" << "" << "" << FileKind::Copy;
  QTest::newRow("image") << "logo.gif" << "ahjv" << inc << FileKind::Copy;
  QTest::newRow("two listed") << "lib.lib" << "" << "*.inc *.lib" << FileKind::EncodeAspByExtension;
}

void TestClassify::classify() {
  QFETCH(QString, name);
  QFETCH(QString, switches);
  QFETCH(QString, extensions);
  QFETCH(FileKind, kind);
  RunSettings s;
  s.EncodeAsp = switches.contains(QLatin1Char('a'));
  s.EncodeHtml = switches.contains(QLatin1Char('h'));
  s.EncodeJs = switches.contains(QLatin1Char('j'));
  s.EncodeVbs = switches.contains(QLatin1Char('v'));
  s.AspExtensions = S(extensions);
  QCOMPARE(ClassifyFile(TypeDescription(S(name)), S(name), s), kind);
}

void TestClassify::scriptLeftPlain_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("switches");
  QTest::addColumn<QString>("option");
  QTest::newRow("asp off") << "a.asp" << "hjv" << "chkASP";
  QTest::newRow("asa off") << "global.asa" << "" << "chkASP";
  QTest::newRow("asp on") << "a.asp" << "a" << "";
  QTest::newRow("htm off") << "a.HTM" << "a" << "chkHTML";
  QTest::newRow("js off") << "a.js" << "" << "chkJS";
  QTest::newRow("vbs off") << "a.vbs" << "" << "Check2";
  QTest::newRow("vbs on") << "a.vbs" << "v" << "";
  QTest::newRow("inc not listed") << "db.inc" << "ahjv" << "txtDefxt";
  QTest::newRow("image") << "a.gif" << "" << "";
}

void TestClassify::scriptLeftPlain() {
  QFETCH(QString, name);
  QFETCH(QString, switches);
  QFETCH(QString, option);
  RunSettings s;
  s.EncodeAsp = switches.contains(QLatin1Char('a'));
  s.EncodeHtml = switches.contains(QLatin1Char('h'));
  s.EncodeJs = switches.contains(QLatin1Char('j'));
  s.EncodeVbs = switches.contains(QLatin1Char('v'));
  QCOMPARE(Q(ScriptOptionOff(S(name), s)), option);
}

QTEST_GUILESS_MAIN(TestClassify)
#include "test_classify.moc"
