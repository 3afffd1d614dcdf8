// What each kind of file gets encoded: the real pages byte for byte, then tables of
// HTML, ASP and plain-script cases, then byte order marks and code pages.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "encode_file.h"
#include "kinds.h"
#include "support.h"

using namespace screnc;
using support::block;
using support::bytes;
using support::str;

namespace {

struct Switches {
  Kind kind = Kind::Html;
  Lang lang = Lang::None;  // None: the kind's default
  bool xl = false;
  bool crlf = false;
};

KindOptions options(const Switches& s) {
  KindOptions o;
  o.kind = s.kind;
  o.default_lang = s.lang != Lang::None ? s.lang : s.kind == Kind::Asp ? Lang::VBScript : Lang::JScript;
  o.add_directive = !s.xl;
  o.crlf_after_directive = s.crlf;
  return o;
}

QByteArray encode(const QByteArray& in, const Switches& s) {
  std::string out;
  encode_text(in.constData(), in.constData() + in.size(), Charset::Utf8, options(s), out);
  return bytes(out);
}

QByteArray B(const char* plain) { return bytes(block(plain)); }

const QByteArray kDirective = "<%@ LANGUAGE = VBScript.Encode %>\n";

void addCase(const char* name, Switches s, const QByteArray& in, const QByteArray& out) {
  QTest::newRow(name) << int(s.kind) << int(s.lang) << s.xl << s.crlf << in << out;
}

}  // namespace

class TestKinds : public QObject {
  Q_OBJECT

 private slots:
  // Every real page: the source encoded as the real tool did, and the result decodes to
  // the plain file.
  void realPages_data() {
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QJsonObject>("vector");
    const bool shared = support::haveVectors();
    const QString dir = shared ? support::vectorsDir() : support::dataDir();
    QFile f(support::vectorsDir() + "/manifest.json");
    if (!shared) {
      // Without the shared folder only the copied small pages are checked.
      for (const char* name : {"11-encoder-htm-cjk", "12-helloworld-vbscript"}) {
        QJsonObject v{{"file", QString(name) + ".htm"}, {"ext", ".htm"},
                      {"source", QString(name) + ".source.htm"}, {"plain", QString(name) + ".plain"}};
        QTest::newRow(name) << dir << v;
      }
      return;
    }
    QVERIFY(f.open(QIODevice::ReadOnly));
    for (const QJsonValue v : QJsonDocument::fromJson(f.readAll())["vectors"].toArray())
      QTest::newRow(qPrintable(v["file"].toString())) << dir << v.toObject();
  }
  void realPages() {
    QFETCH(QString, dir);
    QFETCH(QJsonObject, vector);
    const QByteArray expected = support::readAll(dir + "/" + vector["file"].toString());
    const QByteArray plain = support::readAll(dir + "/" + vector["plain"].toString());
    QVERIFY(!expected.isEmpty() && !plain.isEmpty());
    DecodeResult r;
    QCOMPARE(bytes(support::decoded(str(expected), Charset::Utf8, &r)), plain);
    QCOMPARE(r.malformed, std::size_t(0));
    if (!vector.contains("source")) return;  // a block on its own: test_codec covers it

    const QString ext = vector["ext"].toString();
    const QByteArray source = support::readAll(dir + "/" + vector["source"].toString());
    KindOptions o;
    o.kind = *kind_for_extension(ext.toStdString());
    o.default_lang = default_lang_for(o.kind, ext.toStdString());
    o.add_directive = !vector["xl"].toBool();
    o.crlf_after_directive = vector["newline"].toString() == "\r\n";
    std::string out;
    QCOMPARE(encode_file_bytes(str(source), o, std::nullopt, out), FileStatus::Ok);
    QCOMPARE(bytes(out), expected);
  }

  void scanners_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("lang");
    QTest::addColumn<bool>("xl");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    const Switches html{Kind::Html};
    const Switches asp{Kind::Asp};
    const Switches aspXl{Kind::Asp, Lang::None, true};
    const Switches plain{Kind::Plain};

