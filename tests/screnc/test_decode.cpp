// The page decoder: the real encoder's pages read back, random pages through our encoder
// and back, what it refuses, and `screnc --decode`.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <random>

#include "decode_page.h"
#include "encode_file.h"
#include "support.h"

using namespace screnc;
using support::bytes;
using support::str;

namespace {

// The language names as the decoder gives them back.
QByteArray Unmarked(QByteArray text) {
  return text.replace("JScript.Encode", "JScript").replace("VBScript.Encode", "VBScript");
}

// Script text that can stand in any block: escapes, TAB, DEL, non-ASCII; never `%>`,
// `</script` or a marker.
std::string RandomScript(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {
      "\r\n", "\n", "\t", "<", ">", "@", "\x7f", "\"", "'", "x = 1", "MsgBox ", "f(a, b);",
      "\xC3\xA9", "\xE9\xBB\x91", "\xF0\x9F\x98\x80", "#@~^", " ", "if a > b then", "=", "{}"};
  std::uniform_int_distribution<std::size_t> count(1, 30), pick(0, pieces.size() - 1);
  std::string s;
  for (std::size_t n = count(rng); n > 0; --n) s += pieces[pick(rng)];
  return s;
}

// A random page of `kind`: plain text, `<% %>` and `<%= %>` blocks, script elements. The
// languages are spelt as the decoder gives them back (it cannot know `vbscript` was
// lower case).
std::string RandomPage(std::mt19937& rng, Kind kind) {
  if (kind == Kind::Plain) return RandomScript(rng);
  std::uniform_int_distribution<int> count(1, 12), what(0, 6);
  std::string page;
  for (int n = count(rng); n > 0; --n) {
    switch (what(rng)) {
      case 0: page += "<p>Text \xC3\xA9t\xC3\xA9</p>\r\n"; break;
      case 1: page += "<% " + RandomScript(rng) + "%>"; break;  // a space: no `<%@`
      case 2: page += "<%=" + RandomScript(rng) + "%>"; break;
      case 3: page += "<script language=\"JScript\">" + RandomScript(rng) + "</script>\n"; break;
      case 4: page += "<SCRIPT LANGUAGE='VBScript' RUNAT=Server>" + RandomScript(rng) + "</SCRIPT>"; break;
      case 5: page += "<script id=\"<%=i%>\" language=VBScript runat=server>" + RandomScript(rng) + "</script>"; break;
      default: page += "<script language=VBScript>" + RandomScript(rng) + "</script>"; break;
    }
  }
  return page;
}

QByteArray Utf16LE(const QByteArray& utf8) {
  const QString text = QString::fromUtf8(utf8);
  return QByteArray("\xFF\xFE", 2) +
         QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

}  // namespace

class TestDecode : public QObject {
  Q_OBJECT
private slots:
  // Every real page decodes to its plain file (language names given back).
  void realPages_data() {
    QTest::addColumn<QJsonObject>("vector");
    if (!support::haveVectors()) QSKIP("the shared vectors are not there");
    QFile f(support::vectorsDir() + "/manifest.json");
    QVERIFY(f.open(QIODevice::ReadOnly));
    for (const QJsonValue v : QJsonDocument::fromJson(f.readAll())["vectors"].toArray())
      QTest::newRow(qPrintable(v["file"].toString())) << v.toObject();
  }
  void realPages() {
    QFETCH(QJsonObject, vector);
    const QString dir = support::vectorsDir() + "/";
    const QByteArray encoded = support::readAll(dir + vector["file"].toString());
    const QByteArray plain = support::readAll(dir + vector["plain"].toString());
    const DecodedPage page = DecodePage(str(encoded));
    QVERIFY2(page.ok(), page.error.c_str());
    QVERIFY(page.blocks > 0);
    QCOMPARE(bytes(page.bytes), Unmarked(plain));
  }

  // Encode, then decode: the page comes back, with the directive the encoder added to an
  // ASP page (language given back) in front; in UTF-8 and in UTF-16.
  void randomPages_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("utf16");
    QTest::newRow("plain") << int(Kind::Plain) << false;
    QTest::newRow("html") << int(Kind::Html) << false;
    QTest::newRow("asp") << int(Kind::Asp) << false;
    QTest::newRow("asp, utf-16") << int(Kind::Asp) << true;
    QTest::newRow("html, utf-16") << int(Kind::Html) << true;
  }
  void randomPages() {
    QFETCH(int, kind);
    QFETCH(bool, utf16);
    std::mt19937 rng(7u + unsigned(kind) + (utf16 ? 100u : 0u));
    KindOptions opt;
    opt.kind = Kind(kind);
    opt.default_lang = opt.kind == Kind::Asp ? Lang::VBScript : Lang::JScript;
    for (int round = 0; round < 300; ++round) {
      const QByteArray page = bytes(RandomPage(rng, opt.kind));
      QByteArray expected = opt.kind == Kind::Asp ? "<%@ LANGUAGE = VBScript %>\n" + page : page;
      const QByteArray source = utf16 ? Utf16LE(page) : page;
      if (utf16) expected = Utf16LE(expected);
      std::string encoded;
      QCOMPARE(encode_file_bytes(str(source), opt, std::nullopt, encoded), FileStatus::Ok);
      const DecodedPage back = DecodePage(encoded);
      QVERIFY2(back.ok(), back.error.c_str());
      QVERIFY2(bytes(back.bytes) == expected, qPrintable(QStringLiteral("round %1").arg(round)));
    }
  }

