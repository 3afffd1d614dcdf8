// The command line: parsing (switch spelling, file names starting with "/"), every
// message and exit status of the program, wildcards, in-place encoding, and that a
// failed or killed run never leaves a partial or changed destination.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "command_line.h"
#include "encode_file.h"
#include "messages.h"
#include "support.h"
#include "temp_name.h"

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

  // The page back from an encoded file: blocks decoded, the added directive taken off.
  static QByteArray decodedPage(const QByteArray& encoded) {
    QByteArray text = support::bytes(support::decoded(support::str(encoded)));
    const QByteArray directive = "<%@ LANGUAGE = VBScript.Encode %>\n";
    return text.startsWith(directive) ? text.mid(directive.size()) : text;
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

  // A file that fails for a system reason gets one line on stderr, with or without /s;
  // other failures only the classic message on stdout, which /s silences.
  void systemFailureLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<bool>("noSpace");  // the destination folder is a full file system
    QTest::newRow("missing source") << QStringList{"@D/nope.asp", "@D/out/n.asp"}
        << QByteArray("screnc: cannot read '@D/nope.asp': No such file or directory\n") << false;
    QTest::newRow("missing destination folder") << QStringList{"@D/a.asp", "@D/nofolder/a.asp"}
        << QByteArray("screnc: cannot write '@D/nofolder/a.asp': No such file or directory\n") << false;
    QTest::newRow("no space left") << QStringList{"@D/big.asp", "@D/full/big.asp"}
        << QByteArray("screnc: cannot write '@D/full/big.asp': No space left on device\n") << true;
    QTest::newRow("bad format") << QStringList{"@D/empty.asp", "@D/out/e.asp"} << QByteArray() << false;
    QTest::newRow("unknown extension") << QStringList{"@D/x.txt", "@D/out/x.txt"} << QByteArray() << false;
  }
  void systemFailureLine() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, err);
    QFETCH(bool, noSpace);
    if (noSpace) {
      QVERIFY(QDir(d_).mkdir("full"));
      if (mount("tmpfs", at("full").toUtf8().constData(), "tmpfs", 0, "size=16k") != 0)
        QSKIP("needs root to mount a small tmpfs");
      put("big.asp", QByteArray(64 * 1024, 'x').prepend("<%").append("%>"));
    }
    const QString expected = QString::fromUtf8(err).replace("@D", d_);
    for (const bool silent : {true, false}) {
      const Run r = run(expand(silent ? QStringList{"/s"} + args : args));
      QCOMPARE(r.status, 255);
      QCOMPARE(QString::fromUtf8(r.err), expected);
      QCOMPARE(r.out.isEmpty(), silent);
    }
    if (noSpace) {
      QCOMPARE(names(at("full")), QStringList{});
      QCOMPARE(umount(at("full").toUtf8().constData()), 0);
    }
  }

  // Names that look like patterns, switches or response files, given as absolute paths
  // as the run gives them, with each set of switches the run uses: each page is encoded
  // from itself alone, and the sources stay as they were.
  void literalNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("switches");
    const QString n240 = QString(236, 'p') + ".asp";
    const QString n255 = QString(251, 'q') + ".asp";
    const QString cjk = QString(80, QChar(0x4E2D)) + ".asp";  // 240 bytes in UTF-8
    const QList<QStringList> sets = {{"/s"}, {"/xl", "/s"}, {"/s", "/e", "asp", "/xl"},
                                     {"/s", "/l", "VBScript"}};
    const QStringList all = {"*.asp", "a?.asp", "[ab].asp", "-x.asp", "-s.asp", "-f.asp",
                             "@list.asp", n240, n255, cjk};
    int k = 0;
    for (const QString& name : all)
      for (const QStringList& sw : sets)
        QTest::newRow(qPrintable(QString::number(k++) + ": " + name.left(12) + " " + sw.join(' '))) << name << sw;
  }
  void literalNames() {
    QFETCH(QString, name);
    QFETCH(QStringList, switches);
    // Pages that a pattern would match as well, each with its own text.
    const QStringList pages = {name, "a1.asp", "ab.asp", "b.asp", "list.asp", "x.asp", "s.asp"};
    for (const QString& p : pages) put(p, ("<p><% page = \"" + p + "\" %></p>\r\n").toUtf8());
    const QByteArray source = support::readAll(at(name));
    const Run r = run(switches + QStringList{at(name), at("out/" + name)});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.isEmpty(), r.err.constData());
    QCOMPARE(names(at("out")), QStringList{name});
    const QByteArray encoded = support::readAll(at("out/" + name));
    QVERIFY(!encoded.contains("page ="));
    QCOMPARE(decodedPage(encoded), source);
    for (const QString& p : pages)
      QCOMPARE(support::readAll(at(p)), ("<p><% page = \"" + p + "\" %></p>\r\n").toUtf8());
    QVERIFY(!names(d_).join('|').contains("screnc"));
  }

  // The temporary name beside a destination stays within the file system's name limit,
  // cut at a character, whatever the destination's own length.
  void tempNames_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("units");
    QTest::addColumn<QByteArray>("expected");
    const int bytes = int(NameUnits::Bytes), utf16 = int(NameUnits::Utf16);
    QTest::newRow("short name whole") << QByteArray("a.asp") << 255 << bytes << QByteArray(".a.asp.screnc-1-2-3");
    QTest::newRow("cut to the limit") << QByteArray("abcdef.asp") << 18 << bytes << QByteArray(".abcd.screnc-1-2-3");
    QTest::newRow("no room for the name") << QByteArray("abc") << 14 << bytes << QByteArray(".screnc-1-2-3");
    QTest::newRow("never inside a UTF-8 character")
        << QByteArray("\xE4\xB8\xAD\xE6\x96\x87.js") << 19 << bytes << QByteArray(".\xE4\xB8\xAD.screnc-1-2-3");
    QTest::newRow("UTF-16 units: one per character")
        << QByteArray("\xE4\xB8\xAD\xE6\x96\x87.js") << 19 << utf16 << QByteArray(".\xE4\xB8\xAD\xE6\x96\x87.js.screnc-1-2-3");
    QTest::newRow("UTF-16 units: a pair above U+FFFF")
        << QByteArray("\xF0\x9F\x98\x80\xF0\x9F\x98\x80") << 17 << utf16 << QByteArray(".\xF0\x9F\x98\x80.screnc-1-2-3");
  }
  void tempNames() {
    QFETCH(QByteArray, name);
    QFETCH(int, limit);
    QFETCH(int, units);
    QFETCH(QByteArray, expected);
    const std::string got = temp_file_name(support::str(name), "1-2-3", std::size_t(limit), NameUnits(units));
    QCOMPARE(support::bytes(got), expected);
    QVERIFY(name_length(got, NameUnits(units)) <= std::size_t(limit));
    const std::string long_name(255, 'n');
    QCOMPARE(temp_file_name(long_name, "12345-3b9ac9ff-0", 255, NameUnits::Bytes).size(), std::size_t(255));
  }

  void encodesOneFile() {
    const Run r = run({"/s", "/l", "VBScript", at("a.asp"), at("out/a.asp")});
    QCOMPARE(r.status, 0);
    QCOMPARE(names(at("out")), QStringList{"a.asp"});
    QCOMPARE(support::readAll(at("out/a.asp")),
             "<%@ LANGUAGE = VBScript.Encode %>\n<p><%" + support::bytes(support::block(" x ")) + "%></p>\r\n");
  }

  // A page of some megabytes gives the bytes the in-memory encoder gives, across the
  // 1 MB pieces the output is written in.
  void largePageAsInMemory() {
    QByteArray page = "<%@ LANGUAGE = VBScript %>\r\n";
    while (page.size() < (3 << 20) + 77)
      page += "<td>Caf\xc3\xa9 <%= rs(\"name\") %></td><% If a < 5 Then b @ %>\r\n";
    put("big.asp", page);
    const Run r = run({"/s", at("big.asp"), at("out/big.asp")});
    QCOMPARE(r.status, 0);
    std::string expected;
    KindOptions opt;
    opt.kind = Kind::Asp;
    opt.default_lang = Lang::VBScript;
    QVERIFY(encode_file_bytes(std::string_view(page.constData(), page.size()), opt, std::nullopt,
                              expected) == FileStatus::Ok);
    QVERIFY(support::readAll(at("out/big.asp")) ==
            QByteArray(expected.data(), static_cast<qsizetype>(expected.size())));
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

  // Whatever was at the destination's name, the page ends up there as a plain file with
  // the umask's permissions, nothing else is left in the folder, and a link's target is
  // never written through.
  void destinationTakesThePage_data() {
    QTest::addColumn<QString>("before");
    QTest::newRow("nothing there") << "";
    QTest::newRow("a file") << "file";
    QTest::newRow("a link to a file") << "link";
    QTest::newRow("a dangling link") << "dangling";
  }
  void destinationTakesThePage() {
    QFETCH(QString, before);
    QVERIFY(QDir().mkpath(at("out")));
    put("target.txt", "TARGET");
    const QByteArray dst = at("out/a.asp").toLocal8Bit();
    if (before == "file") put("out/a.asp", "OLD");
    if (before == "link") QCOMPARE(symlink(at("target.txt").toLocal8Bit().constData(), dst.constData()), 0);
    if (before == "dangling") QCOMPARE(symlink(at("gone.txt").toLocal8Bit().constData(), dst.constData()), 0);
    const mode_t old = umask(027);
    const Run r = run({"/s", at("a.asp"), at("out/a.asp")});
    umask(old);
    QCOMPARE(r.status, 0);
    struct stat st {};
    QCOMPARE(lstat(dst.constData(), &st), 0);
    QVERIFY(S_ISREG(st.st_mode));
    QCOMPARE(st.st_mode & 0777, mode_t(0640));
    QVERIFY(support::readAll(at("out/a.asp")).startsWith("<%@ LANGUAGE = VBScript.Encode %>"));
    QCOMPARE(names(at("out")), QStringList{"a.asp"});
    QCOMPARE(support::readAll(at("target.txt")), QByteArray("TARGET"));
  }

  // A destination that is not a regular file is written into, never replaced: the link
  // or the FIFO is still there afterwards, and what was written arrived through it.
  void specialDestinations_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("decode");
    for (const bool decode : {false, true}) {
      const char* how = decode ? "--decode, " : "";
      QTest::addRow("%sa link to /dev/stdout, stdout a pipe", how) << "stdout" << decode;
      QTest::addRow("%sa link to /dev/fd/1, stdout a file", how) << "fd-file" << decode;
      QTest::addRow("%sa link to /dev/null", how) << "null" << decode;
      QTest::addRow("%sa FIFO with a reader", how) << "fifo" << decode;
      QTest::addRow("%sa link to a FIFO with a reader", how) << "fifo-link" << decode;
    }
  }
  void specialDestinations() {
    QFETCH(QString, target);
    QFETCH(bool, decode);
    QCOMPARE(run({"/s", at("a.asp"), at("encoded.asp")}).status, 0);
    const QString source = decode ? at("encoded.asp") : at("a.asp");
    const QStringList head = decode ? QStringList{"--decode"} : QStringList{"/s"};
    QCOMPARE(run(head + QStringList{source, at("expected.asp")}).status, 0);
    const QByteArray expected = support::readAll(at("expected.asp"));
    QVERIFY(!expected.isEmpty());

    const QByteArray dst = at("out/dest.asp").toLocal8Bit(), fifo = at("out/fifo").toLocal8Bit();
    if (target == "stdout") QCOMPARE(symlink("/dev/stdout", dst.constData()), 0);
    if (target == "fd-file") QCOMPARE(symlink("/dev/fd/1", dst.constData()), 0);
    if (target == "null") QCOMPARE(symlink("/dev/null", dst.constData()), 0);
    if (target.startsWith("fifo")) QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
    if (target == "fifo-link") QCOMPARE(symlink(fifo.constData(), dst.constData()), 0);
    const QByteArray written = target == "fifo" ? fifo : dst;
    // Opened before the writer, so that it need not wait; only data or its close wake it.
    const int reader = target.startsWith("fifo") ? ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;

    QProcess p;
    p.setWorkingDirectory(d_);
    if (target == "fd-file") p.setStandardOutputFile(at("stdout.txt"));
    p.start(QStringLiteral(SCRENC_BIN), head + QStringList{source, QString::fromLocal8Bit(written)});
    QByteArray got;
    for (bool open = reader >= 0; open;) {
      pollfd fd{reader, POLLIN, 0};
      QVERIFY2(::poll(&fd, 1, 60000) == 1, "nothing was written into the FIFO");
      char buffer[4096];
      const ssize_t n = ::read(reader, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, n);
      open = n != 0;
    }
    if (reader >= 0) ::close(reader);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    if (target == "stdout") got = p.readAllStandardOutput();
    if (target == "fd-file") got = support::readAll(at("stdout.txt"));
    QCOMPARE(got, target == "null" ? QByteArray() : expected);
    struct stat st {};
    QCOMPARE(lstat(written.constData(), &st), 0);
    QVERIFY(target == "fifo" ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode));
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QCOMPARE(QDir(at("out")).entryList(all).size(), target == "fifo-link" ? 2 : 1);  // no temporary file left
    QVERIFY(QFileInfo("/dev/stdout").isSymLink());
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
