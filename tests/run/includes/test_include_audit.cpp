// Server includes: which spellings are directives, where their paths lead, and what the
// audit after a run says about real trees (nested includes, ignore rules, failed and
// missing targets, letter case on file systems that tell it apart and that do not).
#include "run/encode_run.h"
#include "run/includes/include_directives.h"
#include "run/settings/run_settings.h"
#include "test_support.h"

#include <QProcess>
#include <QtTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TestIncludeAudit : public QObject, protected RunTreeFixture {
  Q_OBJECT
private slots:
  void init() { ResetTree(false, false); }
  void directives_data();
  void directives();
  void resolution_data();
  void resolution();
  void audit_data();
  void audit();
  void strictFindingsAreFailures();
  void stoppedRunIsNotAudited();
  void letterCaseOnFat();

private:
  // files: "path|content" ("|FIFO" makes a FIFO); settings: "key=value" of [Settings].
  RunOutcome Run(const QStringList& files, const QStringList& settings, bool strict = false);
  QStringList Findings() const;
};

RunOutcome TestIncludeAudit::Run(const QStringList& files, const QStringList& settings, bool strict) {
  for (const QString& f : files) {
    const std::string path = S(f.section(QLatin1Char('|'), 0, 0));
    const QString content = f.section(QLatin1Char('|'), 1);
    if (content == QLatin1String("FIFO")) {
      fs::create_directories((src_ / path).parent_path());
      if (::mkfifo((src_ / path).c_str(), 0600) != 0) qFatal("mkfifo failed");
    } else {
      WriteFile(src_, path, content.toUtf8());
    }
  }
  MemorySettingsStore store;
  store.Write(kSettingsSection, "Jobs", "2");
  store.Write(kSettingsSection, "chkASP", "1");
  for (const QString& kv : settings) {
    store.Write(kSettingsSection, S(kv.section(QLatin1Char('='), 0, 0)), S(kv.section(QLatin1Char('='), 1)));
  }
  if (strict) store.Write(kThisRunSection, "Strict", "1");
  return RunEncoding(host_, store);
}

QStringList TestIncludeAudit::Findings() const {
  QStringList found;
  for (const QString& e : host_.entries) {
    if (e.contains(QLatin1String(" is included by "))) found << e;
  }
  return found;
}

void TestIncludeAudit::directives_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QStringList>("found");  // "file:PATH" or "virtual:PATH"
  const QStringList a{"file:a.inc"};
  QTest::newRow("as documented") << QByteArray("<!-- #include file=\"a.inc\" -->") << a;
  QTest::newRow("no blanks") << QByteArray("x<!--#include file=\"a.inc\"-->y") << a;
  QTest::newRow("blanks, tabs and line ends everywhere")
      << QByteArray("<!--  \t#include\r\n  file \t=\n \"a.inc\"  \r\n-->") << a;
  QTest::newRow("keywords in capitals") << QByteArray("<!-- #INCLUDE VIRTUAL=\"/a.inc\" -->") << QStringList{"virtual:/a.inc"};
  QTest::newRow("mixed case") << QByteArray("<!-- #Include File=\"a.inc\" -->") << a;
  QTest::newRow("single quotes: IIS includes nothing") << QByteArray("<!-- #include file='a.inc' -->") << QStringList{};
  QTest::newRow("no quotes: IIS includes nothing") << QByteArray("<!-- #include file=a.inc -->") << QStringList{};
  QTest::newRow("blank inside # include") << QByteArray("<!-- # include file=\"a.inc\" -->") << QStringList{};
  QTest::newRow("no blank after #include") << QByteArray("<!--#includefile=\"a.inc\"-->") << QStringList{};
  QTest::newRow("not closed") << QByteArray("<!-- #include file=\"a.inc\"") << QStringList{};
  QTest::newRow("text before the close") << QByteArray("<!-- #include file=\"a.inc\" x -->") << QStringList{};
  QTest::newRow("empty path") << QByteArray("<!-- #include file=\"\" -->") << QStringList{};
  QTest::newRow("another attribute") << QByteArray("<!-- #include href=\"a.inc\" -->") << QStringList{};
  QTest::newRow("in server script, then after it")
      << QByteArray("<% ' <!-- #include file=\"s.inc\" --> %><!-- #include file=\"a.inc\" -->") << a;
  QTest::newRow("server script ends at the first %>, quoted or not")
      << QByteArray("<% s = \"%>\" <!-- #include file=\"a.inc\" -->") << a;
  QTest::newRow("server script never closed") << QByteArray("<% x <!-- #include file=\"a.inc\" -->") << QStringList{};
  QTest::newRow("in <script runat=server>, then after it")
      << QByteArray("<SCRIPT LANGUAGE=VBScript RUNAT=Server><!-- #include file=\"s.inc\" --></SCRIPT>"
                    "<!-- #include file=\"a.inc\" -->")
      << a;
  QTest::newRow("in <script runat=\"server\">")
      << QByteArray("<script runat=\"server\" language=\"JScript\">\n<!-- #include file=\"s.inc\" -->\n</script >")
      << QStringList{};
  QTest::newRow("in client script: IIS includes it")
      << QByteArray("<script language=\"JavaScript\"><!-- #include file=\"a.inc\" --></script>") << a;
  QTest::newRow("in an HTML comment: IIS includes it")
      << QByteArray("<!-- old: <!-- #include file=\"a.inc\" --> -->") << a;
  QTest::newRow("a script expression in the path is taken as written")
      << QByteArray("<!--#include file=\"<%= name %>\"-->") << QStringList{"file:<%= name %>"};
  QTest::newRow("several, in order")
      << QByteArray("<!--#include virtual=\"/v.inc\"--><p><!--#include file=\"a.inc\"-->")
      << QStringList{"virtual:/v.inc", "file:a.inc"};
  const char16_t utf16[] = u"<!--#include file=\"a.inc\"-->";
  QTest::newRow("UTF-16 page") << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(utf16), sizeof utf16 - 2)
                               << a;
  QTest::newRow("Windows-1252 name") << QByteArray("<!--#include file=\"caf\xE9.inc\"-->") << QStringList{"file:café.inc"};
}