  // A "#@~^" that starts no valid block is counted and left as it is.
  void damaged_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("blocks");
    const QByteArray block = bytes(support::block("MsgBox 1"));
    QByteArray flipped = block;
    flipped[13] = flipped[13] == 'a' ? 'b' : 'a';
    QTest::newRow("checksum") << QByteArray("<%" + flipped + "%>") << 0;
    QTest::newRow("cut short, then a good one") << block.left(block.size() - 1) + block << 1;
    QTest::newRow("unknown escape") << QByteArray("#@~^AgAAAA==@-AAAAAA==^#~@") << 0;
    QTest::newRow("page text") << QByteArray("the marker #@~^ starts a block") << 0;
  }
  void damaged() {
    QFETCH(QByteArray, input);
    QFETCH(int, blocks);
    const DecodedPage page = DecodePage(str(input));
    QVERIFY(page.ok());
    QCOMPARE(page.damaged, std::size_t(1));
    QCOMPARE(page.blocks, std::size_t(blocks));
    if (blocks == 0) QCOMPARE(bytes(page.bytes), input);
  }

  void oddUtf16() { QVERIFY(!DecodePage(std::string("\xFF\xFEx", 3)).ok()); }

  // Tags and directives get their names back; the same words elsewhere stay. A tag's
  // end is its own `>`, past any server block inside it.
  void languagesGivenBack_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("directive, tags, page text")
        << QByteArray("<%@language=VBScript.Encode codepage=936 %><script LANGUAGE=jscript.encode>"
                      "</script><p>JScript.Encode</p><script src=x language=\"XVBScript.Encode\">")
        << QByteArray("<%@language=VBScript codepage=936 %><script LANGUAGE=jscript>"
                      "</script><p>JScript.Encode</p><script src=x language=\"XVBScript.Encode\">");
    const QByteArray id = "<%=" + bytes(support::block("i")) + "%>";
    QTest::newRow("server block in the tag")
        << QByteArray("<script id=\"" + id + "\" language=VBScript.Encode runat=server></script>")
        << QByteArray("<script id=\"<%=i%>\" language=VBScript runat=server></script>");
    QTest::newRow("two server blocks, unquoted")
        << QByteArray("<SCRIPT a=" + id + " b=" + id + " LANGUAGE=\"JScript.Encode\">f()</SCRIPT>")
        << QByteArray("<SCRIPT a=<%=i%> b=<%=i%> LANGUAGE=\"JScript\">f()</SCRIPT>");
    QTest::newRow("block never closed") << QByteArray("<script a=<%x language=VBScript.Encode>")
                                        << QByteArray("<script a=<%x language=VBScript.Encode>");
  }
  void languagesGivenBack() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QCOMPARE(bytes(DecodePage(str(in)).bytes), out);
  }

  void command() {
    QTemporaryDir dir;
    const QString in = dir.filePath("in.asp"), out = dir.filePath("out.asp");
    const QByteArray page = "<%@ LANGUAGE = VBScript.Encode %>\n<%" + bytes(support::block("x = 1")) + "%>";
    QVERIFY(support::writeAll(in, page));
    QProcess p;
    p.start(SCRENC_BIN, {"--decode", in, out});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(support::readAll(out), QByteArray("<%@ LANGUAGE = VBScript %>\n<%x = 1%>"));

    // A damaged page: status 255, one line, nothing written.
    QVERIFY(support::writeAll(in, "<%#@~^BQAAAA==x%>"));
    QFile::remove(out);
    p.start(SCRENC_BIN, {"--decode", in, out});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 255);
    QVERIFY(!QFile::exists(out));
    QCOMPARE(p.readAllStandardError(), QByteArray("screnc: --decode: '" + in.toUtf8() +
                                                  "': 1 encoded block is damaged (length, "
                                                  "checksum or an escape does not match)\n"));
  }
};

QTEST_GUILESS_MAIN(TestDecode)
#include "test_decode.moc"
