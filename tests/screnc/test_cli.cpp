// The command line: parsing (switch spelling, file names starting with "/"), every
// message and exit status of the program, wildcards, in-place encoding, and that a
// failed or killed run never leaves a partial or changed destination.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "command_line.h"
#include "messages.h"
#include "support.h"

using namespace screnc;

namespace {

const QByteArray kUsage =
    "\nUsage:   screnc [/?] [/s] [/f] [/xl] [/l ScriptLanguage] [/e DefaultExtension]\n"
    "\t\t<source> <destination>\n\n";

struct Run {
  int status = -1;
  QByteArray out, err;
};

}  // namespace

class TestCli : public QObject {
  Q_OBJECT

  QTemporaryDir tmp_;
  QString d_;  // this test's folder, absolute, so every file name starts with "/"

  QString at(const QString& name) const { return d_ + "/" + name; }

  void put(const QString& name, const QByteArray& data) { QVERIFY(support::writeAll(at(name), data)); }

  Run run(const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(d_);
    p.start(QStringLiteral(SCRENC_BIN), args);
    Run r;
    if (!p.waitForFinished(60000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
  }

  QStringList expand(QStringList args) const {
    for (QString& a : args) a.replace("@D", d_);
    return args;
  }

  QStringList names(const QString& dir) const {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }

 private slots:
  void init() {
    QVERIFY(tmp_.isValid());
    static int serial = 0;
    d_ = QDir(tmp_.path()).absolutePath() + "/t" + QString::number(++serial);
    QVERIFY(QDir().mkpath(d_));
    put("a.asp", "<p><% x %></p>\r\n");
    put("c.ASP", "<%=y%>");
    put("-dash.asp", "<%z%>");
    put("b.js", "WScript.Echo 1");
    put("readme", "text");
    put("x.txt", "<% x %>");
    put("empty.asp", "");
    put(".hidden.asp", "<%h%>");
    put("ro.asp", "<%r%>");
    QVERIFY(QFile::setPermissions(at("ro.asp"), QFile::ReadOwner | QFile::ReadGroup));
    QVERIFY(QDir(d_).mkdir("folder.asp"));
    QVERIFY(QDir(d_).mkdir("out"));
  }

  void parsing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("flags");  // s f x h (help), then the error: U I T
    QTest::newRow("absolute file names") << QStringList{"/s", "/srv/x.asp", "/out/x.asp"} << QStringList{"/srv/x.asp", "/out/x.asp"} << "s";
    QTest::newRow("top-level file with a dot") << QStringList{"/x.asp", "/y.asp"} << QStringList{"/x.asp", "/y.asp"} << "";
    QTest::newRow("top-level folder with a slash") << QStringList{"a.asp", "/srv/"} << QStringList{"a.asp", "/srv/"} << "";
    QTest::newRow("second character rule") << QStringList{"/silent", "-Force"} << QStringList{} << "sf";
    QTest::newRow("any case") << QStringList{"-S", "/F", "/XL"} << QStringList{} << "sfx";
    QTest::newRow("/v ignored") << QStringList{"/v", "a.js"} << QStringList{"a.js"} << "";
    QTest::newRow("-- ends the switches") << QStringList{"--", "/s", "-f"} << QStringList{"/s", "-f"} << "";
    QTest::newRow("values of /e and /l are never switches") << QStringList{"/e", "/s", "/l", "-f"} << QStringList{} << "";
    QTest::newRow("/xlz") << QStringList{"/xlz"} << QStringList{} << "U";
    QTest::newRow("/x") << QStringList{"/x"} << QStringList{} << "U";
    QTest::newRow("-q") << QStringList{"-q"} << QStringList{} << "U";
    QTest::newRow("lone -") << QStringList{"-"} << QStringList{} << "U";
    QTest::newRow("/e last") << QStringList{"a", "/e"} << QStringList{"a"} << "I";
    QTest::newRow("third file") << QStringList{"a", "b", "c"} << QStringList{"a", "b"} << "T";
    QTest::newRow("/? stops") << QStringList{"/?", "/z"} << QStringList{} << "h";
    QTest::newRow("--help") << QStringList{"--help"} << QStringList{} << "h";
    QTest::newRow("/s before an error") << QStringList{"/s", "/z"} << QStringList{} << "sU";
  }
  void parsing() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, files);
    QFETCH(QString, flags);
    std::vector<std::string> keep;
    for (const QString& a : args) keep.push_back(a.toStdString());
    const ParseResult r = parse_command_line({keep.begin(), keep.end()});
    QStringList got;
    for (const std::string& f : r.line.files) got << QString::fromStdString(f);
    QCOMPARE(got, files);
    QCOMPARE(r.line.silent, flags.contains('s'));
    QCOMPARE(r.line.force, flags.contains('f'));
    QCOMPARE(r.line.no_directive, flags.contains('x'));
    QCOMPARE(r.line.help, flags.contains('h'));
    const ParseError e = flags.contains('U') ? ParseError::Unrecognized
                         : flags.contains('I') ? ParseError::Incomplete
                         : flags.contains('T') ? ParseError::TooMany
                                               : ParseError::None;
    QCOMPARE(r.error, e);
  }

  void switchValues() {
    std::vector<std::string_view> a{"/e", "asp", "/l", "JScript", "/cp", "936", "/nl", "CRLF", "s", "d"};
    ParseResult r = parse_command_line(a);
    QCOMPARE(r.error, ParseError::None);
    QCOMPARE(*r.line.extension, std::string(".asp"));
    QCOMPARE(*r.line.language, std::string("JScript"));
    QCOMPARE(*r.line.code_page, std::string("936"));
    QVERIFY(r.line.crlf_after_directive);
    a = {"-e", ".inc", "/nl", "lf"};
    r = parse_command_line(a);
    QCOMPARE(*r.line.extension, std::string(".inc"));
    QVERIFY(!r.line.crlf_after_directive);
  }

  // The program's words on stdout and its exit status.
  void messages_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("status");
    const QByteArray help = "\n" + support::bytes(message_text(Msg::Help));
    const QByteArray special = " has a special attribute (read-only, hidden, sysytem), it will not be encoded\n";
    const QByteArray same = "\nSource and destination are the same ('@D/a.asp').\nUse -f switch to override\n";
    QTest::newRow("no arguments") << QStringList{} << kUsage << 255;
    QTest::newRow("/?") << QStringList{"/?"} << kUsage + help << 0;
    QTest::newRow("-?") << QStringList{"-?"} << kUsage + help << 0;
    QTest::newRow("unrecognized") << QStringList{"/z", "@D/a.asp"} << kUsage + "\nUnrecognized flag: /z\n" << 255;
    QTest::newRow("incomplete /l") << QStringList{"@D/a.asp", "@D/out/a.asp", "/l"} << kUsage + "\nIncomplete flag: /l\n" << 255;
    QTest::newRow("incomplete /e") << QStringList{"-e"} << kUsage + "\nIncomplete flag: -e\n" << 255;
    QTest::newRow("third file") << QStringList{"@D/a.asp", "@D/out/a.asp", "@D/x"} << kUsage << 255;
    QTest::newRow("missing source") << QStringList{"/xl"} << kUsage + "\nMissing <source>\n" << 255;
    QTest::newRow("missing destination") << QStringList{"@D/a.asp"} << kUsage + "\nMissing <destination>\n" << 255;
    QTest::newRow("no extension") << QStringList{"@D/readme", "@D/out/r"}
        << kUsage + "\nInput file (@D/readme) does not specify a valid extension, use -e option\n" << 255;
    QTest::newRow("pattern ending in *") << QStringList{"@D/a.*", "@D/out"}
        << kUsage + "\nInput file (@D/a.*) does not specify a valid extension, use -e option\n" << 255;
    QTest::newRow("unknown extension") << QStringList{"@D/x.txt", "@D/out/x.txt"}
        << QByteArray("\nScripting encoder object (\"Scripting.Encoder\") failed on @D/x.txt\n") << 255;
    QTest::newRow("unknown language") << QStringList{"/l", "PerlScript", "@D/a.asp", "@D/out/a.asp"}
        << QByteArray("\nScripting encoder object (\"Scripting.Encoder\") failed on @D/a.asp\n") << 255;
    QTest::newRow("missing source file") << QStringList{"@D/nope.asp", "@D/out/nope.asp"}
        << QByteArray("\nCannot open file '@D/nope.asp' for reading\n") << 255;
    QTest::newRow("no match") << QStringList{"@D/*.zzz", "@D/out"}
        << QByteArray("\nCannot open file '@D/*.zzz' for reading\n") << 255;
    QTest::newRow("same file") << QStringList{"@D/a.asp", "@D/a.asp"} << kUsage + same << 255;
    QTest::newRow("same file, /f, other spelling") << QStringList{"/f", "a.asp", "@D/./out/../a.asp"} << kUsage + same << 255;
    QTest::newRow("same folder with a pattern") << QStringList{"@D/*.asp", "@D/"}
        << kUsage + "\nSource and destination are the same ('@D/*.asp').\nUse -f switch to override\n" << 255;
    QTest::newRow("empty file") << QStringList{"@D/empty.asp", "@D/out/e.asp"} << QByteArray("\nBad format for file '@D/empty.asp'\n") << 255;
    QTest::newRow("hidden file") << QStringList{"@D/.hidden.asp", "@D/out/h.asp"} << "\nFile @D/.hidden.asp" + special << 255;
    QTest::newRow("folder") << QStringList{"@D/folder.asp", "@D/out/f.asp"} << "\nFile @D/folder.asp" + special << 255;
    QTest::newRow("read-only in place") << QStringList{"/f", "@D/ro.asp"} << "\nFile @D/ro.asp" + special << 255;
    QTest::newRow("read-only source to a copy") << QStringList{"@D/ro.asp", "@D/out/ro.asp"} << QByteArray() << 0;
    QTest::newRow("cannot write") << QStringList{"@D/a.asp", "@D/nofolder/a.asp"}
        << QByteArray("\nCannot open file '@D/nofolder/a.asp' for writing\n") << 255;
    QTest::newRow("unknown code page") << QStringList{"/cp", "1234", "@D/a.asp", "@D/out/a.asp"} << kUsage + "\nUnrecognized flag: 1234\n" << 255;
    QTest::newRow("bad /nl value") << QStringList{"/nl", "cr", "@D/a.asp", "@D/out/a.asp"} << kUsage + "\nUnrecognized flag: cr\n" << 255;
    QTest::newRow("success says nothing") << QStringList{"@D/a.asp", "@D/out/a.asp"} << QByteArray() << 0;
    QTest::newRow("/e without a dot") << QStringList{"/e", "asp", "@D/x.txt", "@D/out/x.txt"} << QByteArray() << 0;
    QTest::newRow("relative names") << QStringList{"b.js", "out/b.js"} << QByteArray() << 0;
    QTest::newRow("file named like a switch after --") << QStringList{"--", "-dash.asp", "@D/out/d.asp"} << QByteArray() << 0;
    QTest::newRow("/s silences errors") << QStringList{"/s", "@D/nope.asp", "@D/out/n.asp"} << QByteArray() << 255;
    QTest::newRow("/silent silences usage") << QStringList{"/silent", "@D/a.asp"} << QByteArray() << 255;
    QTest::newRow("-S after the files") << QStringList{"@D/x.txt", "@D/out/x.txt", "-S"} << QByteArray() << 255;
  }
  void messages() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, out);
    QFETCH(int, status);
    const Run r = run(expand(args));
    QCOMPARE(QString::fromUtf8(r.out), QString::fromUtf8(out).replace("@D", d_));
    QCOMPARE(r.status, status);
  }

  // Each system error also names the call and the file, on stderr.
  void errorDetails() {
    Run r = run({at("nope.asp"), at("out/n.asp")});
    QVERIFY2(r.err.contains(("stat '" + at("nope.asp") + "': No such file").toUtf8()), r.err.constData());
    r = run({at("a.asp"), at("nofolder/a.asp")});
    QVERIFY2(r.err.contains(("mkstemp '" + at("nofolder") + "': No such file").toUtf8()), r.err.constData());
    r = run({"/s", at("nope.asp"), at("out/n.asp")});
    QVERIFY(r.err.isEmpty());
  }

  void encodesOneFile() {
    const Run r = run({"/s", "/l", "VBScript", at("a.asp"), at("out/a.asp")});
    QCOMPARE(r.status, 0);
    QCOMPARE(names(at("out")), QStringList{"a.asp"});
    QCOMPARE(support::readAll(at("out/a.asp")),
             "<%@ LANGUAGE = VBScript.Encode %>\n<p><%" + support::bytes(support::block(" x ")) + "%></p>\r\n");
  }

  void wildcards() {
    const Run r = run({at("*.asp"), at("out")});
    QCOMPARE(r.status, 0);
    // Matching ignores case; hidden files, folders and empty files are reported.
    QCOMPARE(names(at("out")), (QStringList{"-dash.asp", "a.asp", "c.ASP", "ro.asp"}));
    for (const char* skipped : {".hidden.asp", "folder.asp"})
      QVERIFY(r.out.contains(("File " + at(skipped) + " has a special attribute").toUtf8()));
    QVERIFY(r.out.contains(("Bad format for file '" + at("empty.asp") + "'").toUtf8()));
    QVERIFY(support::readAll(at("out/c.ASP")).startsWith("<%@ LANGUAGE"));
  }

  void wildcardExtensionPerFile() {
    const Run r = run({"/s", at("*.?s"), at("out")});  // b.js only; .js decides the kind
    QCOMPARE(r.status, 0);
    QCOMPARE(support::readAll(at("out/b.js")), support::bytes(support::block("WScript.Echo 1")));
  }

  void includeFilesAsAsp() {
    put("top.inc", "<% Sub A %>");
    const Run r = run({"-e", "asp", "-xl", "-s", at("*.inc"), at("out")});
    QCOMPARE(r.status, 0);
    QCOMPARE(support::readAll(at("out/top.inc")), "<%" + support::bytes(support::block(" Sub A ")) + "%>");
  }

  void inPlaceKeepsPermissions() {
    QVERIFY(QFile::setPermissions(at("a.asp"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const Run r = run({"/f", at("a.asp")});
    QCOMPARE(r.status, 0);
    QVERIFY(support::readAll(at("a.asp")).startsWith("<%@ LANGUAGE = VBScript.Encode %>\n<p><%#@~^"));
    struct stat st {};
    QCOMPARE(stat(at("a.asp").toLocal8Bit().constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0640));
    QVERIFY(!names(d_).join(' ').contains("screnc"));
  }

  void failureKeepsTheDestination() {
    put("out/e.asp", "OLD");
    const Run r = run({"/s", at("empty.asp"), at("out/e.asp")});
    QCOMPARE(r.status, 255);
    QCOMPARE(support::readAll(at("out/e.asp")), QByteArray("OLD"));
    QCOMPARE(names(at("out")), QStringList{"e.asp"});
  }

  void replacesAnExistingDestination() {
    put("out/a.asp", "OLD");
    QCOMPARE(run({"/s", at("a.asp"), at("out/a.asp")}).status, 0);
    QVERIFY(support::readAll(at("out/a.asp")).startsWith("<%@"));
    QCOMPARE(names(at("out")), QStringList{"a.asp"});
  }

  // Killed at any moment, the program leaves either no destination or the whole one.
  void killLeavesNoPartialFile() {
    QByteArray page;
    for (int k = 0; k < 200000; ++k) page += "<tr><td><%= rs(\"name\") %></td></tr>\r\n";
    put("big.asp", page);
    QCOMPARE(run({"/s", at("big.asp"), at("full.asp")}).status, 0);
    const QByteArray expected = support::readAll(at("full.asp"));
    QVERIFY(expected.size() > page.size());
    for (int round = 0; round < 5; ++round) {
      QProcess p;
      p.start(QStringLiteral(SCRENC_BIN), {"/s", at("big.asp"), at("out/big.asp")});
      QVERIFY(p.waitForStarted());
      p.kill();
      QVERIFY(p.waitForFinished());
      for (const QString& n : names(at("out"))) QVERIFY(support::readAll(at("out/" + n)) == expected);
      QFile::remove(at("out/big.asp"));
    }
  }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