void TestIncludeAudit::directives() {
  QFETCH(QByteArray, text);
  QFETCH(QStringList, found);
  QStringList got;
  for (const IncludeDirective& d : FindIncludes(PageText(text.toStdString()))) {
    got << (d.isVirtual ? "virtual:" : "file:") + Q(d.path);
  }
  QCOMPARE(got, found);
}

void TestIncludeAudit::resolution_data() {
  QTest::addColumn<QString>("includer");
  QTest::addColumn<bool>("isVirtual");
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("resolved");  // empty: outside the source folder, or no file
  QTest::newRow("file, beside") << "default.asp" << false << "db.inc" << "db.inc";
  QTest::newRow("file, from a subfolder's page") << "admin/page.asp" << false << "inc/db.inc" << "admin/inc/db.inc";
  QTest::newRow("file, .. and backslashes") << "admin/page.asp" << false << "..\\inc\\db.inc" << "inc/db.inc";
  QTest::newRow("file, . and .. inside") << "admin/page.asp" << false << "./x/../db.inc" << "admin/db.inc";
  QTest::newRow("file, doubled separator") << "page.asp" << false << "inc//db.inc" << "inc/db.inc";
  QTest::newRow("file, above the root") << "page.asp" << false << "../db.inc" << "";
  QTest::newRow("file, leading separator") << "page.asp" << false << "/db.inc" << "";
  QTest::newRow("file, drive letter") << "page.asp" << false << "C:\\inc\\db.inc" << "";
  QTest::newRow("file, ends in a separator") << "page.asp" << false << "inc/" << "";
  QTest::newRow("virtual, from the root") << "a/b/page.asp" << true << "/inc/db.inc" << "inc/db.inc";
  QTest::newRow("virtual, backslashes") << "a/page.asp" << true << "\\inc\\db.inc" << "inc/db.inc";
  QTest::newRow("virtual, no leading separator") << "a/page.asp" << true << "inc/db.inc" << "a/inc/db.inc";
  QTest::newRow("virtual, .. inside") << "a/page.asp" << true << "/a/../inc/db.inc" << "inc/db.inc";
  QTest::newRow("virtual, above the root") << "a/page.asp" << true << "/../db.inc" << "";
  QTest::newRow("virtual, UNC path") << "page.asp" << true << "\\\\server\\share\\db.inc" << "";
  QTest::newRow("letter case kept") << "Admin/Page.asp" << false << "DB.inc" << "Admin/DB.inc";
}

