// Pages read in pieces: the encoder and the decoder given a page cut anywhere (inside
// "<%", a tag, a block, a comment, a UTF-8 character, between CR and LF) write what they
// write for the whole page; the character check gives the same answer at every cut; the
// reader hands the file on without a gap; and screnc itself on pages larger than a piece.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <random>

#include "decode_page.h"
#include "encode_file.h"
#include "kinds.h"
#include "page_reader.h"
#include "support.h"
#include "text_codec.h"

using namespace screnc;
using support::bytes;
using support::str;

namespace {

KindOptions asp() {
  KindOptions o;
  o.kind = Kind::Asp;
  o.default_lang = Lang::VBScript;
  return o;
}

KindOptions html() {
  KindOptions o;
  o.kind = Kind::Html;
  o.default_lang = Lang::JScript;
  return o;
}

// The page given as a reader gives it: at each cut the new text after what is held; what
// is done is dropped. Cuts are offsets into the page, in order.
std::string encode_cut(std::string_view page, const std::vector<std::size_t>& cuts,
                       const KindOptions& opt) {
  PageState state;
  std::string out, held;
  std::size_t read = 0;
  auto step = [&](std::size_t upto, bool final) {
    held.append(page.substr(read, upto - read));
    read = upto;
    held.erase(0, encode_piece(held.data(), held.data() + held.size(), final, Charset::Utf8,
                               opt, state, out));
  };
  for (std::size_t c : cuts) step(c, false);
  step(page.size(), true);
  return out;
}

std::string decode_cut(std::string_view page, const std::vector<std::size_t>& cuts,
                       std::size_t* damaged) {
  DecodedPage counts;
  std::string out, held;
  bool wide = false;
  std::size_t read = 0;
  auto step = [&](std::size_t upto, bool final) {
    held.append(page.substr(read, upto - read));
    read = upto;
    held.erase(0, DecodePiece(held, final, Charset::Utf8, out, counts, wide));
  };
  for (std::size_t c : cuts) step(c, false);
  step(page.size(), true);
  *damaged = counts.damaged;
  return out;
}

std::string whole(std::string_view page, const KindOptions& opt) {
  std::string out;
  encode_text(page.data(), page.data() + page.size(), Charset::Utf8, opt, out);
  return out;
}

// Pages with every kind of item an encoder looks past the end of a piece for.
const char* const kAspPages[] = {
    "<%@ LANGUAGE = JScript %>\r\n<p><%= a %></p>\r\n<% if (b < 2) x = \"\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80\"; %>\r\n",
    "<p>no directive</p><%= x %><script runat=server>var a = '<b>';</script><script>client()</script>",
    "<%@ Language=VBScript %><script id=\"<%=i%>\" language=\"VBScript\" runat=\"server\">x = 1</script>",
    "text\n<%\n'**Start Encode**\nx = 1\n%>\n<% unclosed = 1\n",
    "<%@%><SCRIPT RUNAT=SERVER LANGUAGE=JScript.Encode>x</SCRIPT><%= #@~^AAAAAA==^#~@ %><",
    "<script runat=server language=",
};

const char* const kHtmlPages[] = {
    "<html><!-- <script>a()</script> --><script>b(\"\xc3\xa9\")</script>\r\n<SCRIPT LANGUAGE=\"VBScript\">c</SCRIPT>",
    "<script src=x.js></script><script type=\"text/vbscript\">\r\nd\r\n</script><!-- open",
    "<script>//**Start Encode**\r\ne</script><script/>  </script><script>f",
};

}  // namespace

class TestPieces : public QObject {
  Q_OBJECT

 private slots:
  void encodeCutOnceAnywhere() {
    std::vector<std::pair<std::string, KindOptions>> pages;
    for (const char* p : kAspPages) pages.emplace_back(p, asp());
    for (const char* p : kHtmlPages) pages.emplace_back(p, html());
    {
      for (const auto& [page, opt] : pages) {
        const char* p = page.c_str();
        const std::string expected = whole(page, opt);
        for (std::size_t c = 0; c <= page.size(); ++c)
          QVERIFY2(encode_cut(page, {c}, opt) == expected, qPrintable(QString("%1 cut at %2").arg(p).arg(c)));
      }
    }
  }

  void encodeInManySmallPieces() {
    std::mt19937 rnd(7);
    std::string page;
    for (const char* p : kAspPages) page += p;
    for (int round = 0; round < 200; ++round) {
      std::vector<std::size_t> cuts;
      for (std::size_t c = 0; (c += 1 + rnd() % 9) < page.size();) cuts.push_back(c);
      QCOMPARE(bytes(encode_cut(page, cuts, asp())), bytes(whole(page, asp())));
    }
  }

  void decodeCutOnceAnywhere() {
    std::string page;
    for (const char* p : kAspPages) page += p;
    page += "#@~^broken^#~@ <script language=\"JScript.Encode\">";
    const std::string encoded = whole(page, asp()) + "<%@ x %>";
    const DecodedPage expected = DecodePage(encoded);
    QVERIFY(expected.blocks > 5);
    for (std::size_t c = 0; c <= encoded.size(); ++c) {
      std::size_t damaged = 0;
      QVERIFY2(decode_cut(encoded, {c}, &damaged) == expected.bytes, qPrintable(QString::number(c)));
      QCOMPARE(damaged, expected.damaged);
    }
  }

