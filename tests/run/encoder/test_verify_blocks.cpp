// Verification block by block: an encoder that leaves some of a page's script readable,
// or names another language than the page's, fails the file, and the run leaves nothing
// at its destination. The outputs are made here and written by the stand-in encoder.
#include <QtTest>

#include "block.h"
#include "run/encode_run.h"
#include "run/settings/settings_store.h"
#include "test_support.h"
#include "run/encoder/verify.h"

#include <string>

namespace {

// One encoded block of `plain`, as an encoder writes it in place of the text.
std::string Block(const std::string& plain) {
  std::string out;
  screnc::encode_block(plain.data(), plain.data() + plain.size(), screnc::Charset::Utf8, out);
  return out;
}

FileKind KindOfName(const QString& name) {
  return name.endsWith(".htm") ? FileKind::EncodeHtml : FileKind::EncodeAspPage;
}

std::string Compare(const std::string& source, const std::string& output, FileKind kind) {
  return CompareDecoded(source, output, kind, kind == FileKind::EncodeHtml ? 'J' : 'V');
}

}  // namespace

class TestVerifyBlocks : public QObject, public RunTreeFixture {
  Q_OBJECT
private slots:
  // An encoder that leaves some of the script readable, or names another language than the
  // page's: the check fails, and the run, with our stand-in writing such an output, fails
  // the file and leaves nothing at its destination.
  void partlyEncodedFails_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("reason");  // empty: the output passes
    const std::string page = "<%@ LANGUAGE=VBScript %>\r\n<% a = 1 %>\r\n<p>x</p><% b = 2 %>\r\n"
                             "<script language=VBScript runat=server>c = 3</script>\r\n<%= d %>\r\n";
    const std::string a = "<%" + Block(" a = 1 ") + "%>\r\n";
    const std::string b = "<p>x</p><%" + Block(" b = 2 ") + "%>\r\n", bPlain = "<p>x</p><% b = 2 %>\r\n";
    const std::string c = "<script language=VBScript.Encode runat=server>" + Block("c = 3") + "</script>\r\n";
    const std::string cPlain = "<script language=VBScript runat=server>c = 3</script>\r\n";
    const std::string d = "<%=" + Block(" d ") + "%>\r\n", dPlain = "<%= d %>\r\n";
    const std::string vb = "<%@ LANGUAGE=VBScript.Encode %>\r\n", js = "<%@ LANGUAGE=JScript.Encode %>\r\n";
    // The directive an encoder adds to a page that has none.
    const std::string vbAdded = "<%@ LANGUAGE = VBScript.Encode %>\r\n", jsAdded = "<%@ LANGUAGE = JScript.Encode %>\n";
    const auto row = [](const char* tag, const char* name, const std::string& source, const std::string& output,
                        const QString& reason) {
      QTest::newRow(tag) << name << QByteArray::fromStdString(source) << QByteArray::fromStdString(output) << reason;
    };
    const QString swapped = "the script language differs: the source has VBScript, the decoded output JScript";
    row("every block encoded", "page.asp", page, vb + a + b + c + d, "");
    row("second block plain", "page.asp", page, vb + a + bPlain + c + d,
        "line 3 (byte 50 of the source): script the encoder should have encoded is readable in the output: \"b = 2 %>");
    row("server script element plain", "page.asp", page, vb + a + b + cPlain + d, "readable in the output: \"c = 3</script>");
    row("last block plain", "page.asp", page, vb + a + b + c + dPlain, "readable in the output: \"d %>");
    row("every block plain", "page.asp", page, vb + "<% a = 1 %>\r\n" + bPlain + cPlain + dPlain,
        "the output holds no encoded block: its script is readable");
    const std::string noDirective = page.substr(page.find('\n') + 1);
    row("language swapped in an added directive", "page.asp", noDirective, jsAdded + a + b + c + d, "line 1 (byte 0 of the source): " + swapped);
    row("language swapped in the directive", "page.asp", page, js + a + b + c + d, swapped);
    row("directive completed in another language", "page.asp", "<%@ CODEPAGE=65001 %>\r\n<% a = 1 %>\r\n",
        "<%@ LANGUAGE=JScript.Encode CODEPAGE=65001 %>\r\n" + a, swapped);
    row("server element given another language", "page.asp", "<script runat=server>c = 3</script>",
        vbAdded + "<script runat=server LANGUAGE=\"JScript.Encode\">" + Block("c = 3") + "</script>",
        swapped);
    const std::string html = "<script language=\"JScript\">f()</script><p>x</p><script language=\"JScript\">g()</script>";
    row("second client script plain", "page.htm", html,
        "<script language=\"JScript.Encode\">" + Block("f()") + "</script><p>x</p><script language=\"JScript.Encode\">g()</script>",
        "readable in the output: \"g()</script>");
    row("client script given another language", "page.htm", "<script>f()</script>",
        "<script LANGUAGE=\"VBScript.Encode\">" + Block("f()") + "</script>",
        "the script language differs: the source has JScript, the decoded output VBScript");
    row("only blanks left plain", "page.asp", "<%  %><% a = 1 %>\r\n", vbAdded + "<%  %>" + a, "");
  }
  void partlyEncodedFails() {
    QFETCH(QString, name);
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, output);
    QFETCH(QString, reason);
    const FileKind kind = KindOfName(name);
    const QString got = QString::fromStdString(Compare(source.toStdString(), output.toStdString(), kind));
    QVERIFY2(reason.isEmpty() ? got.isEmpty() : got.contains(reason), qPrintable(got));

    ResetTree(true, false);
    const fs::path from = WriteFile(src_, S(name), source);
    WriteFile(TempPath(*tmpDir_, "outputs"), S(name), output);
    qputenv("QW_FAKE_MODE", "from:" + QByteArray::fromStdString(TempPath(*tmpDir_, "outputs").string()));
    MemorySettingsStore store;
    for (const auto& [key, value] : {std::pair{"Jobs", "1"}, {"chkVerify", "1"}, {"chkASP", "1"}, {"chkHTML", "1"}})
      store.Write("Settings", key, value);
    RunEncoding(host_, store);
    qunsetenv("QW_FAKE_MODE");
    const QString line = Q(ToDisplayPath(from));
    if (reason.isEmpty()) {
      QVERIFY2(host_.entries.contains(line), qPrintable(host_.text));
      QVERIFY(fs::exists(dst_ / S(name)));
    } else {
      QVERIFY2(host_.entries.filter(line + " - verification failed: ").size() == 1, qPrintable(host_.text));
      QVERIFY2(host_.entries.filter(reason).size() == 1, qPrintable(host_.text));
      QVERIFY(!fs::exists(dst_ / S(name)));
    }
  }

};

QTEST_GUILESS_MAIN(TestVerifyBlocks)
#include "test_verify_blocks.moc"
