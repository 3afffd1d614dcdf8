// The INI settings file against Qt's settings class, which kept it in earlier builds and
// still may have written a user's file: what it wrote reads back the same, what we write
// it reads the same, and everything we do not write stays as it was.
#include "run/util/ini_file.h"
#include "run/settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

fs::path Native(const QString& path) { return path.toStdU16String(); }

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace

class TestIni : public QObject {
  Q_OBJECT
private slots:
  void qtWroteWeRead_data() { Values(); }
  void qtWroteWeRead();
  void weWroteQtReads_data() { Values(); }
  void weWroteQtReads();
  void handWrittenLines_data();
  void handWrittenLines();
  void writeKeepsTheRest();
  void problems_data();
  void problems();
  void userFilesWhereQtKeptThem();
  void staleLockAndLinkedFile();

private:
  static void Values();
};

// Values the Options dialog, the folder fields and the window's geometry may hold.
void TestIni::Values() {
  QTest::addColumn<QString>("value");
  for (const char* v : {"plain", "  lead", "trail ", "a,b", "a;b", "a=b", "q\"uote", "back\\slash", "new\nline",
                        "tab\tx", "@at", "@@two", "\x01" "1", "\x1f" "a", "\x7f", "é ü 中文 \xf0\x9f\x98\x80", "",
                        "#x", "[x]", "x\\x41", "*.inc *.lib", "AdnQywADAAAAAAAA+/==", "\"quoted\"",
                        "C:\\Program Files\\Site", "/home/me/my site", " ", ";"}) {
    QTest::newRow(v) << QString::fromUtf8(v);
  }
}

void TestIni::qtWroteWeRead() {
  QFETCH(QString, value);
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.conf"));
  {
    QSettings qt(ini, QSettings::IniFormat);
    qt.setValue(QStringLiteral("Settings/txtDefxt"), value);
    qt.setValue(QStringLiteral("Settings/chkASP"), QStringLiteral("1"));
    qt.setValue(QStringLiteral("Other/txtDefxt"), QStringLiteral("elsewhere"));
  }
  auto store = OpenSettingsFile(Native(ini));
  QCOMPARE(QString::fromStdString(store->Read("Settings", "txtdefxt", "absent")), value);
  QCOMPARE(store->Read("Settings", "chkASP", ""), std::string("1"));
  QCOMPARE(store->Problem(), std::string());
}

void TestIni::weWroteQtReads() {
  QFETCH(QString, value);
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.conf"));
  {
    QSettings qt(ini, QSettings::IniFormat);
    qt.setValue(QStringLiteral("Settings/Combo1"), QStringLiteral("JScript"));
  }
  auto store = OpenSettingsFile(Native(ini));
  store->Write("Settings", "txtDefxt", value.toStdString());
  store->Write("Settings", "combo1", value.toStdString());
  QSettings qt(ini, QSettings::IniFormat);
  QCOMPARE(qt.status(), QSettings::NoError);
  QCOMPARE(qt.value(QStringLiteral("Settings/txtDefxt")).toString(), value);
  QCOMPARE(qt.value(QStringLiteral("Settings/combo1")).toString(), value);  // one spelling: the last written
  QVERIFY(!qt.contains(QStringLiteral("Settings/Combo1")));
}

// Lines as a user may have typed them, read as Qt read them. Two differences on purpose:
// a list ("a,b") reads as its text, where Qt read it as an empty text, and a section
// name, like a key, is matched without regard to case.
void TestIni::handWrittenLines_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("value");
  QTest::newRow("blanks around") << QByteArray("[Settings]\n  txtDefxt =  *.inc  \n") << "*.inc";
  QTest::newRow("comment after") << QByteArray("[Settings]\ntxtDefxt=*.inc ; the includes\n") << "*.inc";
  QTest::newRow("comment line") << QByteArray("; written by hand\n[Settings]\ntxtDefxt=x\n") << "x";
  QTest::newRow("quoted part") << QByteArray("[Settings]\ntxtDefxt=\"  x \" y\n") << "  x y";
  QTest::newRow("escapes") << QByteArray("[Settings]\ntxtDefxt=\\x41\\102\\tz\\q\n") << "AB\tz";
  QTest::newRow("continued line") << QByteArray("[Settings]\ntxtDefxt=a\\\nb\n") << "ab";
  QTest::newRow("CR LF") << QByteArray("[Settings]\r\ntxtDefxt=crlf\r\n") << "crlf";
  QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf[Settings]\ntxtDefxt=bom\n") << "bom";
  QTest::newRow("byte array") << QByteArray("[Settings]\ntxtDefxt=@ByteArray(raw)\n") << "raw";
  QTest::newRow("section case") << QByteArray("[settings]\nTXTDEFXT=lower\n") << "lower";
  QTest::newRow("other section") << QByteArray("[Other]\ntxtDefxt=no\n") << "absent";
  QTest::newRow("list") << QByteArray("[Settings]\ntxtDefxt=*.inc,*.lib\n") << "*.inc,*.lib";
}

void TestIni::handWrittenLines() {
  QFETCH(QByteArray, file);
  QFETCH(QString, value);
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.conf"));
  WriteAll(ini, file);
  auto store = OpenSettingsFile(Native(ini));
  QCOMPARE(QString::fromStdString(store->Read("Settings", "txtDefxt", "absent")), value);
  QCOMPARE(store->Problem(), std::string());
  if (!file.contains(',') && !file.contains("[settings]")) {
    QSettings qt(ini, QSettings::IniFormat);
    QCOMPARE(qt.value(QStringLiteral("Settings/txtDefxt"), QStringLiteral("absent")).toString(), value);
  }
}

