// The settings store's key rules and the settings a run loads.
#include "run_settings.h"
#include "settings_store.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Remembers the order in which keys are read.
class ReadOrderStore : public MemorySettingsStore {
public:
  mutable QStringList reads;
  QString Read(const QString& section, const QString& key, const QString& def) const override {
    reads << key;
    return MemorySettingsStore::Read(section, key, def);
  }
};

int CountInFile(const QString& path, const QByteArray& needle) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  return f.readAll().toLower().count(needle.toLower());
}

}  // namespace

class TestSettings : public QObject {
  Q_OBJECT
private slots:
  void keysIgnoreCaseAndLeaveOneSpelling();
  void handEditedDuplicatesAreMerged();
  void valuesSurviveReopening();
  void emptyStoreDefaults();
  void checkBoxRule_data();
  void checkBoxRule();
  void readOrder();
  void overridesSitInFront();
};

void TestSettings::keysIgnoreCaseAndLeaveOneSpelling() {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.ini"));
  auto store = QSettingsStore::AtFile(ini);
  store->Write(QStringLiteral("Settings"), QStringLiteral("Check2"), QStringLiteral("1"));
  QCOMPARE(store->Read(QStringLiteral("Settings"), QStringLiteral("check2"), QStringLiteral("0")), QStringLiteral("1"));
  QCOMPARE(store->Read(QStringLiteral("Settings"), QStringLiteral("CHECK2"), QStringLiteral("0")), QStringLiteral("1"));
  store->Write(QStringLiteral("Settings"), QStringLiteral("check2"), QStringLiteral("0"));
  QCOMPARE(store->Read(QStringLiteral("Settings"), QStringLiteral("Check2"), QStringLiteral("1")), QStringLiteral("0"));
  QVERIFY(store->Sync());
  QCOMPARE(CountInFile(ini, "check2="), 1);
}

void TestSettings::handEditedDuplicatesAreMerged() {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.ini"));
  QFile f(ini);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write("[Settings]\nchkasp=0\nCHKASP=1\n");
  f.close();
  auto store = QSettingsStore::AtFile(ini);
  store->Write(QStringLiteral("Settings"), QStringLiteral("chkASP"), QStringLiteral("1"));
  QVERIFY(store->Sync());
  QCOMPARE(CountInFile(ini, "chkasp="), 1);
  QCOMPARE(store->Read(QStringLiteral("Settings"), QStringLiteral("ChkAsp"), QString()), QStringLiteral("1"));
}

void TestSettings::valuesSurviveReopening() {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.ini"));
  {
    auto store = QSettingsStore::AtFile(ini);
    store->Write(QStringLiteral("Settings"), QStringLiteral("txtDefxt"), QStringLiteral(".asp.inc .htm"));
  }
  auto again = QSettingsStore::AtFile(ini);
  QCOMPARE(again->Read(QStringLiteral("Settings"), QStringLiteral("TXTDEFXT"), QString()), QStringLiteral(".asp.inc .htm"));
}

void TestSettings::emptyStoreDefaults() {
  const RunSettings s = LoadRunSettings(MemorySettingsStore());
  QVERIFY(!s.EncodeAsp && !s.EncodeHtml && !s.EncodeJs && !s.EncodeVbs);
  QCOMPARE(s.AspSwitch, QString());
  QCOMPARE(s.AspExtensions, QStringLiteral("*.inc"));
  QCOMPARE(s.AspLanguage, QStringLiteral("VBScript"));
  QCOMPARE(s.HtmlLanguage, QStringLiteral("JScript"));
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
    store.Write(QStringLiteral("Settings"), QString::fromLatin1(key), stored);
  }
  const RunSettings s = LoadRunSettings(store);
  QCOMPARE(s.EncodeAsp, set);
  QCOMPARE(s.EncodeHtml, set);
  QCOMPARE(s.EncodeJs, set);
  QCOMPARE(s.EncodeVbs, set);
  // The box is "Dont add the '@language' directive": set gives /xl.
  QCOMPARE(s.AspSwitch, set ? QStringLiteral(" /xl ") : QString());
}

void TestSettings::readOrder() {
  ReadOrderStore store;
  LoadRunSettings(store);
  QCOMPARE(store.reads, QStringList({"chkASP", "chkHTML", "chkJS", "check2", "Combo1", "Combo2",
                                     "txtDefxt", "chkLangDirect", "EncoderTimeout"}));
}

void TestSettings::overridesSitInFront() {
  MemorySettingsStore behind;
  behind.Write(QStringLiteral("Settings"), QStringLiteral("chkASP"), QStringLiteral("1"));
  behind.Write(QStringLiteral("Settings"), QStringLiteral("txtDefxt"), QStringLiteral("*.lib"));
  MemorySettingsStore front(&behind);
  front.Write(QStringLiteral("Settings"), QStringLiteral("CHKASP"), QStringLiteral("0"));
  const RunSettings s = LoadRunSettings(front);
  QVERIFY(!s.EncodeAsp);
  QCOMPARE(s.AspExtensions, QStringLiteral("*.lib"));
  QCOMPARE(behind.Read(QStringLiteral("Settings"), QStringLiteral("chkASP"), QString()), QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
