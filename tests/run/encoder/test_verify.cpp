// The check of an encoded page against its source: pages our encoder wrote pass, in each
// kind, encoding and way of marking the language; an output that says anything else,
// leaves any script readable or names another language fails, the reason pointing at the
// first fault, and the run leaves no output for it.
#include <QtTest>

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "encode_file.h"  // the encoder's own
#include "run/encoder/script_regions.h"
#include "run/encoder/verify.h"


#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using screnc::Kind;
using screnc::KindOptions;
using screnc::Lang;

namespace {

std::string Encoded(const std::string& source, Kind kind, bool directive = true, bool crlf = true) {
  KindOptions opt;
  opt.kind = kind;
  opt.default_lang = kind == Kind::Asp ? Lang::VBScript : Lang::JScript;
  opt.add_directive = directive;
  opt.crlf_after_directive = crlf;
  std::string out;
  if (screnc::encode_file_bytes(source, opt, std::nullopt, out) != screnc::FileStatus::Ok) return "(not encoded)";
  return out;
}

std::string Utf16LE(const std::string& ascii) {
  std::string out("\xFF\xFE", 2);
  for (const char c : ascii) (out += c) += '\0';
  return out;
}

// Script text and markup for random pages: escapes, non-ASCII, language attributes in
// several spellings; never `%>`, `</script` or a block marker.
std::string RandomPage(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {
      "<% x = 1 %>", "<%= \"\xC3\xA9t\xC3\xA9\" %>", "<p>text</p>\r\n", "\n", "\t<b>",
      "<script>var a = '<';</script>", "<script language=\"javascript\">f(1);</script>",
      "<SCRIPT LANGUAGE=VBScript RUNAT=Server>MsgBox 1</SCRIPT>", "<script type=\"text/javascript\">g();</script>",
      "<script language='JScript' runat=\"server\">h(2)</script>", "<% If a > b Then %>yes<% End If %>"};
  std::uniform_int_distribution<std::size_t> count(1, 15), pick(0, pieces.size() - 1);
  std::string page = rng() % 3 == 0 ? "<%@ CODEPAGE=65001 %>\r\n" : "";
  for (std::size_t n = count(rng); n > 0; --n) page += pieces[pick(rng)];
  return page;
}

// The run's kind for the encoder's, and the language of script that names none.
FileKind RunKind(Kind kind) {
  return kind == Kind::Asp ? FileKind::EncodeAspPage : kind == Kind::Html ? FileKind::EncodeHtml : FileKind::EncodePlain;
}
char Family(FileKind kind) { return kind == FileKind::EncodeAspPage || kind == FileKind::EncodeAspByExtension ? 'V' : 'J'; }

std::string Compare(const std::string& source, const std::string& output, FileKind kind) {
  return CompareDecoded(source, output, kind, Family(kind));
}

// The kind a file of the sample site or the vectors is given by its extension.
FileKind KindOfName(const QString& name) {
  const QString ext = name.section(QLatin1Char('.'), -1).toLower();
  return ext == "js" || ext == "vbs"     ? FileKind::EncodePlain
         : ext == "htm" || ext == "html" ? FileKind::EncodeHtml
         : ext == "inc"                  ? FileKind::EncodeAspByExtension
                                         : FileKind::EncodeAspPage;
}

Kind EncoderKind(FileKind kind) {
  return kind == FileKind::EncodePlain ? Kind::Plain : kind == FileKind::EncodeHtml ? Kind::Html : Kind::Asp;
}

}  // namespace