void TestIni::writeKeepsTheRest() {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.conf"));
  const QByteArray before = "; mine\r\n[General]\r\ntop=1\r\n\r\n[Settings]\r\nchkASP=0 ; off for now\r\nLastSource=/srv/site\r\n\r\n[Window]\r\ngeometry=@ByteArray(x)\r\n";
  WriteAll(ini, before);
  auto store = OpenSettingsFile(Native(ini));
  store->Write("Settings", "CHKASP", "1");
  store->Write("Settings", "txtDefxt", "*.inc");
  store->Write("New", "key", "v");
  QCOMPARE(ReadAll(ini), QByteArray("; mine\r\n[General]\r\ntop=1\r\n\r\n[Settings]\r\nCHKASP=1 ; off for now\r\n"
                                    "LastSource=/srv/site\r\ntxtDefxt=*.inc\r\n\r\n[Window]\r\ngeometry=@ByteArray(x)\r\n"
                                    "\r\n[New]\r\nkey=v\r\n"));
  QSettings qt(ini, QSettings::IniFormat);
  QCOMPARE(qt.value(QStringLiteral("top")).toString(), QStringLiteral("1"));
  QCOMPARE(qt.value(QStringLiteral("Window/geometry")).toByteArray(), QByteArray("x"));
}

void TestIni::problems_data() {
  QTest::addColumn<QByteArray>("file");  // "dir", "fifo", "fifo link": that in the file's place
  QTest::addColumn<QString>("problem");
  QTest::newRow("no file") << QByteArray() << "";
  // Never opened for reading: a read of a FIFO would wait for a writer for ever.
  QTest::newRow("a folder") << QByteArray("dir") << "cannot read the settings: not a regular file (open ";
  QTest::newRow("a FIFO") << QByteArray("fifo") << "cannot read the settings: not a regular file (open ";
  QTest::newRow("a link to a FIFO") << QByteArray("fifo link") << "cannot read the settings: not a regular file (open ";
  QTest::newRow("section not closed") << QByteArray("[Settings\nchkASP=1\n") << "cannot read the settings: not a settings file (";
  QTest::newRow("line without =") << QByteArray("[Settings]\nchkASP\n") << "";
  QTest::newRow("hash comment") << QByteArray("# notes\n[Settings]\n") << "";
}

// A file Qt could not parse was refused before; it still is, and in the same cases.
void TestIni::problems() {
  QFETCH(QByteArray, file);
  QFETCH(QString, problem);
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("q.conf"));
  const bool special = file == "dir" || file.startsWith("fifo");
  if (file == "dir") QDir().mkpath(ini);
  else if (file == "fifo") QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0644), 0);
  else if (file == "fifo link") {
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0644), 0);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("pipe")), ini));
  } else if (!file.isEmpty()) WriteAll(ini, file);
  auto store = OpenSettingsFile(Native(ini));
  const QString got = QString::fromStdString(store->Problem());
  QVERIFY2(problem.isEmpty() ? got.isEmpty() : got.startsWith(problem), qPrintable(got));
  if (!file.isEmpty() && !special) {
    QCOMPARE(QSettings(ini, QSettings::IniFormat).status() == QSettings::FormatError, !problem.isEmpty());
  }
  store->Write("Settings", "chkASP", "1");  // never over a file that could not be read
  if (special) QVERIFY(!store->WriteProblem().empty());
  if (file.startsWith("fifo")) QVERIFY(!QFileInfo(ini).isFile());  // left as it was
}

// The user's file where the window of earlier builds kept it, and defaults from the
// system-wide folders.
void TestIni::userFilesWhereQtKeptThem() {
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
  qputenv("XDG_CONFIG_DIRS", (dir.filePath(QStringLiteral("nothing")) + ":" + dir.filePath(QStringLiteral("xdg"))).toLocal8Bit());
  WriteAll(dir.filePath(QStringLiteral("xdg/Quillward/Quillward.conf")), "[Settings]\nchkJS=1\nchkHTML=1\n");
  {
    QSettings qt(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillward"), QStringLiteral("Quillward"));
    qt.setValue(QStringLiteral("Settings/chkHTML"), QStringLiteral("0"));
  }
  auto store = OpenUserSettings("Quillward");
  QCOMPARE(store->Read("Settings", "chkHTML", ""), std::string("0"));
  QCOMPARE(store->Read("Settings", "chkJS", ""), std::string("1"));
  store->Write("Settings", "chkASP", "1");
  QVERIFY(ReadAll(dir.filePath(QStringLiteral("home/Quillward/Quillward.conf"))).contains("chkASP=1"));
  QVERIFY(!ReadAll(dir.filePath(QStringLiteral("xdg/Quillward/Quillward.conf"))).contains("chkASP"));
  qunsetenv("XDG_CONFIG_DIRS");
}

void TestIni::staleLockAndLinkedFile() {
  QTemporaryDir dir;
  const QString real = dir.filePath(QStringLiteral("dotfiles/q.conf"));
  const QString link = dir.filePath(QStringLiteral("q.conf"));
  WriteAll(real, "[Settings]\nchkASP=0\n");
  QVERIFY(QFile::link(real, link));
  WriteAll(link + ".lock", "999999999\nQuillward\n\n");  // its process is gone
  auto store = OpenSettingsFile(Native(link));
  store->Write("Settings", "chkASP", "1");
  QVERIFY(QFileInfo(link).isSymLink());
  QCOMPARE(ReadAll(real), QByteArray("[Settings]\nchkASP=1\n"));
  QVERIFY(!QFile::exists(link + ".lock"));
}

QTEST_GUILESS_MAIN(TestIni)
#include "test_ini.moc"
