// The quick pass of the check answers yes exactly where the full comparison finds nothing:
// pages our encoder writes, and the same outputs changed the ways a faulty encoder or a
// damaged copy changes them, in every kind and way of naming a language.
#include <QtTest>

#include "block.h"
#include "encode_file.h"  // the encoder's own
#include "run/encoder/verify_quick.h"

#include <random>
#include <string>
#include <vector>

using screnc::Kind;
using screnc::KindOptions;
using screnc::Lang;

namespace {

std::string Encoded(const std::string& source, Kind kind, bool directive) {
  KindOptions opt;
  opt.kind = kind;
  opt.default_lang = kind == Kind::Asp ? Lang::VBScript : Lang::JScript;
  opt.add_directive = directive;
  std::string out;
  if (screnc::encode_file_bytes(source, opt, std::nullopt, out) != screnc::FileStatus::Ok) return "(not encoded)";
  return out;
}

// Markup, script and prose with the places the check treats apart: directives, LANGUAGE
// attributes in several spellings (in tags, in prose, after blanks and tabs), blocks of
// every sort, "**Start Encode**", non-ASCII text (UTF-8, and Latin-1 that makes a page no
// UTF-8), line breaks of both kinds.
std::string RandomPage(std::mt19937& rng) {
  static const std::vector<std::string> heads = {
      "", "<%@ LANGUAGE = VBScript %>\r\n", "<%@ Language=\"JScript\" %>\n", "<%@\tCODEPAGE=65001  language = 'vbscript'\t%>",
      "<%@ CODEPAGE=65001 %>\r\n", "<%@LANGUAGE=JavaScript%>", "<p>a</p><%@ LANGUAGE = JScript %>\n"};
  static const std::vector<std::string> pieces = {
      "<% x = 1 %>", "<%= \"\xC3\xA9t\xC3\xA9\" %>", "<% s = \"caf\xE9 \xE0\" %>", "<p>text</p>\r\n", "\n", "\t<b>", "<% If a > b Then %>yes<% End If %>",
      "<script>var a = '<';</script>", "<script language=\"javascript\">f(1);</script>",
      "<SCRIPT LANGUAGE=VBScript RUNAT=Server>MsgBox 1</SCRIPT>", "<script type=\"text/javascript\">g();</script>",
      "<script language='JScript' runat=\"server\">h(2)</script>", "<script\tlanguage = vbscript>MsgBox 2</script>",
      "<p>a language=vbscript in prose, Language is</p>", " l", "<% ' **Start Encode**\r\n y = 2 %>",
      "<script runat=server>//**Start Encode**\nk()</script>", "<script src=a.js></script>", "<!-- <script>c()</script> -->",
      "<a onclick=\"go()\">\xE2\x80\x94</a>", "<% %>", "<%=\tz %>", "<td><%= rs(\"id\") %></td>\r\n"};
  std::uniform_int_distribution<std::size_t> count(1, 12), head(0, heads.size() - 1), pick(0, pieces.size() - 1);
  std::string page = heads[head(rng)];
  for (std::size_t n = count(rng); n > 0; --n) page += pieces[pick(rng)];
  return page;
}

// Where each block of `s` begins and ends (past its "^#~@").
std::vector<std::pair<std::size_t, std::size_t>> Blocks(const std::string& s) {
  std::vector<std::pair<std::size_t, std::size_t>> found;
  for (std::size_t b = s.find("#@~^"), e; b != std::string::npos && (e = s.find("^#~@", b)) != std::string::npos;
       b = s.find("#@~^", e))
    found.emplace_back(b, e + 4);
  return found;
}

bool InBlock(const std::string& s, std::size_t at) {
  for (const auto& [b, e] : Blocks(s))
    if (b <= at && at < e) return true;
  return false;
}

// A place of `s` outside its blocks, or npos.
std::size_t PlaceOutside(const std::string& s, std::mt19937& rng) {
  for (int tries = 0; tries < 20 && !s.empty(); ++tries)
    if (const std::size_t at = rng() % s.size(); !InBlock(s, at)) return at;
  return std::string::npos;
}

void ReplaceFirst(std::string& s, const std::string& from, const std::string& to) {
  if (const std::size_t at = s.find(from); at != std::string::npos) s.replace(at, from.size(), to);
}

enum class Change { None, Character, Inserted, Removed, BlockPlain, BlockDropped, Renamed, AttributeDropped,
                    AttributeAdded, DirectiveBlanks, AddedLine, CutShort };

// `out` changed as `change` says, at a place `rng` picks.
std::string Changed(std::string out, Change change, std::mt19937& rng) {
  const auto blocks = Blocks(out);
  const std::size_t at = PlaceOutside(out, rng);
  switch (change) {
    case Change::None: break;
    case Change::Character:
      if (at != std::string::npos) out[at] = out[at] == 'x' ? 'y' : 'x';
      break;
    case Change::Inserted:
      if (at != std::string::npos) out.insert(at, rng() % 2 ? " " : "q");
      break;
    case Change::Removed:
      if (at != std::string::npos) out.erase(at, 1);
      break;
    case Change::BlockPlain:
    case Change::BlockDropped:
      if (!blocks.empty()) {
        const auto [b, e] = blocks[rng() % blocks.size()];
        std::string plain;
        screnc::decode_blocks(out.data() + b, out.data() + e, screnc::Charset::Utf8, plain);
        out.replace(b, e - b, change == Change::BlockPlain ? plain : "");
      }
      break;
    case Change::Renamed:
      if (rng() % 2) ReplaceFirst(out, "VBScript", "JScript");
      else ReplaceFirst(out, "JScript", "VBScript");
      break;
    case Change::AttributeDropped:
      ReplaceFirst(out, rng() % 2 ? " language=\"JScript.Encode\"" : " LANGUAGE=\"VBScript.Encode\"", "");
      break;
    case Change::AttributeAdded:
      ReplaceFirst(out, "<script", rng() % 2 ? "<script language=VBScript" : "<script LANGUAGE=\"JScript\"");
      break;
    case Change::DirectiveBlanks:
      ReplaceFirst(out, "<%@", rng() % 2 ? "<%@ \t" : "<%@\r");
      break;
    case Change::AddedLine:
      out.insert(0, rng() % 2 ? "<%@ LANGUAGE = JScript %>\r\n" : "<%@ LANGUAGE = VBScript %>\n");
      break;
    case Change::CutShort:
      out.resize(out.size() - std::min(out.size(), std::size_t(1 + rng() % 8)));
      break;
  }
  return out;
}

}  // namespace