class TestVerify : public QObject {
  Q_OBJECT
private slots:
  // What the encoder changes on purpose is not a difference.
  void encoderChangesPass_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("directive");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<bool>("utf16");
    const int asp = int(Kind::Asp), html = int(Kind::Html), plain = int(Kind::Plain);
    QTest::newRow("directive added, CR LF") << "<% x = 1 %>\r\n" << asp << true << true << false;
    QTest::newRow("directive added, LF") << "<% x = 1 %>\n" << asp << true << false << false;
    QTest::newRow("no directive (/xl)") << "<% x = 1 %>\n" << asp << false << true << false;
    QTest::newRow("directive completed") << "<%@ CODEPAGE=65001 %><% x %>" << asp << true << true << false;
    QTest::newRow("directive completed, no blank") << "<%@CODEPAGE=65001%><% x %>" << asp << true << true << false;
    QTest::newRow("directive renamed") << "<%@ language=\"vbscript\" %><% x %>" << asp << true << true << false;
    QTest::newRow("script tag given a language") << "<script>var a;</script>" << html << true << true << false;
    QTest::newRow("script tag, self-closing slash") << "<script src=a.js/><script>f()</script>" << html << true << true << false;
    QTest::newRow("javascript renamed") << "<script language='javascript'>f()</script>" << html << true << true << false;
    QTest::newRow("plain script") << "function f() {}\r\n" << plain << true << true << false;
    QTest::newRow("UTF-16 page") << "<% x = \"a\" %>\r\n<script>f()</script>" << asp << true << true << true;
    QTest::newRow("nothing to encode") << "<p>only text</p>" << html << true << true << false;
  }
  void encoderChangesPass() {
    QFETCH(QString, source);
    QFETCH(int, kind);
    QFETCH(bool, directive);
    QFETCH(bool, crlf);
    QFETCH(bool, utf16);
    const std::string page = utf16 ? Utf16LE(source.toStdString()) : source.toStdString();
    const std::string encoded = Encoded(page, Kind(kind), directive, crlf);
    QCOMPARE(QString::fromStdString(Compare(page, encoded, RunKind(Kind(kind)))), QString());
  }

  // The line an encoder adds goes to a page without a directive only; a page that starts
  // with one of its own keeps it, the language renamed, in whatever spelling it has. Both
  // pass, and the same output with one block left plain fails.
  void directiveLinePages_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("directive");  // the encoder adds one where the page has none
    QTest::addColumn<bool>("crlf");
    const QByteArray bom("\xEF\xBB\xBF");
    const auto row = [](const char* tag, const QByteArray& source, bool directive = true, bool crlf = true) {
      QTest::newRow(tag) << source << directive << crlf;
    };
    row("VBScript, the added line's spelling", "<%@ LANGUAGE = VBScript %>\r\n<% x = 1 %>\r\n");
    row("JScript, the added line's spelling, LF", "<%@ LANGUAGE = JScript %>\n<% x = 1 %>\n", true, false);
    row("VBScript, LF, no line break", "<%@ LANGUAGE = VBScript %><% x = 1 %>", true, false);
    row("lower case", "<%@ language = vbscript %>\r\n<% x = 1 %>\r\n");
    row("quoted, no blanks", "<%@LANGUAGE=\"VBScript\"%>\n<% x = 1 %>\n");
    row("single quotes", "<%@ LANGUAGE = 'JScript' %>\r\n<% x = 1 %>\r\n");
    row("with a code page", "<%@ Language=JScript CODEPAGE=65001 %>\r\n<% x = 1 %>\r\n");
    row("code page first, tabs", "<%@\tCODEPAGE=65001\tLANGUAGE = VBScript %>\n<% x = 1 %>\n");
    row("byte order mark", bom + "<%@ LANGUAGE = VBScript %>\r\n<% x = 1 %><p>\xC3\xA9</p>\r\n");
    row("already named encoded", "<%@ LANGUAGE = VBScript.Encode %>\r\n<% x = 1 %>\r\n");
    row("directive after markup", "<p>a</p>\n<%@ LANGUAGE = JScript %>\n<% x = 1 %>\n");
    row("directive without a language", "<%@ CODEPAGE=65001 %>\r\n<% x = 1 %>\r\n");
    row("none, line added with CR LF", "<% x = 1 %>\r\n");
    row("none, line added with LF", "<% x = 1 %>\n", true, false);
    row("none, byte order mark", bom + "<% x = 1 %>\r\n");
    row("none, no line (/xl)", "<% x = 1 %>\r\n", false);
    row("directive not the first block: line added", "<% x = 1 %>\r\n<%@ LANGUAGE = VBScript %>\r\n");
    row("none, markup first", "<p>a</p>\r\n<% x = 1 %>\r\n");
  }
  void directiveLinePages() {
    QFETCH(QByteArray, source);
    QFETCH(bool, directive);
    QFETCH(bool, crlf);
    const std::string page = source.toStdString() + "<% y = 2 %>";  // a second block, still encoded when tampered
    const std::string encoded = Encoded(page, Kind::Asp, directive, crlf);
    QCOMPARE(QString::fromStdString(Compare(page, encoded, FileKind::EncodeAspPage)), QString());
    // The block of " x = 1 " left as it was.
    const std::size_t block = encoded.find("#@~^"), end = encoded.find("^#~@", block);
    QVERIFY(block != std::string::npos && end != std::string::npos);
    const std::string tampered = encoded.substr(0, block) + " x = 1 " + encoded.substr(end + 4);
    const QString got = QString::fromStdString(Compare(page, tampered, FileKind::EncodeAspPage));
    QVERIFY2(got.contains("script the encoder should have encoded is readable in the output: \"x = 1 %>"), qPrintable(got));
  }

  void randomPagesPass() {
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
      const std::string page = RandomPage(rng);
      for (const Kind kind : {Kind::Asp, Kind::Html}) {
        const std::string reason = Compare(page, Encoded(page, kind, round % 2 == 0, round % 3 == 0), RunKind(kind));
        QVERIFY2(reason.empty(), (page + "\n" + reason).c_str());
      }
    }
  }

  // Pages the classic encoder wrote, beside their sources: a substituted encoder's own
  // way of writing a page passes as well.
  void classicEncoderPagesPass_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("encoded");
    const QString dir = QStringLiteral(QW_VECTORS "/");
    QFile manifest(dir + "manifest.json");
    if (!manifest.open(QIODevice::ReadOnly)) QSKIP("the shared vectors are not there");
    for (const QJsonValue v : QJsonDocument::fromJson(manifest.readAll())["vectors"].toArray())
      if (v["source"].isString())
        QTest::newRow(qPrintable(v["file"].toString())) << dir + v["source"].toString() << dir + v["file"].toString();
  }
  void classicEncoderPagesPass() {
    QFETCH(QString, source);
    QFETCH(QString, encoded);
    const FileKind kind = KindOfName(source);
    const std::string reason = VerifyEncodedFile(source.toStdString(), encoded.toStdString(), kind, Family(kind));
    QVERIFY2(reason.empty(), reason.c_str());
  }

  // Our encoder's pages pass: the vectors' sources and every file of the sample site,
  // each as the run would encode it (includes with /xl).
  void ourEncoderPagesPass_data() {
    QTest::addColumn<QString>("source");
    const QString vectors = QStringLiteral(QW_VECTORS "/");
    QFile manifest(vectors + "manifest.json");
    if (manifest.open(QIODevice::ReadOnly))
      for (const QJsonValue v : QJsonDocument::fromJson(manifest.readAll())["vectors"].toArray())
        if (v["source"].isString()) QTest::newRow(qPrintable(v["source"].toString())) << vectors + v["source"].toString();
    if (!qEnvironmentVariableIsSet("QW_SOURCE_DIR")) QSKIP("QW_SOURCE_DIR is not set");
    const QString site = qEnvironmentVariable("QW_SOURCE_DIR") + "/examples/site";
    QDirIterator it(site, {"*.asp", "*.asa", "*.inc", "*.htm", "*.html", "*.js", "*.vbs"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next();
      QTest::newRow(qPrintable(QDir(site).relativeFilePath(file))) << file;
    }
  }
  void ourEncoderPagesPass() {
    QFETCH(QString, source);
    QFile f(source);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const std::string page = f.readAll().toStdString();
    const FileKind kind = KindOfName(source);
    const std::string encoded = Encoded(page, EncoderKind(kind), kind != FileKind::EncodeAspByExtension);
    const std::string reason = Compare(page, encoded, kind);
    QVERIFY2(reason.empty(), reason.c_str());
  }

  // Whatever else the output says is the first difference, with where it is.
  void differencesFail_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("reason");
    const std::string page = "<p>one</p>\n<% x = 1 %>\n";
    QTest::newRow("plain text in place of the page")
        << QByteArray("<% x %>") << QByteArray("ENCODED\n<% x %>")
        << "line 1 (byte 0 of the source): the source has \"<% x %>\", the decoded output \"ENCODED\\n<% x %>\"";
    QTest::newRow("another page, encoded")
        << QByteArray::fromStdString(page) << QByteArray::fromStdString(Encoded("<p>one</p>\n<% x = 2 %>\n", Kind::Asp, false))
        << "line 2 (byte 18 of the source): the source has \"1 %>\\n\", the decoded output \"2 %>\\n\"";
    QTest::newRow("output cut short")
        << QByteArray::fromStdString(page) << QByteArray::fromStdString(page.substr(0, 12))
        << "line 2 (byte 12 of the source): the source has \"% x = 1 %>\\n\", the decoded output (end of file)";
    QTest::newRow("a language no encoder writes")
        << QByteArray("<script language=VBScript>MsgBox 1</script>") << QByteArray("<script language=XScript>MsgBox 1</script>")
        << "line 1 (byte 7 of the source): the source has \" language=VBScript>MsgBox 1</script>\", the decoded output \" language=XScript>MsgBox\"";
    QTest::newRow("damaged block")
        << QByteArray("<% x %>") << QByteArray("<%#@~^AQAAAA==x^#~@%>") << "damaged";
    QTest::newRow("byte order mark dropped")
        << QByteArray::fromStdString(Utf16LE("<% x %>")) << QByteArray("<% x %>") << "the byte order mark differs";
    QTest::newRow("UTF-16 text changed")
        << QByteArray::fromStdString(Utf16LE("<% a %>")) << QByteArray::fromStdString(Utf16LE("<% b %>"))
        << "line 1 (byte 8 of the source): the source has \"a %>\", the decoded output \"b %>\"";
  }
  void differencesFail() {
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, output);
    QFETCH(QString, reason);
    // Text differences, whatever the kind (Copy: no script sought).
    const QString got = QString::fromStdString(Compare(source.toStdString(), output.toStdString(), FileKind::Copy));
    QVERIFY2(got.contains(reason), qPrintable(got));
  }

  // An encoder that leaves the script readable, or encodes it in another language, fails
  // even though the text reads back the same.
  void readableOrSwappedFails_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    const QString readable = "no encoded block: its script is readable";
    const int asp = int(FileKind::EncodeAspPage), inc = int(FileKind::EncodeAspByExtension);
    const int html = int(FileKind::EncodeHtml), plain = int(FileKind::EncodePlain);
    QTest::newRow("script file copied") << QByteArray("f();\r\n") << QByteArray("f();\r\n") << plain << readable;
    QTest::newRow("page copied") << QByteArray("<p>a</p><% x = 1 %>") << QByteArray("<p>a</p><% x = 1 %>") << asp << readable;
    QTest::newRow("include copied") << QByteArray("<%= y %>") << QByteArray("<%= y %>") << inc << readable;
    QTest::newRow("server script tag copied") << QByteArray("<script runat=server language=vbscript>x</script>")
                                              << QByteArray("<script runat=server language=vbscript>x</script>") << asp << readable;
    QTest::newRow("client script copied") << QByteArray("<script language=\"VBScript\">MsgBox 1</script>")
                                          << QByteArray("<script language=\"VBScript\">MsgBox 1</script>") << html << readable;
    QTest::newRow("VBScript encoded as JScript")
        << QByteArray("<script language=\"VBScript\">x</script>")
        << QByteArray::fromStdString(Encoded("<script language=\"JScript\">x</script>", Kind::Html)) << html
        << "the script language differs: the source has VBScript, the decoded output JScript";
    QTest::newRow("page's language swapped")
        << QByteArray("<%@ LANGUAGE=VBScript %><% x %>")
        << QByteArray::fromStdString(Encoded("<%@ LANGUAGE=JScript %><% x %>", Kind::Asp)) << asp
        << "the script language differs: the source has VBScript, the decoded output JScript";
  }
  void readableOrSwappedFails() {
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, output);
    QFETCH(int, kind);
    QFETCH(QString, reason);
    const std::string text = source.toStdString();
    const QString got = QString::fromStdString(Compare(text, output.toStdString(), FileKind(kind)));
    QVERIFY2(got.contains(reason), qPrintable(got));
  }

  // The check of a large page asks its stop question every 50 ms or so (the one-worker run
  // serves its window then), and a yes ends it at once.
  void largePageAsksToStop() {
    std::string page;
    while (page.size() < (16u << 20))
      page += "<p>text</p><% x = x + 1 %>\r\n<script runat=server language=JScript>f(1);</script>\r\n";
    QTemporaryDir dir;
    const std::filesystem::path source = dir.filePath("a.asp").toStdString(), output = dir.filePath("b.asp").toStdString();
    std::ofstream(source, std::ios::binary) << page;
    std::ofstream(output, std::ios::binary) << Encoded(page, Kind::Asp);
    // Measured in the processor time of this process: a busy machine may hold the test
    // back for any time, but not make the check run longer between two questions.
    const auto cpu = [] { return std::chrono::duration<double>(double(std::clock()) / CLOCKS_PER_SEC); };
    std::vector<std::chrono::duration<double>> asked{cpu()};
    const std::string reason = VerifyEncodedFile(source, output, FileKind::EncodeAspPage, 'V', [&] {
      asked.push_back(cpu());
      return false;
    });
    asked.push_back(cpu());
    QCOMPARE(QString::fromStdString(reason), QString());
    QVERIFY(asked.size() > 3);
    for (std::size_t k = 1; k < asked.size(); ++k)
      QVERIFY2(asked[k] - asked[k - 1] < std::chrono::milliseconds(250),
               qPrintable(QStringLiteral("question %1 of %2 came %3 s after the one before").arg(k).arg(asked.size()).arg((asked[k] - asked[k - 1]).count())));
    const auto whole = asked.back() - asked.front();

    int calls = 0;
    const auto begun = cpu();
    QCOMPARE(VerifyEncodedFile(source, output, FileKind::EncodeAspPage, 'V', [&] { return ++calls > 0; }),
             kVerificationStopped);
    QCOMPARE(calls, 1);
    QVERIFY(cpu() - begun < whole);
  }

  // Pages with nothing the encoder encodes need no block.
  void nothingToEncodeNeedsNoBlock_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("kind");
    QTest::newRow("HTML without script") << QByteArray("<p>text</p>") << int(FileKind::EncodeHtml);
    QTest::newRow("HTML, script of another type") << QByteArray("<script type=\"text/template\">x</script>")
                                                  << int(FileKind::EncodeHtml);
    QTest::newRow("ASP page with a directive only") << QByteArray("<%@ LANGUAGE=VBScript %>\r\n<p>x</p>")
                                                    << int(FileKind::EncodeAspPage);
    QTest::newRow("ASP page, client script only") << QByteArray("<script language=javascript>f()</script>")
                                                  << int(FileKind::EncodeAspPage);
  }
  void nothingToEncodeNeedsNoBlock() {
    QFETCH(QByteArray, source);
    QFETCH(int, kind);
    QVERIFY(ScanScript(source.toStdString(), FileKind(kind), Family(FileKind(kind))).regions.empty());
  }
};

QTEST_GUILESS_MAIN(TestVerify)
#include "test_verify.moc"