    // HTML
    addCase("html: JScript", html, "<script language=\"JScript\">a<b</script>",
            "<script language=\"JScript.Encode\">" + B("a<b") + "</script>");
    addCase("html: javascript, single quotes, tag case kept", html,
            "<SCRIPT Language='javascript'>\r\nx()\r\n</SCRIPT>",
            "<SCRIPT Language='JScript.Encode'>" + B("\r\nx()\r\n") + "</SCRIPT>");
    addCase("html: unquoted VBScript", html, "<script language=VBScript>MsgBox 1</script>",
            "<script language=VBScript.Encode>" + B("MsgBox 1") + "</script>");
    addCase("html: no language takes the default", html, "<script>x=1</script>",
            "<script LANGUAGE=\"JScript.Encode\">" + B("x=1") + "</script>");
    addCase("html: no language, /l VBScript", Switches{Kind::Html, Lang::VBScript},
            "<script>x=1</script>", "<script LANGUAGE=\"VBScript.Encode\">" + B("x=1") + "</script>");
    addCase("html: type text/javascript", html, "<script type=\"text/javascript\">x</script>",
            "<script type=\"text/javascript\" LANGUAGE=\"JScript.Encode\">" + B("x") + "</script>");
    addCase("html: type text/vbscript", html, "<script type=text/vbscript>x</script>",
            "<script type=text/vbscript LANGUAGE=\"VBScript.Encode\">" + B("x") + "</script>");
    addCase("html: other type untouched", html, "<script type=\"module\">x</script>",
            "<script type=\"module\">x</script>");
    addCase("html: src untouched", html, "<script language=\"JScript\" src=\"a.js\">x</script>",
            "<script language=\"JScript\" src=\"a.js\">x</script>");
    addCase("html: empty body untouched", html, "<script language=\"JScript\"></script>",
            "<script language=\"JScript\"></script>");
    addCase("html: blank body untouched", html, "<script>\r\n  </script>", "<script>\r\n  </script>");
    addCase("html: other language untouched", html, "<script language=\"PerlScript\">x</script>",
            "<script language=\"PerlScript\">x</script>");
    addCase("html: already encoded untouched", html,
            "<script language=\"JScript.Encode\">" + B("x") + "</script>",
            "<script language=\"JScript.Encode\">" + B("x") + "</script>");
    addCase("html: marker keeps the head plain", html,
            "<script language=\"JScript\"><!--\n//**Start Encode**\r\nx=1;\r\n//-->\n</script>",
            "<script language=\"JScript.Encode\"><!--\n//**Start Encode**" + B("\r\nx=1;\r\n//-->\n") + "</script>");
    addCase("html: VBScript marker", html, "<script language=\"VBScript\">'**Start Encode**\nx</script>",
            "<script language=\"VBScript.Encode\">'**Start Encode**" + B("\nx") + "</script>");
    addCase("html: marker at the end leaves all", html,
            "<script language=\"JScript\">x //**Start Encode**</script>",
            "<script language=\"JScript\">x //**Start Encode**</script>");
    addCase("html: marker needs a comment sign", html, "<script>**Start Encode**x</script>",
            "<script LANGUAGE=\"JScript.Encode\">" + B("**Start Encode**x") + "</script>");
    addCase("html: script in a comment untouched", html, "<!-- <script>x</script> -->",
            "<!-- <script>x</script> -->");
    addCase("html: after a comment", html, "<!-- a -- b --><script>x</script>",
            "<!-- a -- b --><script LANGUAGE=\"JScript.Encode\">" + B("x") + "</script>");
    addCase("html: not a script tag", html, "<scripts>x</scripts><scriptx>", "<scripts>x</scripts><scriptx>");
    addCase("html: no end tag untouched", html, "<script>x", "<script>x");
    addCase("html: ASP blocks untouched", html, "<p><% x %></p>", "<p><% x %></p>");
    addCase("html: two scripts, handler attribute kept", html,
            "<script>a</script><b onclick=\"c()\"><SCRIPT language=vbscript>d</SCRIPT>",
            "<script LANGUAGE=\"JScript.Encode\">" + B("a") + "</script><b onclick=\"c()\">"
            "<SCRIPT language=VBScript.Encode>" + B("d") + "</SCRIPT>");
    addCase("html: '>' inside a quoted attribute", html, "<script title=\"a>b\">x</script>",
            "<script title=\"a>b\" LANGUAGE=\"JScript.Encode\">" + B("x") + "</script>");
    addCase("html: body ends at the first end tag", html, "<script>s='</script>';</script>",
            "<script LANGUAGE=\"JScript.Encode\">" + B("s='") + "</script>';</script>");

