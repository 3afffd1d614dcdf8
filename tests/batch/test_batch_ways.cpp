// One run, every way it can be done: our real encoder serving many files or started once
// per file, one worker or four. The destination trees and the logs must be the same,
// byte for byte and line for line, failures included.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every kind of file the run meets, in random folders: pages and scripts of each kind
// (some not encodable, so that they fail), empty scripts, plain files, a pipe and a
// link to a folder (both failures of their own).
void MakeRandomSite(const fs::path& root, int files) {
  std::mt19937 random(12);
  const char* bodies[] = {
      "<%@ LANGUAGE=VBScript %>\n<% Response.Write \"x\" %>\n<p>text</p>\n",
      "<%@ LANGUAGE = JScript %>\r\n<% Response.Write(1) %>\r\n",  // spelt as the line an encoder adds
      "\xEF\xBB\xBF<%@ Language = VBScript CODEPAGE=65001 %>\n<% x = 1 %>\n",
      "<html><script language=\"JScript\">var a = 1; alert('<b>');</script></html>\n",
      "function f(x) { return x * 2; }\r\n// **Start Encode**\r\nf(3);\r\n",
      "Dim a\r\na = \"caf\xC3\xA9\"\r\nMsgBox a\r\n",
      "<% If x Then %>yes<% End If %>\n",
      "\xFF\xFE<\x00",  // UTF-16 of odd size: the encoder refuses it
      "",               // nothing to encode: copied
      "plain text, not script\n"};
  const char* extensions[] = {".asp", ".htm", ".html", ".js", ".vbs", ".inc", ".asa", ".txt", ".css", ".png"};
  std::vector<fs::path> folders{root};
  for (int i = 0; i < files; ++i) {
    if (random() % 40 == 0) folders.push_back(folders[random() % folders.size()] / ("d" + std::to_string(i)));
    const fs::path folder = folders[random() % folders.size()];
    const std::string ext = extensions[random() % std::size(extensions)];
    std::string body = bodies[random() % std::size(bodies)];
    body += std::string(random() % 300, static_cast<char>('a' + random() % 26));
    if (body.size() >= 3 && body.compare(0, 2, "\xFF\xFE") == 0) body.resize(3);
    Write(folder / ("f" + std::to_string(i) + ext), random() % 50 == 0 ? std::string() : body);
  }
  ::mkfifo((root / "pipe.asp").c_str(), 0600);
  fs::create_directory_symlink(folders.back(), root / "link");
}

// Every entry under `root`: its relative path and its bytes (folders as "<dir>").
std::map<std::string, std::string> TreeOf(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = e.path().lexically_relative(root).string();
    tree[rel] = e.is_directory() ? std::string("<dir>") : Read(e.path());
  }
  return tree;
}

}  // namespace

class TestBatchWays : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void sameTreeAndLog_data();
  void sameTreeAndLog();

private:
  QString Run(const fs::path& source, const fs::path& destination, const QString& jobs, bool perFile,
              bool verify = false);
  QTemporaryDir tmp_;
  QString program_;
  fs::path randomSite_;
};

void TestBatchWays::initTestCase() {
  const QString bin = qEnvironmentVariable("QW_TEST_BIN_DIR");
  QDir(tmp_.path()).mkpath(QStringLiteral("app"));
  program_ = tmp_.filePath(QStringLiteral("app/quillward-batch"));
  QVERIFY(QFile::copy(bin + QStringLiteral("/quillward-batch"), program_));
  QVERIFY(QFile::copy(bin + QStringLiteral("/screnc"), tmp_.filePath(QStringLiteral("app/screnc"))));
  randomSite_ = fs::path(tmp_.path().toStdString()) / "random";
  MakeRandomSite(randomSite_, 2000);
}

// The log of one run into a fresh `destination`.
QString TestBatchWays::Run(const fs::path& source, const fs::path& destination, const QString& jobs, bool perFile,
                           bool verify) {
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp_.filePath(QStringLiteral("config")));
  e.insert(QStringLiteral("QUILLWARD_PER_FILE"), perFile ? QStringLiteral("1") : QStringLiteral("0"));
  p.setProcessEnvironment(e);
  QStringList args;
  for (const char* key : {"chkASP", "chkHTML", "chkJS", "Check2"}) args << QStringLiteral("--set") << QString::fromLatin1(key) + QStringLiteral("=1");
  if (verify) args << QStringLiteral("--verify");
  args << QStringLiteral("--jobs") << jobs << QString::fromStdString(source.string())
       << QString::fromStdString(destination.string());
  p.start(program_, args);
  if (!p.waitForFinished(240000)) return QStringLiteral("(did not end)");
  return QString::fromUtf8(p.readAllStandardOutput()) + QStringLiteral("exit %1").arg(p.exitCode());
}

void TestBatchWays::sameTreeAndLog_data() {
  QTest::addColumn<QString>("site");
  QTest::addColumn<QString>("jobs");
  QTest::addColumn<bool>("perFile");
  QTest::addColumn<bool>("verify");
  QTest::newRow("sample site, per-file process") << "sample" << "1" << true << false;
  QTest::newRow("sample site, four workers") << "sample" << "4" << false << false;
  QTest::newRow("sample site, verified") << "sample" << "1" << false << true;
  QTest::newRow("random site, per-file process") << "random" << "1" << true << false;
  QTest::newRow("random site, four workers") << "random" << "4" << false << false;
  QTest::newRow("random site, four workers, per-file") << "random" << "4" << true << false;
  QTest::newRow("random site, verified, four workers") << "random" << "4" << false << true;
}

// Against one worker through the server: the other way into the same destination path
// (the first tree moved aside), so that the logs compare as they are. Verified, every
// page our encoder wrote passes: the same log and the same tree.
void TestBatchWays::sameTreeAndLog() {
  QFETCH(QString, site);
  QFETCH(QString, jobs);
  QFETCH(bool, perFile);
  QFETCH(bool, verify);
  const fs::path source = site == QLatin1String("sample")
                              ? fs::path(qEnvironmentVariable("QW_SOURCE_DIR").toStdString()) / "examples/site"
                              : randomSite_;
  const fs::path out = fs::path(tmp_.path().toStdString()) / "out";
  const fs::path kept = fs::path(tmp_.path().toStdString()) / "kept";
  fs::remove_all(out);
  fs::remove_all(kept);
  const QString first = Run(source, out, QStringLiteral("1"), false);
  fs::rename(out, kept);
  const QString second = Run(source, out, jobs, perFile, verify);
  QVERIFY(first.contains(QLatin1String("\nDone: ")));
  if (site == QLatin1String("random")) QVERIFY(first.contains(QLatin1String(" - encoder exit code 255")));
  QCOMPARE(second, first);
  QVERIFY(TreeOf(kept) == TreeOf(out));
  QVERIFY(TreeOf(out).size() > (site == QLatin1String("random") ? 1500u : 5u));
}

QTEST_GUILESS_MAIN(TestBatchWays)
#include "test_batch_ways.moc"