void TestIncludeAudit::resolution() {
  QFETCH(QString, includer);
  QFETCH(bool, isVirtual);
  QFETCH(QString, path);
  QFETCH(QString, resolved);
  const std::optional<std::string> got = ResolveInclude(S(includer), IncludeDirective{isVirtual, S(path)});
  QCOMPARE(got ? Q(*got) : QString(), resolved);
}

void TestIncludeAudit::audit_data() {
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<QStringList>("settings");
  QTest::addColumn<QStringList>("findings");
  const QString page = QStringLiteral("default.asp|<%@ LANGUAGE=VBScript %>\r\n<!-- #include file=\"%1\" -->\r\n<% x %>");
  QTest::newRow("encoded include: nothing to say")
      << QStringList{page.arg("inc/db.inc"), "inc/db.inc|<% c %>"} << QStringList{} << QStringList{};
  QTest::newRow("include copied: its kind is not listed")
      << QStringList{page.arg("inc/db.inc"), "inc/db.inc|<% c %>"} << QStringList{"txtDefxt="}
      << QStringList{"Warning: inc/db.inc is included by default.asp and was copied unencoded"};
  QTest::newRow("nested: an encoded include pulls in a copied file")
      << QStringList{page.arg("inc/a.inc"), "inc/a.inc|<!--#include file=\"b.txt\"-->", "inc/b.txt|<% b %>"}
      << QStringList{} << QStringList{"Warning: inc/b.txt is included by inc/a.inc and was copied unencoded"};
  QTest::newRow("nested through a copied file, from its own folder")
      << QStringList{page.arg("lib/x.txt"), "lib/x.txt|<!--#include file=\"y.txt\"-->", "lib/y.txt|<% y %>"}
      << QStringList{}
      << QStringList{"Warning: lib/x.txt is included by default.asp and was copied unencoded",
                     "Warning: lib/y.txt is included by lib/x.txt and was copied unencoded"};
  QTest::newRow("missing, virtual from the root")
      << QStringList{"sub/p.asp|<!-- #include virtual=\"/inc/gone.inc\" -->"} << QStringList{}
      << QStringList{"Warning: inc/gone.inc is included by sub/p.asp and does not exist"};
  QTest::newRow("one line per target, the first includer by log order")
      << QStringList{"b.asp|<!--#include file=\"lib.txt\"-->", "a.asp|<!--#include file=\"lib.txt\"-->",
                     "c/c.asp|<!--#include file=\"../lib.txt\"--><!--#include virtual=\"/lib.txt\"-->", "lib.txt|x"}
      << QStringList{} << QStringList{"Warning: lib.txt is included by a.asp (and 2 more) and was copied unencoded"};
  QTest::newRow("excluded file and excluded folder")
      << QStringList{".quillwardignore|secret.inc\nprivate/\n",
                     "default.asp|<!--#include file=\"secret.inc\"--><!--#include file=\"private/k.inc\"-->",
                     "secret.inc|s", "private/k.inc|k"}
      << QStringList{}
      << QStringList{"Warning: secret.inc is included by default.asp and is excluded by the ignore rules: it is not deployed",
                     "Warning: private/k.inc is included by default.asp and is excluded by the ignore rules: it is not deployed"};
  QTest::newRow("failed target, a folder, outside the source")
      << QStringList{"default.asp|<!--#include file=\"pipe.inc\"--><!--#include file=\"inc\"--><!--#include file=\"..\\x.inc\"-->",
                     "pipe.inc|FIFO", "inc/a.inc|a"}
      << QStringList{}
      << QStringList{"Warning: pipe.inc is included by default.asp and failed: it is not deployed",
                     "Warning: inc is included by default.asp and is a folder",
                     "Warning: ..\\x.inc is included by default.asp and lies outside the source folder"};
  QTest::newRow("letter case differs on a file system that tells it apart")
      << QStringList{page.arg("INC/Db.inc"), "inc/db.inc|<% c %>"} << QStringList{}
      << QStringList{"Warning: inc/db.inc is included by default.asp as INC/Db.inc: only a server that ignores letter case finds it"};
  QTest::newRow("letter case differs, and copied")
      << QStringList{page.arg("Lib.txt"), "lib.txt|x"} << QStringList{}
      << QStringList{"Warning: lib.txt is included by default.asp as Lib.txt: only a server that ignores letter case finds it",
                     "Warning: lib.txt is included by default.asp and was copied unencoded"};
  QTest::newRow("an empty include, copied as it is: nothing to say")
      << QStringList{page.arg("inc/empty.inc"), "inc/empty.inc|"} << QStringList{} << QStringList{};
  QTest::newRow("a page copied plain is not audited")
      << QStringList{page.arg("gone.inc")} << QStringList{"chkASP=0"} << QStringList{};
  QTest::newRow("global.asa is audited")
      << QStringList{"global.asa|<!--#include file=\"gone.inc\"-->"} << QStringList{}
      << QStringList{"Warning: gone.inc is included by global.asa and does not exist"};
  QTest::newRow("a directive in server script includes nothing")
      << QStringList{"default.asp|<% '<!--#include file=\"gone.inc\"--> %>"} << QStringList{} << QStringList{};
  QTest::newRow("includes that loop end")
      << QStringList{page.arg("a.inc"), "a.inc|<!--#include file=\"b.inc\"-->", "b.inc|<!--#include file=\"a.inc\"-->"}
      << QStringList{} << QStringList{};
}