  void textCheckAtEveryCut_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("charset");
    const int utf8 = int(Charset::Utf8), gbk = int(Charset::Cp936);
    QTest::newRow("valid, 2 3 4 bytes") << QByteArray("a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80z") << utf8;
    QTest::newRow("cut short at the end") << QByteArray("ab\xe4\xb8") << utf8;
    QTest::newRow("overlong") << QByteArray("a\xe0\x80\xaf") << utf8;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << utf8;
    QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << utf8;
    QTest::newRow("stray continuation") << QByteArray("abc\x80") << utf8;
    QTest::newRow("lead then ASCII") << QByteArray("\xc3" "a") << utf8;
    QTest::newRow("gbk pairs") << QByteArray("\xd6\xd0\xce\xc4" "a\x81\x40") << gbk;
    QTest::newRow("gbk lead at the end") << QByteArray("\xd6\xd0\x81") << gbk;
    QTest::newRow("gbk bad trail") << QByteArray("a\x81\x20") << gbk;
  }

  void textCheckAtEveryCut() {
    QFETCH(QByteArray, text);
    QFETCH(int, charset);
    const auto cs = static_cast<Charset>(charset);
    const std::string t = str(text);
    const bool expected = is_valid_text(t, cs);
    for (std::size_t a = 0; a <= t.size(); ++a) {
      for (std::size_t b = a; b <= t.size(); ++b) {
        TextCheck check(cs);
        check.feed(std::string_view(t).substr(0, a), false);
        check.feed(std::string_view(t).substr(a, b - a), false);
        QVERIFY2(check.feed(std::string_view(t).substr(b), true) == expected,
                 qPrintable(QString("cuts %1 %2").arg(a).arg(b)));
      }
    }
  }

  // The reader keeps what is not done and doubles when nothing is done.
  void readerKeepsAndGrows() {
    QTemporaryDir tmp;
    const std::size_t size = 3 * PageReader::kPiece + 123;
    std::string data(size, '\0');
    for (std::size_t k = 0; k < size; ++k) data[k] = static_cast<char>('a' + k % 23);
    const QString path = tmp.filePath("page");
    QVERIFY(support::writeAll(path, bytes(data)));
    PageReader in;
    QVERIFY(!in.open(path.toStdString()));
    std::string_view fresh;
    QVERIFY(!in.fill(fresh));
    QCOMPARE(in.held().size(), PageReader::kPiece);
    QVERIFY(!in.fill(fresh));  // nothing done: the next piece is as large as what is held
    QCOMPARE(in.held().size(), 2 * PageReader::kPiece);
    in.consume(2 * PageReader::kPiece - 5);
    while (!in.at_end()) QVERIFY(!in.fill(fresh));
    QCOMPARE(std::string(in.held()), data.substr(2 * PageReader::kPiece - 5));
    QVERIFY(in.open(tmp.filePath("absent").toStdString()).has_value());
  }

  // screnc itself on pages larger than a piece: what the whole page gives in memory.
  void largePagesThroughScrenc_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("written");
    QByteArray rows;
    for (int i = 0; i < 20000; ++i)
      rows += "<tr><td><%= rs(\"n" + QByteArray::number(i) + "\") %></td><td>Caf\xc3\xa9</td></tr>\r\n";
    const QByteArray big = "<% x = \"" + QByteArray(3 << 20, 'q') + "\xc3\xa9\" %>";
    QTest::newRow("small blocks") << rows << true;
    QTest::newRow("a 3 MB block") << rows + big + rows << true;
    QTest::newRow("not UTF-8 late, a block with U+00E9 before") << "<% a = \"\xc3\xa9\" %>" + rows + "\xe9" << true;
    QTest::newRow("not UTF-8 late, no block before with a wide character") << rows + "<% b = \"\xe9\" %>" << true;
    QTest::newRow("BOM and not UTF-8 late: refused") << "\xef\xbb\xbf" + rows + "\xff" << false;
  }

  void largePagesThroughScrenc() {
    QFETCH(QByteArray, page);
    QFETCH(bool, written);
    QTemporaryDir tmp;
    const QString src = tmp.filePath("page.asp"), dst = tmp.filePath("out.asp");
    QVERIFY(support::writeAll(src, page));
    QProcess p;
    p.start(QStringLiteral(SCRENC_BIN), {"/s", src, dst});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode() == 0, written);
    QCOMPARE(QFile::exists(dst), written);
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), written ? 2 : 1);
    if (!written) return;
    std::string expected;
    QCOMPARE(encode_file_bytes(str(page), asp(), std::nullopt, expected), FileStatus::Ok);
    const QByteArray got = support::readAll(dst);
    QVERIFY(got == bytes(expected));
    QProcess d;
    d.start(QStringLiteral(SCRENC_BIN), {"--decode", dst, tmp.filePath("back.asp")});
    QVERIFY(d.waitForFinished(60000));
    QCOMPARE(d.exitCode(), 0);
    QCOMPARE(support::readAll(tmp.filePath("back.asp")), bytes(DecodePage(str(got)).bytes));
  }
};

QTEST_GUILESS_MAIN(TestPieces)
#include "test_pieces.moc"