class TestVerifyQuick : public QObject {
  Q_OBJECT
private slots:
  // For each change, many random pages of each kind: the quick pass says yes where and
  // only where the full comparison finds nothing (so that it neither lets a fault by nor
  // leaves the common page to the slow way).
  void answersAsTheFullComparison_data() {
    QTest::addColumn<int>("change");
    QTest::newRow("as encoded") << int(Change::None);
    QTest::newRow("a character changed") << int(Change::Character);
    QTest::newRow("a character inserted") << int(Change::Inserted);
    QTest::newRow("a character removed") << int(Change::Removed);
    QTest::newRow("a block left plain") << int(Change::BlockPlain);
    QTest::newRow("a block dropped") << int(Change::BlockDropped);
    QTest::newRow("a language renamed to the other") << int(Change::Renamed);
    QTest::newRow("a language attribute dropped") << int(Change::AttributeDropped);
    QTest::newRow("a language attribute added") << int(Change::AttributeAdded);
    QTest::newRow("blanks after a directive") << int(Change::DirectiveBlanks);
    QTest::newRow("a directive line added") << int(Change::AddedLine);
    QTest::newRow("cut short") << int(Change::CutShort);
  }
  void answersAsTheFullComparison() {
    QFETCH(int, change);
    std::mt19937 rng(static_cast<unsigned>(change) * 7919u + 1u);
    struct Way {
      Kind encoder;
      FileKind run;
      char family, client;
    };
    // An included HTML document's client script wants a second pass, not made here.
    const Way ways[] = {{Kind::Asp, FileKind::EncodeAspPage, 'V', 0},
                        {Kind::Asp, FileKind::EncodeAspByExtension, 'V', 0},
                        {Kind::Asp, FileKind::EncodeAspByExtension, 'V', 'J'},
                        {Kind::Html, FileKind::EncodeHtml, 'J', 0},
                        {Kind::Plain, FileKind::EncodePlain, 'J', 0}};
    int passed = 0, failed = 0;
    for (int round = 0; round < 300; ++round) {
      const std::string page = RandomPage(rng);
      for (const Way& way : ways) {
        const std::string out = Changed(Encoded(page, way.encoder, round % 3 != 0), Change(change), rng);
        const std::string full = verify_text::CompareInFull(page, out, way.run, way.family, way.client);
        const verify_text::Workspace::Lease w;
        const bool quick = verify_text::PassesQuickly(*w, page, out, way.run, way.family, way.client);
        QVERIFY2(quick == full.empty(), qPrintable(QString::fromStdString(
                                            page + "\n---\n" + out + "\n---\nfull: " + (full.empty() ? "passes" : full) +
                                            "\nquick: " + (quick ? "passes" : "leaves it to the full comparison"))));
        (quick ? passed : failed)++;
        // Unchanged, a page fails only where its client script wants the second pass.
        QVERIFY(quick || Change(change) != Change::None || way.client);
      }
    }
    // The answer the change is there for came up often enough to mean something.
    QVERIFY2(Change(change) == Change::None ? passed > 100 : failed > 100,
             qPrintable(QStringLiteral("%1 passed, %2 failed").arg(passed).arg(failed)));
  }

  // Where the quick pass leaves a page to the full comparison though it passes: UTF-16
  // text, and a byte that reads as a language mark in the texts compared.
  void leavesToTheFullComparison_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<int>("kind");
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0%\0 \0x\0 \0%\0>\0", 16) << int(Kind::Asp);
    QTest::newRow("a mark's byte in the page") << QByteArray("<p>\x02</p><% x %>") << int(Kind::Asp);
  }
  void leavesToTheFullComparison() {
    QFETCH(QByteArray, page);
    QFETCH(int, kind);
    const std::string source = page.toStdString(), out = Encoded(source, Kind(kind), true);
    QCOMPARE(QString::fromStdString(verify_text::CompareInFull(source, out, FileKind::EncodeAspPage, 'V')), QString());
    const verify_text::Workspace::Lease w;
    QVERIFY(!verify_text::PassesQuickly(*w, source, out, FileKind::EncodeAspPage, 'V', 0));
  }
};

QTEST_GUILESS_MAIN(TestVerifyQuick)
#include "test_verify_quick.moc"