void TestIncludeAudit::audit() {
  QFETCH(QStringList, files);
  QFETCH(QStringList, settings);
  QFETCH(QStringList, findings);
  const RunOutcome out = Run(files, settings);
  QCOMPARE(out.status, RunOutcome::Status::Completed);
  QCOMPARE(Findings(), findings);
  QCOMPARE(out.includeFindings, static_cast<long long>(findings.size()));
  QVERIFY2(host_.entries.last().startsWith(QLatin1String("Done: ")), qPrintable(host_.entries.last()));
}

void TestIncludeAudit::strictFindingsAreFailures() {
  const QStringList files{"default.asp|<!--#include file=\"a.txt\"--><!--#include file=\"gone.inc\"-->", "a.txt|a"};
  const RunOutcome warned = Run(files, {});
  QCOMPARE(warned.failed, 0);
  QCOMPARE(host_.entries.last(), QStringLiteral("Done: 2 files, 0 failed"));
  init();
  const RunOutcome strict = Run(files, {}, true);
  QCOMPARE(strict.failed, 2);
  QCOMPARE(strict.includeFindings, 2);
  QCOMPARE(Findings().size(), 2);
  QCOMPARE(host_.entries.last(), QStringLiteral("Done: 2 files, 2 failed"));
}

void TestIncludeAudit::stoppedRunIsNotAudited() {
  host_.onEvents = [](RecordingHost& h) {
    if (h.entries.size() > 2) h.state.StopRequested = true;
  };
  const RunOutcome out = Run({"a.asp|<!--#include file=\"gone.inc\"-->", "b.asp|b", "c.asp|c"}, {"Jobs=1"});
  QCOMPARE(out.status, RunOutcome::Status::Stopped);
  QCOMPARE(Findings(), QStringList{});
  QCOMPARE(out.includeFindings, 0);
}

// On a file system that ignores letter case the directive's spelling names the file:
// only what is wrong with the file itself is said.
void TestIncludeAudit::letterCaseOnFat() {
  if (::geteuid() != 0) QSKIP("mounting a FAT image needs root");
  const fs::path mnt = TempPath(*tmpDir_, "mnt");
  fs::create_directories(mnt);
  QProcess mk, mount;
  mk.start(QStringLiteral("mkfs.vfat"), {QStringLiteral("-C"), Q(TempPath(*tmpDir_, "fat.img").string()), QStringLiteral("2048")});
  if (!mk.waitForFinished(20000) || mk.exitCode() != 0) QSKIP("cannot make a FAT image here");
  mount.start(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), Q(TempPath(*tmpDir_, "fat.img").string()), Q(mnt.string())});
  if (!mount.waitForFinished(20000) || mount.exitCode() != 0) QSKIP("cannot mount a FAT image here");
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mnt};
  src_ = mnt / "site";
  host_.source = src_;
  Run({"default.asp|<!--#include file=\"INC/Db.inc\"--><!--#include file=\"Lib.TXT\"-->", "inc/db.inc|<% c %>", "lib.txt|x"}, {});
  QCOMPARE(Findings(), QStringList{"Warning: lib.txt is included by default.asp and was copied unencoded"});
}

QTEST_GUILESS_MAIN(TestIncludeAudit)
#include "test_include_audit.moc"