    // ASP
    addCase("asp: block and directive", asp, "<p><% x = 1 %></p>", kDirective + "<p><%" + B(" x = 1 ") + "%></p>");
    addCase("asp: <%= keeps its =", asp, "<%=x%>", kDirective + "<%=" + B("x") + "%>");
    addCase("asp: /xl adds nothing", aspXl, "<%x%>", "<%" + B("x") + "%>");
    addCase("asp: CR LF after the directive", Switches{Kind::Asp, Lang::None, false, true}, "<%x%>",
            "<%@ LANGUAGE = VBScript.Encode %>\r\n<%" + B("x") + "%>");
    addCase("asp: /l JScript", Switches{Kind::Asp, Lang::JScript}, "<%x%>",
            "<%@ LANGUAGE = JScript.Encode %>\n<%" + B("x") + "%>");
    addCase("asp: directive rewritten, quotes kept", asp, "<%@ LANGUAGE=\"VBScript\" %>\r\n<%x%>",
            "<%@ LANGUAGE=\"VBScript.Encode\" %>\r\n<%" + B("x") + "%>");
    addCase("asp: directive with codepage", asp, "<%@language=vbscript codepage=936 %><%x%>",
            "<%@language=VBScript.Encode codepage=936 %><%" + B("x") + "%>");
    addCase("asp: directive rewritten under /xl too", aspXl, "<%@language=JScript%><%x%>",
            "<%@language=JScript.Encode%><%" + B("x") + "%>");
    addCase("asp: directive without a language", asp, "<%@ CODEPAGE=65001 %><%x%>",
            "<%@ LANGUAGE=VBScript.Encode CODEPAGE=65001 %><%" + B("x") + "%>");
    addCase("asp: directive without a language under /xl", aspXl, "<%@CODEPAGE=65001%><%x%>",
            "<%@CODEPAGE=65001%><%" + B("x") + "%>");
    addCase("asp: quote left open in the directive", asp, "<%@ LANGUAGE=VBScript x='%>\n<%x%>'",
            "<%@ LANGUAGE=VBScript x='%>\n<%" + B("x") + "%>'");
    addCase("asp: directive already encoded", asp, "<%@ LANGUAGE=VBScript.Encode %><%x%>",
            "<%@ LANGUAGE=VBScript.Encode %><%" + B("x") + "%>");
    addCase("asp: other page language leaves blocks", asp, "<%@ LANGUAGE=PerlScript %><%x%>",
            "<%@ LANGUAGE=PerlScript %><%x%>");
    addCase("asp: a later <%@ is left alone", asp, "<%x%><%@ y %>", kDirective + "<%" + B("x") + "%><%@ y %>");
    addCase("asp: client script untouched, its ASP block encoded", asp,
            "<script language=\"JavaScript\">var a='<%=v%>';</script>",
            kDirective + "<script language=\"JavaScript\">var a='<%=" + B("v") + "%>';</script>");
    addCase("asp: server script", asp, "<SCRIPT RUNAT=SERVER LANGUAGE=VBScript>Sub A\r\nEnd Sub</SCRIPT>",
            kDirective + "<SCRIPT RUNAT=SERVER LANGUAGE=VBScript.Encode>" + B("Sub A\r\nEnd Sub") + "</SCRIPT>");
    addCase("asp: server script takes the page language", asp, "<script runat=\"server\">x</script>",
            kDirective + "<script runat=\"server\" LANGUAGE=\"VBScript.Encode\">" + B("x") + "</script>");
    addCase("asp: already encoded block", asp, "<%" + B("x") + "%>", kDirective + "<%" + B("x") + "%>");
    addCase("asp: empty block", asp, "<%%>", kDirective + "<%%>");
    addCase("asp: <%= alone", asp, "<%=%>", kDirective + "<%=%>");
    addCase("asp: unterminated block", asp, "<%x", kDirective + "<%x");
    addCase("asp: marker in a block", asp, "<% '**Start Encode**\r\nx %>",
            kDirective + "<% '**Start Encode**" + B("\r\nx ") + "%>");
    addCase("asp: %> in a string ends the block", asp, "<% s=\"%>\" %>",
            kDirective + "<%" + B(" s=\"") + "%>\" %>");
    addCase("asp: blocks in comments are encoded", asp, "<!-- <%x%> -->", kDirective + "<!-- <%" + B("x") + "%> -->");

