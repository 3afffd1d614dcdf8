// The second pass over an included HTML document failing in every way an encoder can (its
// time limit its own): the file fails with the encoder's reason, nothing of either pass is
// left at its destination, and the pass's hidden folder is gone. The stand-in fails only the second pass, whose
// source is the "page.htm" in that folder.
#include <QtTest>

#include "encode_run.h"
#include "settings_store.h"
#include "test_support.h"

#include <string>

class TestClientPass : public QObject, public RunTreeFixture {
  Q_OBJECT
private slots:
  void secondPassFails_data() {
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("exit status") << QByteArray("exit:3") << "HTML pass: encoder exit code 3";
    QTest::newRow("no output") << QByteArray("nooutput") << "HTML pass: encoder wrote no output";
    QTest::newRow("killed") << QByteArray("kill") << "HTML pass: encoder killed by signal 9";
    QTest::newRow("marks not kept") << QByteArray("from:") << "HTML pass: the encoder did not leave the server script";
    QTest::newRow("time limit") << QByteArray("hang") << "HTML pass: encoder timed out after 1 s";
  }
  void secondPassFails() {
    QFETCH(QByteArray, mode);
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
    RunEncoding(host_, store);
    qunsetenv("QW_FAKE_MODE");
    qunsetenv("QW_FAKE_MODE_ONLY");
    QVERIFY2(host_.entries.filter(Q(ToDisplayPath(inc)) + " - " + reason).size() == 1, qPrintable(host_.text));
    QVERIFY(fs::exists(dst_ / "default.asp"));
    QVERIFY(!fs::exists(dst_ / "inc.htm"));
    for (const auto& entry : fs::directory_iterator(dst_))
      QVERIFY2(entry.path().filename().string()[0] != '.', entry.path().c_str());
  }
};

QTEST_GUILESS_MAIN(TestClientPass)
#include "test_client_pass.moc"
