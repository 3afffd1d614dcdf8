// An included HTML document's client script: the page through our encoder's own code, an
// include first (/e asp /xl), then shielded, through HTML mode, and restored. What HTML
// mode encodes is the client script free of server script; every server block stays
// where IIS sees it, encoded by the first pass, and the check of the result block by block
// passes (and fails on the first pass's output alone). A run whose second pass fails
// leaves nothing of the file behind.
#include <QtTest>

#include "run/encode_run.h"
#include "run/includes/include_client.h"
#include "run/settings/settings_store.h"
#include "test_support.h"
#include "kinds.h"
#include "text_codec.h"
#include "run/encoder/verify.h"

#include <string>

namespace {

std::string Encoded(const std::string& text, screnc::Kind kind, screnc::Lang lang) {
  screnc::KindOptions options;
  options.kind = kind;
  options.default_lang = lang;
  options.add_directive = false;  // /xl
  const screnc::Charset cs = screnc::is_valid_utf8(text) ? screnc::Charset::Utf8 : screnc::Charset::SingleByte;
  std::string out;
  screnc::encode_text(text.data(), text.data() + text.size(), cs, options, out);
  return out;
}

// The two passes, as the run makes them.
std::string BothPasses(const std::string& source, bool& restored) {
  const std::string first = Encoded(source, screnc::Kind::Asp, screnc::Lang::VBScript);
  const std::optional<ShieldedPage> page = ShieldServerScript(first, 'J');
  restored = false;
  if (!page) return first;
  const std::optional<std::string> out =
      RestoreServerScript(Encoded(page->text, screnc::Kind::Html, screnc::Lang::JScript), *page);
  restored = out.has_value();
  return out.value_or(first);
}

}  // namespace