    // ASP: <% %> inside a <script> tag's attributes, quoted or not, is a block like any
    // other; a client tag is otherwise left exactly as it is.
    addCase("asp tag: double-quoted src", asp,
            "<script type=\"text/javascript\" src=\"<%=strPath%>/lib.js\"></script>",
            kDirective + "<script type=\"text/javascript\" src=\"<%=" + B("strPath") + "%>/lib.js\"></script>");
    addCase("asp tag: unquoted src", asp, "<script src=<%=p%>/x.js></script>",
            kDirective + "<script src=<%=" + B("p") + "%>/x.js></script>");
    addCase("asp tag: single-quoted src", asp, "<script src='<%=p%>/x.js'></script>",
            kDirective + "<script src='<%=" + B("p") + "%>/x.js'></script>");
    addCase("asp tag: quotes and '>' inside the block", asp,
            "<script src=\"<%= Path(\"a>b\") %>/x.js\"></script>",
            kDirective + "<script src=\"<%=" + B(" Path(\"a>b\") ") + "%>/x.js\"></script>");
    addCase("asp tag: block as an attribute, body kept", asp, "<script <%=attrs%>>x()</script>",
            kDirective + "<script <%=" + B("attrs") + "%>>x()</script>");
    addCase("asp tag: block in the tag and in the body", asp,
            "<script language=\"JavaScript\" src=\"<%=a%>\">var b='<%=b%>';</script>",
            kDirective + "<script language=\"JavaScript\" src=\"<%=" + B("a") + "%>\">var b='<%=" + B("b") + "%>';</script>");
    addCase("asp tag: no end tag, later blocks still encoded", asp, "<script src=<%=a%>><%b%>",
            kDirective + "<script src=<%=" + B("a") + "%>><%" + B("b") + "%>");
    addCase("asp tag: server script, language rewritten beside a block", asp,
            "<script runat=server title=\"<%=t%>\" language=vbscript>x</script>",
            kDirective + "<script runat=server title=\"<%=" + B("t") + "%>\" language=VBScript.Encode>" + B("x") + "</script>");
    addCase("asp tag: server script, language added after an unquoted block", asp,
            "<script runat=server data=<%=t%>>x</script>",
            kDirective + "<script runat=server data=<%=" + B("t") + "%> LANGUAGE=\"VBScript.Encode\">" + B("x") + "</script>");
    addCase("asp tag: server script without an end tag", asp, "<script runat=server>x<%y%>",
            kDirective + "<script runat=server>x<%" + B("y") + "%>");
    addCase("asp: blocks in other tags' attributes", asp,
            "<input value=\"<%=v%>\"><a href=\"javascript:showDetails('txtSubType=<%=t%>')\">",
            kDirective + "<input value=\"<%=" + B("v") + "%>\"><a href=\"javascript:showDetails('txtSubType=<%=" + B("t") + "%>')\">");
    addCase("html: ASP block in a script tag untouched", html, "<script src=\"<%=a%>\"></script>",
            "<script src=\"<%=a%>\"></script>");

