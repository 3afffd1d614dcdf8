// The whole chain: quillward-batch walks examples/site and runs the real screnc on each
// file to encode. Every encoded file must decode back to its source, apart from the
// added @LANGUAGE directive and the rewritten language names; every other file is
// copied unchanged.
#include <QtTest>

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "encode_file.h"
#include "support.h"

using namespace screnc;

namespace {

const QStringList kEncoded = {"asp", "asa", "inc", "htm", "html", "js", "vbs"};

// The decoded text of an encoded file, in the file's own encoding.
QByteArray decodeFile(const QByteArray& file, DecodeResult& r) {
  const Bom bom = detect_bom(support::str(file));
  const std::string text = support::str(file).substr(bom_size(bom));
  std::string out(bom_bytes(bom));
  if (bom == Bom::Utf16LE || bom == Bom::Utf16BE) {
    const std::u16string units = utf16_from_bytes(text, bom == Bom::Utf16BE);
    std::u16string plain;
    r = decode_blocks(units.data(), units.data() + units.size(), Charset::Utf16, plain);
    append_utf16_bytes(out, plain, bom == Bom::Utf16BE);
  } else {
    const Charset cs = bom == Bom::Utf8 ? Charset::Utf8 : charset_for(text, std::nullopt);
    std::string plain;
    r = decode_blocks(text.data(), text.data() + text.size(), cs, plain);
    out += plain;
  }
  return support::bytes(out);
}

// Without the language names the encoder may add or rewrite.
QByteArray withoutLanguages(QByteArray text) {
  static const QRegularExpression added(
      QStringLiteral("^(\\x{FEFF}?)<%@ LANGUAGE = (VBScript|JScript)\\.Encode %>\\r?\\n"));
  static const QRegularExpression names(
      QStringLiteral("\\s*language\\s*=\\s*[\"']?(jscript|javascript|vbscript)(\\.encode)?[\"']?"),
      QRegularExpression::CaseInsensitiveOption);
  QString s = QString::fromLatin1(text);  // byte for character: the names are ASCII
  s.replace(QRegularExpression(QStringLiteral("^\\x{EF}\\x{BB}\\x{BF}")), QString(QChar(0xFEFF)));
  s.replace(added, QStringLiteral("\\1"));
  s.replace(names, QString());
  return s.toUtf8();
}

}  // namespace

class TestBatchEndToEnd : public QObject {
  Q_OBJECT

 private slots:
  void site_data() {
    QTest::addColumn<QString>("langDirect");
    QTest::addColumn<bool>("directive");
    QTest::newRow("directive added") << "1" << true;
    QTest::newRow("/xl") << "0" << false;
  }
  void site() {
    QFETCH(QString, langDirect);
    QFETCH(bool, directive);
    const QString batch = QStringLiteral(QW_BIN_DIR "/quillward-batch");
    if (!QFileInfo(batch).isExecutable()) QSKIP("quillward-batch is not built");
    const QString site = QStringLiteral(QW_SOURCE "/examples/site");
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString out = tmp.filePath("out");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
    env.insert("HOME", tmp.filePath("home"));
    p.setProcessEnvironment(env);
    p.start(batch, {"--set", "chkASP=1", "--set", "chkHTML=1", "--set", "chkJS=1", "--set",
                    "Check2=1", "--set", "chkLangDirect=" + langDirect, site, out});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());

    int encodedFiles = 0;
    QDirIterator it(site, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString src = it.next();
      const QString rel = QDir(site).relativeFilePath(src);
      const QByteArray source = support::readAll(src);
      const QByteArray written = support::readAll(out + "/" + rel);
      QVERIFY2(QFileInfo::exists(out + "/" + rel), qPrintable(rel));
      if (!kEncoded.contains(QFileInfo(src).suffix().toLower())) {
        QVERIFY2(written == source, qPrintable(rel));
        continue;
      }
      DecodeResult r;
      const QByteArray plain = decodeFile(written, r);
      QVERIFY2(r.malformed == 0, qPrintable(rel));
      QVERIFY2(withoutLanguages(plain) == withoutLanguages(source), qPrintable(rel));
      const QString ext = QFileInfo(src).suffix().toLower();
      if (ext == "js" || ext == "vbs" || ext == "asp") QVERIFY2(r.blocks > 0, qPrintable(rel));
      if (ext == "asp" && !source.contains("<%@"))
        QCOMPARE(written.contains("<%@ LANGUAGE = VBScript.Encode %>"), directive);
      if (r.blocks > 0) ++encodedFiles;
    }
    QVERIFY(encodedFiles >= 20);
  }

  // Paths the encoder could misread: folders and names that look like its switches,
  // response files or patterns, and a name near the file system's limit. Each page must
  // be encoded from its own source, and no source byte may change.
  void awkwardPaths_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::newRow("plain folders") << "site" << "out";
    QTest::newRow("destination like /f") << "site" << "-fout";
    QTest::newRow("source like /f") << "-fsite" << "out";
    QTest::newRow("source like a switch") << "-site" << "-out";
    QTest::newRow("destination inside a dash folder") << "site" << "-s/-f";
  }
  void awkwardPaths() {
    QFETCH(QString, source);
    QFETCH(QString, destination);
    const QString batch = QStringLiteral(QW_BIN_DIR "/quillward-batch");
    if (!QFileInfo(batch).isExecutable()) QSKIP("quillward-batch is not built");
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(source);
    const QString longName = QString(236, QLatin1Char('p')) + ".asp";  // 240 bytes
    const QStringList names = {"-x.asp", "-s.asp", "-f.asp", "@list.asp", "*.asp", "a?.asp",
                               "[ab].asp", "a.asp", "ab.asp", longName};
    QMap<QString, QByteArray> pages;
    for (const QString& n : names) {
      pages[n] = "<% Response.Write \"" + n.left(20).toUtf8() + "\" %>\r\n";
      QFile f(tmp.filePath(source + "/" + n));
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(pages[n]);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(tmp.path());
    p.start(batch, {"--set", "chkASP=1", "--", source, destination});
    QVERIFY(p.waitForFinished(60000));
    const QByteArray log = p.readAllStandardOutput();
    QVERIFY2(p.exitCode() == 0, (log + p.readAllStandardError()).constData());
    for (const QString& n : names) {
      QCOMPARE(support::readAll(tmp.filePath(source + "/" + n)), pages[n]);  // untouched
      const QByteArray written = support::readAll(tmp.filePath(destination + "/" + n));
      DecodeResult r;
      const QByteArray plain = decodeFile(written, r);
      QVERIFY2(r.blocks == 1, qPrintable(n));
      QVERIFY2(withoutLanguages(plain) == pages[n], qPrintable(n + ": " + plain));
    }
    QCOMPARE(QDir(tmp.filePath(source)).entryList(QDir::Files | QDir::Hidden).size(), names.size());
    QCOMPARE(QDir(tmp.filePath(destination)).entryList(QDir::Files | QDir::Hidden).size(), names.size());
  }
};

QTEST_GUILESS_MAIN(TestBatchEndToEnd)
#include "test_batch_e2e.moc"
