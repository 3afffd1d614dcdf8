// GetKeyValue against a registry stand-in, and the two viewer lookups against a system
// stand-in.

#include "fake_sysinfo.h"

#include <QTest>

namespace {

const QByteArray kKey = "SOFTWARE\\Test";
const QByteArray kMsInfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location";

}  // namespace

class SysInfoTest : public QObject {
  Q_OBJECT
private slots:
  void getKeyValue_data();
  void getKeyValue();
  void getKeyValueAsksAsTheRegistryExpects();
  void msInfoLookup_data();
  void msInfoLookup();
  void desktopLookup_data();
  void desktopLookup();
};

void SysInfoTest::getKeyValue_data() {
  QTest::addColumn<bool>("keyExists");
  QTest::addColumn<quint32>("type");
  QTest::addColumn<QByteArray>("bytes");  // empty name below: the value is missing
  QTest::addColumn<bool>("result");
  QTest::addColumn<QString>("value");  // KeyVal held "before" when the call began
  const QByteArray fits = QByteArray(1023, 'x') + '\0';
  const QByteArray tooLong = QByteArray(1024, 'x') + '\0';
  QTest::newRow("text with its NUL") << true << kRegSz << QByteArray("C:\\X\0", 5) << true << "C:\\X";
  QTest::newRow("text without a NUL") << true << kRegSz << QByteArray("C:\\X") << true << "C:\\X";
  QTest::newRow("only the last NUL is cut") << true << kRegSz << QByteArray("ab\0\0", 4) << true
                                            << QString::fromLatin1("ab\0", 3);
  QTest::newRow("1023 characters and the NUL fit") << true << kRegSz << fits << true << QString(1023, u'x');
  QTest::newRow("one more does not") << true << kRegSz << tooLong << false << "";
  QTest::newRow("an empty value is empty text") << true << kRegSz << QByteArray() << true << "";
  QTest::newRow("missing value") << true << kRegSz << QByteArray("missing") << false << "";
  QTest::newRow("missing key") << false << kRegSz << QByteArray("C:\\X") << false << "";
  QTest::newRow("number") << true << kRegDword << QByteArray("\x05\x01\x00\x00", 4) << true << "261";
  QTest::newRow("large number") << true << kRegDword << QByteArray("\xff\xff\xff\xff", 4) << true << "4294967295";
  QTest::newRow("other type leaves the text") << true << quint32(3) << QByteArray("\x01\x02", 2) << true << "before";
}

void SysInfoTest::getKeyValue() {
  QFETCH(bool, keyExists);
  QFETCH(quint32, type);
  QFETCH(QByteArray, bytes);
  QFETCH(bool, result);
  QFETCH(QString, value);
  FakeRegistry registry;
  if (keyExists) {
    auto& values = registry.keys[kKey];
    if (bytes != "missing") values.insert("Name", {type, bytes});
  }
  QString keyVal = QStringLiteral("before");
  QCOMPARE(GetKeyValue(registry, kHkeyLocalMachine, QString::fromLatin1(kKey), QStringLiteral("Name"), keyVal), result);
  QCOMPARE(keyVal, value);
  QVERIFY(registry.open.isEmpty());  // every opened key is closed again
}

void SysInfoTest::getKeyValueAsksAsTheRegistryExpects() {
  FakeRegistry registry;
  registry.keys[kKey].insert("Name", {kRegSz, "x"});
  QString keyVal;
  QVERIFY(GetKeyValue(registry, kHkeyLocalMachine, QString::fromLatin1(kKey), QStringLiteral("Name"), keyVal));
  QCOMPARE(registry.lastAccess, quint32(0x20019));  // KEY_READ, never a write mask
  QCOMPARE(registry.offered, 1024);
}

void SysInfoTest::msInfoLookup_data() {
  QTest::addColumn<QString>("first");   // the MSINFO PATH value, empty: absent
  QTest::addColumn<QString>("second");  // the Shared Tools Location MSINFO value, empty: absent
  QTest::addColumn<bool>("fileThere");  // second\MSINFO32.EXE exists
  QTest::addColumn<QString>("viewer");
  QTest::newRow("first value, used without a test") << "C:\\gone\\msinfo32.exe" << "" << false
                                                    << "C:\\gone\\msinfo32.exe";
  QTest::newRow("first value wins over the second") << "C:\\a.exe" << "C:\\Tools" << true << "C:\\a.exe";
  QTest::newRow("second value with the file") << "" << "C:\\Tools" << true << "C:\\Tools\\MSINFO32.EXE";
  QTest::newRow("second value without the file") << "" << "C:\\Tools" << false << "";
  QTest::newRow("neither") << "" << "" << false << "";
}

void SysInfoTest::msInfoLookup() {
  QFETCH(QString, first);
  QFETCH(QString, second);
  QFETCH(bool, fileThere);
  QFETCH(QString, viewer);
  FakeSystem system;
  if (!first.isEmpty()) system.registry.keys[kMsInfo].insert("PATH", {kRegSz, first.toLatin1() + '\0'});
  if (!second.isEmpty()) system.registry.keys[kLocation].insert("MSINFO", {kRegSz, second.toLatin1() + '\0'});
  if (fileThere) system.files.insert(second + QStringLiteral("\\MSINFO32.EXE"));
  QCOMPARE(FindMsInfoViewer(system), viewer);
}

void SysInfoTest::desktopLookup_data() {
  QTest::addColumn<QString>("configured");
  QTest::addColumn<QStringList>("installed");
  QTest::addColumn<QString>("viewer");
  QTest::newRow("configured path, used without a test") << "/nowhere/viewer" << QStringList{"kinfocenter"}
                                                        << "/nowhere/viewer";
  QTest::newRow("first known viewer on PATH") << "" << QStringList{"hardinfo", "kinfocenter"} << "/usr/bin/kinfocenter";
  QTest::newRow("the only one there") << "" << QStringList{"hardinfo"} << "/usr/bin/hardinfo";
  QTest::newRow("none") << "" << QStringList{} << "";
}

void SysInfoTest::desktopLookup() {
  QFETCH(QString, configured);
  QFETCH(QStringList, installed);
  QFETCH(QString, viewer);
  FakeSystem system;
  if (!configured.isEmpty()) system.settings.insert(kSysInfoPathKey, configured);
  for (const QString& name : installed) system.onPath.insert(name, QStringLiteral("/usr/bin/") + name);
  QCOMPARE(FindDesktopViewer(system), viewer);
}

QTEST_GUILESS_MAIN(SysInfoTest)
#include "tst_sysinfo.moc"