    // Plain scripts
    addCase("plain: whole text, final CR LF inside", plain, "WScript.Echo 1\r\n", B("WScript.Echo 1\r\n"));
    addCase("plain: VBScript marker", plain, "' (c)\r\n'**Start Encode**\r\nx", "' (c)\r\n'**Start Encode**" + B("\r\nx"));
    addCase("plain: marker in any case", plain, "//**start encode**x", "//**start encode**" + B("x"));
    addCase("plain: marker at the end", plain, "x //**Start Encode**", "x //**Start Encode**");
    addCase("plain: markup is just text", plain, "<%x%>", B("<%x%>"));
  }
  void scanners() {
    QFETCH(int, kind);
    QFETCH(int, lang);
    QFETCH(bool, xl);
    QFETCH(bool, crlf);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QCOMPARE(encode(input, Switches{Kind(kind), Lang(lang), xl, crlf}), output);
  }

  // Whole files: the BOM is kept first and the output is written in the same encoding.
  void encodings_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("codePage");  // empty: not given
    QTest::addColumn<QByteArray>("output");  // empty: "Bad format"
    const QByteArray dir = kDirective;
    QTest::newRow("UTF-8 BOM before the directive")
        << QByteArray("\xEF\xBB\xBF<%x%>") << QString() << "\xEF\xBB\xBF" + dir + "<%" + B("x") + "%>";
    QTest::newRow("no BOM, UTF-8") << QByteArray("<%\xC3\xA9%>") << QString()
                                   << dir + "<%" + bytes(block("\xC3\xA9")) + "%>";
    QTest::newRow("no BOM, not UTF-8: 1252")
        << QByteArray("<%\xE9\xE9%>") << QString() << dir + "<%" + bytes(block("\xE9\xE9", Charset::SingleByte)) + "%>";
    QTest::newRow("/cp 1252 on UTF-8 bytes")
        << QByteArray("<%\xC3\xA9%>") << "1252" << dir + "<%" + bytes(block("\xC3\xA9", Charset::SingleByte)) + "%>";
    QTest::newRow("/cp 932, trail byte '@' copied")
        << QByteArray("<%\x82\x40%>") << "932" << dir + "<%" + bytes(block("\x82\x40", Charset::Cp932)) + "%>";
    QTest::newRow("/cp 936") << QByteArray("<%\xBA\xDA%>") << "936" << dir + "<%" + bytes(block("\xBA\xDA", Charset::Cp936)) + "%>";
    QTest::newRow("/cp 949") << QByteArray("<%\xB0\xA1%>") << "949" << dir + "<%" + bytes(block("\xB0\xA1", Charset::Cp949)) + "%>";
    QTest::newRow("/cp 950") << QByteArray("<%\xA4\x40%>") << "950" << dir + "<%" + bytes(block("\xA4\x40", Charset::Cp950)) + "%>";
    QTest::newRow("line breaks outside blocks kept")
        << QByteArray("a\r\nb\nc\r<%x%>\r\n") << QString() << dir + "a\r\nb\nc\r<%" + B("x") + "%>\r\n";
    QTest::newRow("empty file") << QByteArray() << QString() << QByteArray();
    QTest::newRow("UTF-8 BOM only") << QByteArray("\xEF\xBB\xBF") << QString() << QByteArray();
    QTest::newRow("UTF-8 BOM, invalid UTF-8") << QByteArray("\xEF\xBB\xBF<%\xE9%>") << QString() << QByteArray();
    QTest::newRow("/cp 932, stray lead byte") << QByteArray("<%\x82<%>") << "932" << QByteArray();
    QTest::newRow("/cp 950, lead byte at the end") << QByteArray("<%x%>\xA4") << "950" << QByteArray();
    QTest::newRow("/cp 65001, invalid UTF-8") << QByteArray("<%\xE9%>") << "65001" << QByteArray();
    QTest::newRow("UTF-16 odd size") << QByteArray("\xFF\xFE<\0%", 5) << QString() << QByteArray();
    QTest::newRow("UTF-16 BOM only") << QByteArray("\xFE\xFF") << QString() << QByteArray();
  }
  void encodings() {
    QFETCH(QByteArray, input);
    QFETCH(QString, codePage);
    QFETCH(QByteArray, output);
    KindOptions o = options(Switches{Kind::Asp});
    const auto cp = codePage.isEmpty() ? std::nullopt : charset_from_code_page(codePage.toStdString());
    std::string out;
    const FileStatus st = encode_file_bytes(str(input), o, cp, out);
    if (output.isEmpty()) {
      QCOMPARE(st, FileStatus::BadFormat);
    } else {
      QCOMPARE(st, FileStatus::Ok);
      QCOMPARE(bytes(out), output);
    }
  }

  void utf16_data() {
    QTest::addColumn<bool>("bigEndian");
    QTest::newRow("LE") << false;
    QTest::newRow("BE") << true;
  }
  void utf16() {
    QFETCH(bool, bigEndian);
    const std::u16string text = u"<p>\u00e9</p><%=\u9ED1 & x%>\r\n";
    std::string input(bigEndian ? "\xFE\xFF" : "\xFF\xFE");
    append_utf16_bytes(input, text, bigEndian);
    std::string out;
    QCOMPARE(encode_file_bytes(input, options(Switches{Kind::Asp}), std::nullopt, out), FileStatus::Ok);
    QVERIFY(out.starts_with(bigEndian ? "\xFE\xFF" : "\xFF\xFE"));
    const std::u16string got = utf16_from_bytes(std::string_view(out).substr(2), bigEndian);
    std::u16string body = u"\u9ED1 & x", blk;
    encode_block(body.data(), body.data() + body.size(), Charset::Utf16, blk);
    const std::u16string expect =
        u"<%@ LANGUAGE = VBScript.Encode %>\n<p>\u00e9</p><%=" + blk + u"%>\r\n";
    QVERIFY(got == expect);
    // The non-ASCII character counts one unit: 5 characters.
    QVERIFY(blk.substr(4, 8) == u"BQAAAA==");
  }
};

QTEST_APPLESS_MAIN(TestKinds)
#include "test_kinds.moc"
