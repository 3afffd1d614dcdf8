// The settings store's key rules and the settings a run loads.
#include "run/settings/run_settings.h"
#include "run/settings/settings_store.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Remembers the order in which keys are read.
class ReadOrderStore : public MemorySettingsStore {
public:
  mutable QStringList reads;
  std::string Read(const std::string& section, const std::string& key, const std::string& def) const override {
    reads << QString::fromStdString(key);
    return MemorySettingsStore::Read(section, key, def);
  }
};

int CountInFile(const QString& path, const QByteArray& needle) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  return f.readAll().toLower().count(needle.toLower());
}

std::filesystem::path Native(const QString& path) { return path.toStdU16String(); }

}  // namespace

class TestSettings : public QObject {
  Q_OBJECT
private slots:
  void keysIgnoreCaseAndLeaveOneSpelling_data();
  void keysIgnoreCaseAndLeaveOneSpelling();
  void handEditedDuplicatesAreMerged();
  void valuesSurviveReopening();
  void emptyStoreDefaults();
  void checkBoxRule_data();
  void checkBoxRule();
  void readOrder();
  void overridesSitInFront();
};

void TestSettings::keysIgnoreCaseAndLeaveOneSpelling_data() {
  QTest::addColumn<bool>("file");
  QTest::newRow("INI file") << true;
  QTest::newRow("memory") << false;
}

void TestSettings::keysIgnoreCaseAndLeaveOneSpelling() {
  QFETCH(bool, file);
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.ini"));
  std::unique_ptr<SettingsStore> store = file ? OpenSettingsFile(Native(ini)) : std::make_unique<MemorySettingsStore>();
  store->Write("Settings", "Check2", "1");
  QCOMPARE(store->Read("Settings", "check2", "0"), std::string("1"));
  QCOMPARE(store->Read("settings", "CHECK2", "0"), std::string("1"));
  store->Write("Settings", "check2", "0");
  QCOMPARE(store->Read("Settings", "Check2", "1"), std::string("0"));
  QCOMPARE(store->WriteProblem(), std::string());
  if (file) QCOMPARE(CountInFile(ini, "check2="), 1);
}

void TestSettings::handEditedDuplicatesAreMerged() {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.ini"));
  QFile f(ini);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write("[Settings]\nchkasp=0\nCHKASP=1\n");
  f.close();
  auto store = OpenSettingsFile(Native(ini));
  QCOMPARE(store->Read("Settings", "chkasp", ""), std::string("0"));  // the exact spelling wins
  store->Write("Settings", "chkASP", "1");
  QCOMPARE(CountInFile(ini, "chkasp="), 1);
  QCOMPARE(store->Read("Settings", "ChkAsp", ""), std::string("1"));
}

void TestSettings::valuesSurviveReopening() {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("sub/q.ini"));  // the folder is made too
  OpenSettingsFile(Native(ini))->Write("Settings", "txtDefxt", ".asp.inc .htm");
  QCOMPARE(OpenSettingsFile(Native(ini))->Read("Settings", "TXTDEFXT", ""), std::string(".asp.inc .htm"));
}

void TestSettings::emptyStoreDefaults() {
  const RunSettings s = LoadRunSettings(MemorySettingsStore());
  QVERIFY(!s.EncodeAsp && !s.EncodeHtml && !s.EncodeJs && !s.EncodeVbs);
  QCOMPARE(s.AspSwitch, std::string());
  QCOMPARE(s.AspExtensions, std::string("*.inc"));
  QCOMPARE(s.AspLanguage, std::string("VBScript"));
  QCOMPARE(s.HtmlLanguage, std::string("JScript"));
  QCOMPARE(s.TimeoutSeconds, 300);
}

void TestSettings::checkBoxRule_data() {
  QTest::addColumn<QString>("stored");
  QTest::addColumn<bool>("set");
  QTest::newRow("one") << "1" << true;
  QTest::newRow("zero") << "0" << false;
  QTest::newRow("greyed") << "2" << true;
  QTest::newRow("minus one") << "-1" << true;
  QTest::newRow("blanks") << " 1 " << true;
  QTest::newRow("zero point zero") << "0.0" << false;
  QTest::newRow("not a number") << "yes" << false;
  QTest::newRow("empty") << "" << false;
}

void TestSettings::checkBoxRule() {
  QFETCH(QString, stored);
  QFETCH(bool, set);
  MemorySettingsStore store;
  for (const char* key : {"chkASP", "chkHTML", "chkJS", "Check2", "chkLangDirect"}) {
    store.Write("Settings", key, stored.toStdString());
  }
  const RunSettings s = LoadRunSettings(store);
  QCOMPARE(s.EncodeAsp, set);
  QCOMPARE(s.EncodeHtml, set);
  QCOMPARE(s.EncodeJs, set);
  QCOMPARE(s.EncodeVbs, set);
  // The box is "Dont add the '@language' directive": set gives /xl.
  QCOMPARE(s.AspSwitch, std::string(set ? " /xl " : ""));
}

void TestSettings::readOrder() {
  ReadOrderStore store;
  LoadRunSettings(store);
  QCOMPARE(store.reads, QStringList({"chkASP", "chkHTML", "chkJS", "check2", "Combo1", "Combo2",
                                     "txtDefxt", "chkLangDirect", "EncoderTimeout", "Jobs", "chkVerify",
                                     "txtExclude", "chkChanged", "chkDelete", "chkDeleteExcluded", "Exclude", "Verbose", "Checksum",
                                     "MaxDelete", "DryRun", "Report", "Strict"}));
}

void TestSettings::overridesSitInFront() {
  MemorySettingsStore behind;
  behind.Write("Settings", "chkASP", "1");
  behind.Write("Settings", "txtDefxt", "*.lib");
  MemorySettingsStore front(&behind);
  front.Write("Settings", "CHKASP", "0");
  const RunSettings s = LoadRunSettings(front);
  QVERIFY(!s.EncodeAsp);
  QCOMPARE(s.AspExtensions, std::string("*.lib"));
  QCOMPARE(behind.Read("Settings", "chkASP", ""), std::string("1"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