class TestIncludeClient : public QObject, public RunTreeFixture {
  Q_OBJECT
private slots:
  void twoPasses_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArrayList>("kept");    // text the output holds as it is
    QTest::addColumn<QByteArrayList>("hidden");  // text no longer readable
    QTest::addColumn<bool>("clientEncoded");  // the first pass alone fails the check
    QTest::newRow("server block and a client element")
        << QByteArray("<% title = \"Home\" %>\r\n<script language=JavaScript>var secret = 1;</script>\r\n")
        << QByteArrayList{"<script language=JScript.Encode>#@~^"} << QByteArrayList{"title", "secret"} << true;
    QTest::newRow("client body holding <%= %> stays as a page's")
        << QByteArray("<% t = 1 %>\r\n<script language=JavaScript>var a = \"<%= t %>\";</script>\r\n"
                      "<script>var b = 2;</script>\r\n")
        << QByteArrayList{"<script language=JavaScript>var a = \"<%=#@~^", "<script LANGUAGE=\"JScript.Encode\">#@~^"}
        << QByteArrayList{"t = 1", "var b"} << true;
    QTest::newRow("client tag holding a block stays as a page's")
        << QByteArray("<script src=\"<%= base %>/lib.js\"></script><script <%= attrs %>>var c = 3;</script>")
        << QByteArrayList{"<script src=\"<%=#@~^", "var c = 3;"} << QByteArrayList{"base", "attrs"} << false;
    QTest::newRow("server element left to the first pass")
        << QByteArray("<script runat=server language=VBScript>x = 1</script>\r\n<script>var d = 4;</script>")
        << QByteArrayList{"<script runat=server language=VBScript.Encode>#@~^"} << QByteArrayList{"x = 1", "var d"} << true;
    QTest::newRow("a PerlScript page's server element not taken for client script")
        << QByteArray("<%@ LANGUAGE=PerlScript %><script runat=server>$x = 1;</script><script>var e = 5;</script>")
        << QByteArrayList{"<%@ LANGUAGE=PerlScript %><script runat=server>$x = 1;</script>"} << QByteArrayList{"var e"}
        << true;
    QTest::newRow("\"<script\" in a plain server block is no element")
        << QByteArray("<%@ LANGUAGE=PerlScript %><% print \"<script>var f = 6;</script>\"; %>")
        << QByteArrayList{"<% print \"<script>var f = 6;</script>\"; %>"} << QByteArrayList{} << false;
    QTest::newRow("commented client script, as HTML mode leaves it")
        << QByteArray("<% y = 1 %><!-- <script>var g = 7;</script> -->")
        << QByteArrayList{"<!-- <script>var g = 7;</script> -->"} << QByteArrayList{"y = 1"} << false;
    QTest::newRow("Windows-1252 text keeps its character set")
        << QByteArray("<% s = \"caf\xE9\" %><script>var h = \"na\xC3\xAFve\";</script>")
        << QByteArrayList{} << QByteArrayList{"s = ", "var h"} << true;
    QTest::newRow("UTF-8 with a byte-order mark")
        << QByteArray("\xEF\xBB\xBF<% z = 1 %><script>var i = \"\xC3\xA9\";</script>")
        << QByteArrayList{"\xEF\xBB\xBF<%#@~^"} << QByteArrayList{"z = 1", "var i"} << true;
  }
  void twoPasses() {
    QFETCH(QByteArray, source);
    QFETCH(QByteArrayList, kept);
    QFETCH(QByteArrayList, hidden);
    QFETCH(bool, clientEncoded);
    const std::string src = source.toStdString();
    bool restored = false;
    const std::string out = BothPasses(src, restored);
    QVERIFY(restored);
    for (const QByteArray& k : kept) QVERIFY2(out.find(k.toStdString()) != std::string::npos, out.c_str());
    for (const QByteArray& h : hidden) QVERIFY2(out.find(h.toStdString()) == std::string::npos, out.c_str());
    QCOMPARE(QString::fromStdString(CompareDecoded(src, out, FileKind::EncodeAspByExtension, 'V', 'J')), QString());
    // The first pass alone leaves the client script the check asks for readable.
    const std::string first = Encoded(src, screnc::Kind::Asp, screnc::Lang::VBScript);
    QCOMPARE(CompareDecoded(src, first, FileKind::EncodeAspByExtension, 'V', 'J').empty(), !clientEncoded);
    QVERIFY(CompareDecoded(src, first, FileKind::EncodeAspByExtension, 'V').empty());
  }

  // The marks must come back exactly once each; anything else is no page to ship.
  void restoreRefuses_data() {
    QTest::addColumn<int>("cut");  // which damage
    QTest::newRow("a mark lost") << 0;
    QTest::newRow("a mark repeated") << 1;
    QTest::newRow("a mark's number changed") << 2;
    QTest::newRow("a mark's end lost") << 3;
  }
  void restoreRefuses() {
    QFETCH(int, cut);
    const std::optional<ShieldedPage> page =
        ShieldServerScript("<%#@~^AA==^#~@%><script>var a;</script><%#@~^AA==^#~@%>", 'J');
    QVERIFY(page && page->pieces.size() == 2);
    QCOMPARE(RestoreServerScript(page->text, *page).value_or(""), "<%#@~^AA==^#~@%><script>var a;</script><%#@~^AA==^#~@%>");
    std::string text = page->text;
    const std::size_t first = text.find(page->open), end = text.find(page->close);
    switch (cut) {
      case 0: text.erase(first, end + 1 - first); break;
      case 1: text += text.substr(first, end + 1 - first); break;
      case 2: text[first + 1] = '7'; break;
      case 3: text.erase(end, 1); break;
    }
    QVERIFY(!RestoreServerScript(text, *page));
  }

  // UTF-16 is left to the first pass; so is a page that holds every character a mark could use.
  void notShielded_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE<\0%\0", 6);
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0<\0%", 6);
    std::string controls;
    for (char c = 1; c < 32; ++c) controls += c;
    QTest::newRow("every control character") << QByteArray::fromStdString(controls + "<% a %>");
  }
  void notShielded() {
    QFETCH(QByteArray, page);
    QVERIFY(!ShieldServerScript(page.toStdString(), 'J'));
  }

  // The second pass over an included HTML document failing in every way an encoder can
  // (its time limit its own), or stopped: the file fails with the encoder's reason, nothing
  // of either pass is left at its destination, and the pass's hidden folder is gone. The
  // stand-in fails only the second pass, whose source is the "page.htm" in that folder.
  void secondPassFails_data() {
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<bool>("stop");  // Stop while the second pass runs
    QTest::addColumn<QString>("reason");
    QTest::newRow("exit status") << QByteArray("exit:3") << false << "HTML pass: encoder exit code 3";
    QTest::newRow("no output") << QByteArray("nooutput") << false << "HTML pass: encoder wrote no output";
    QTest::newRow("killed") << QByteArray("kill") << false << "HTML pass: encoder killed by signal 9";
    QTest::newRow("marks not kept") << QByteArray("from:") << false
                                    << "HTML pass: the encoder did not leave the server script";
    QTest::newRow("time limit") << QByteArray("hang") << false << "HTML pass: encoder timed out after 1 s";
    QTest::newRow("stopped") << QByteArray("hang") << true << "stopped: encoder ended";
  }
  void secondPassFails() {
    QFETCH(QByteArray, mode);
    QFETCH(bool, stop);
    QFETCH(QString, reason);
    ResetTree(true, false);
    WriteFile(src_, "default.asp", "<!-- #include file=\"inc.htm\" -->\r\n<% a = 1 %>\r\n");
    const fs::path inc = WriteFile(src_, "inc.htm", "<% b = 2 %>\r\n<script language=JavaScript>var c = 3;</script>\r\n");
    const fs::path outputs = TempPath(*tmpDir_, "outputs");
    WriteFile(outputs, "page.htm", "<script language=JScript.Encode>#@~^AA==^#~@</script>\r\n");  // marks lost
    qputenv("QW_FAKE_MODE", mode == "from:" ? mode + QByteArray::fromStdString(outputs.string()) : mode);
    qputenv("QW_FAKE_MODE_ONLY", "/page.htm");
    MemorySettingsStore store;
    for (const auto& [key, value] : {std::pair{"Jobs", "1"}, {"chkASP", "1"}, {"chkHTML", "1"}, {"EncoderTimeout", "1"}})
      store.Write("Settings", key, value);
    host_.onEvents = [&](RecordingHost& h) {  // the pass's folder is there while it runs
      for (const auto& entry : fs::directory_iterator(dst_))
        if (stop && entry.is_directory() && entry.path().filename().string().starts_with(".qw-"))
          h.state.StopRequested = true;
    };
    const RunOutcome out = RunEncoding(host_, store, StopTimes{100, 100});
    QCOMPARE(out.status, stop ? RunOutcome::Status::Stopped : RunOutcome::Status::Completed);
    qunsetenv("QW_FAKE_MODE");
    qunsetenv("QW_FAKE_MODE_ONLY");
    QVERIFY2(host_.entries.filter(Q(ToDisplayPath(inc)) + " - " + reason).size() == 1, qPrintable(host_.text));
    QVERIFY(fs::exists(dst_ / "default.asp"));
    QVERIFY(!fs::exists(dst_ / "inc.htm"));
    for (const auto& entry : fs::directory_iterator(dst_))
      QVERIFY2(entry.path().filename().string()[0] != '.', entry.path().c_str());
  }
};

QTEST_GUILESS_MAIN(TestIncludeClient)
#include "test_include_client.moc"
