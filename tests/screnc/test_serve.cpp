// The serving mode against the per-file process: for each request of a table (success,
// every kind of failure, awkward bytes in names), the same exit status, the same text
// (stdout and stderr, in order) and the same files, with one server kept running over
// all requests so that nothing may leak from one to the next.
#include <QtTest>

#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <vector>

#include "serve.h"
#include "support.h"

using Files = QList<QPair<QByteArray, QByteArray>>;  // name, content

namespace {

struct Answer {
  int status = -1;
  QByteArray text;
  QMap<QByteArray, QByteArray> tree;  // every file left in the folder, by name
};

QByteArray u32(quint32 v) {
  QByteArray b(4, '\0');
  for (int k = 0; k < 4; ++k) b[k] = char((v >> (8 * k)) & 0xFF);
  return b;
}

quint32 from_u32(const QByteArray& b) {
  quint32 v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | quint8(b[k]);
  return v;
}

}  // namespace

class TestServe : public QObject {
  Q_OBJECT

  QTemporaryDir tmp_;
  QByteArray d_;  // the folder every case works in, as bytes
  QProcess server_;

  // Reads exactly n bytes from the server, waiting for them.
  QByteArray take(qint64 n) {
    QByteArray got;
    while (got.size() < n) {
      if (server_.bytesAvailable() == 0 && !server_.waitForReadyRead(30000)) return got;
      got += server_.read(n - got.size());
    }
    return got;
  }

  // The folder emptied and filled with the case's files (names relative, as bytes).
  void lay_out(const Files& files) {
    // The folder itself stays: it is the server's working folder.
    QDir dir(QString::fromUtf8(d_));
    for (const QFileInfo& e : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                QDir::NoDotAndDotDot)) {
      if (e.isDir()) QDir(e.filePath()).removeRecursively();
      else QFile::remove(e.filePath());
    }
    for (const auto& [name, data] : files) {
      const QByteArray path = d_ + "/" + name;
      FILE* f = fopen(path.constData(), "wb");
      QVERIFY2(f, path.constData());
      fwrite(data.constData(), 1, size_t(data.size()), f);
      fclose(f);
    }
  }

  void snapshot(Answer& a) {
    QDirIterator it(QString::fromUtf8(d_), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString p = it.next();
      a.tree[QFile::encodeName(p)] = support::readAll(p);
    }
  }

  QList<QByteArray> expand(const QList<QByteArray>& args) const {
    QList<QByteArray> out;
    for (QByteArray a : args) out << a.replace("@D", d_);
    return out;
  }

  // The per-file process, its arguments as bytes (no text conversion), stdout and stderr
  // to one file, so that their order is kept.
  Answer per_file(const QList<QByteArray>& args) {
    const QByteArray log = QFile::encodeName(tmp_.path()) + "/per-file.log";
    QList<QByteArray> store{QByteArray(SCRENC_BIN)};
    store += args;
    std::vector<char*> argv;
    for (QByteArray& x : store) argv.push_back(x.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    posix_spawn_file_actions_addchdir_np(&fa, d_.constData());
    pid_t pid = 0;
    Answer a;
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    int ws = 0;
    if (rc != 0 || waitpid(pid, &ws, 0) != pid) return a;
    a.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    a.text = support::readAll(QFile::decodeName(log));
    snapshot(a);
    return a;
  }

  Answer served(const QList<QByteArray>& args) {
    QByteArray req = u32(quint32(args.size()));
    for (const QByteArray& x : args) req += u32(quint32(x.size())) + x;
    server_.write(req);
    Answer a;
    a.status = int(from_u32(take(4)));
    a.text = take(from_u32(take(4)));
    snapshot(a);
    return a;
  }

 private slots:
  void initTestCase() {
    QVERIFY(tmp_.isValid());
    d_ = QFile::encodeName(tmp_.path()) + "/work";
    QDir().mkpath(QString::fromUtf8(d_));
    server_.setWorkingDirectory(QString::fromUtf8(d_));
    server_.start(QStringLiteral(SCRENC_BIN), {QString::fromLatin1(screnc::kServeFlag)});
    QVERIFY(server_.waitForStarted());
    server_.write(QByteArray(screnc::kServeHello.data(), qsizetype(screnc::kServeHello.size())));
    QCOMPARE(take(qint64(screnc::kServeHello.size())),
             QByteArray(screnc::kServeHello.data(), qsizetype(screnc::kServeHello.size())));
  }

  void cleanupTestCase() {
    server_.closeWriteChannel();
    QVERIFY(server_.waitForFinished(30000));
    QCOMPARE(server_.exitCode(), 0);
  }

  // Asked with nothing to read (how the run learns whether an encoder serves): the
  // greeting, then a quiet end, and nothing written where it runs.
  void greetsWithNothingToRead() {
    const QString dir = QString::fromUtf8(d_) + "/../probe";
    QVERIFY(QDir().mkpath(dir));
    QProcess probe;
    probe.setWorkingDirectory(dir);
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.start(QStringLiteral(SCRENC_BIN), {QString::fromLatin1(screnc::kServeFlag)});
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitCode(), 0);
    QCOMPARE(probe.readAllStandardOutput(),
             QByteArray(screnc::kServeHello.data(), qsizetype(screnc::kServeHello.size())));
    QCOMPARE(probe.readAllStandardError(), QByteArray());
    QVERIFY(QDir(dir).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  }

  void same_as_per_file_data() {
    QTest::addColumn<Files>("files");
    QTest::addColumn<QList<QByteArray>>("args");
    const QByteArray page = "<html><% x = 1 %>\r\n<script language=\"JScript\">f()</script></html>";
    QTest::newRow("asp") << Files{{"a.asp", page}} << QList<QByteArray>{"@D/a.asp", "@D/b.asp"};
    QTest::newRow("asp silent") << Files{{"a.asp", page}}
                                << QList<QByteArray>{"/s", "@D/a.asp", "@D/b.asp"};
    QTest::newRow("js, /l vbscript") << Files{{"a.js", "x = 1"}}
                                     << QList<QByteArray>{"/l", "vbscript", "@D/a.js", "@D/o.js"};
    QTest::newRow("wildcard") << Files{{"a.asp", page}, {"b.asp", "<% y %>"}, {"c.txt", "z"}}
                              << QList<QByteArray>{"@D/*.asp", "@D"};
    QTest::newRow("in place") << Files{{"a.htm", "<script>f()</script>"}}
                              << QList<QByteArray>{"/f", "@D/a.htm"};
    QTest::newRow("empty file") << Files{{"a.asp", ""}} << QList<QByteArray>{"@D/a.asp", "@D/b.asp"};
    QTest::newRow("bad utf-8 with /cp") << Files{{"a.js", "x = '\xC3'"}}
                                        << QList<QByteArray>{"/cp", "65001", "@D/a.js", "@D/b.js"};
    QTest::newRow("no source") << Files{} << QList<QByteArray>{"@D/none.asp", "@D/b.asp"};
    QTest::newRow("cannot write") << Files{{"a.asp", page}}
                                  << QList<QByteArray>{"@D/a.asp", "@D/no/such/b.asp"};
    QTest::newRow("unknown extension") << Files{{"a.txt", "x"}}
                                       << QList<QByteArray>{"@D/a.txt", "@D/b.txt"};
    QTest::newRow("hidden") << Files{{".a.asp", page}} << QList<QByteArray>{"@D/.a.asp", "@D/b.asp"};
    QTest::newRow("same file") << Files{{"a.asp", page}} << QList<QByteArray>{"@D/a.asp", "@D/a.asp"};
    QTest::newRow("bad flag") << Files{} << QList<QByteArray>{"/q", "a", "b"};
    QTest::newRow("incomplete flag") << Files{} << QList<QByteArray>{"/e"};
    QTest::newRow("no destination") << Files{{"a.asp", page}} << QList<QByteArray>{"@D/a.asp"};
    QTest::newRow("help") << Files{} << QList<QByteArray>{"/?"};
    QTest::newRow("no arguments") << Files{} << QList<QByteArray>{};
    QTest::newRow("empty argument") << Files{} << QList<QByteArray>{""};
    QTest::newRow("serve flag with more") << Files{} << QList<QByteArray>{"--serve", "x"};
    QTest::newRow("newline and tab in names")
        << Files{{"a\nb\t.asp", page}} << QList<QByteArray>{"@D/a\nb\t.asp", "@D/c\n\r.asp"};
    QTest::newRow("binary bytes in names")
        << Files{{"\x01\x7f\xff\xfe.asp", page}}
        << QList<QByteArray>{"@D/\x01\x7f\xff\xfe.asp", "@D/\x80\x9f \x1b.asp"};
    QTest::newRow("binary bytes, failing")
        << Files{{"\xff.txt", page}} << QList<QByteArray>{"@D/\xff.txt", "@D/\x02\xfe.asp"};
  }

  void same_as_per_file() {
    QFETCH(Files, files);
    QFETCH(QList<QByteArray>, args);
    const QList<QByteArray> a = expand(args);
    lay_out(files);
    const Answer want = per_file(a);
    lay_out(files);
    const Answer got = served(a);
    QCOMPARE(got.status, want.status);
    QCOMPARE(got.text, want.text);
    QCOMPARE(got.tree.keys(), want.tree.keys());
    QCOMPARE(got.tree, want.tree);
  }

  // Many random pages, names and switches, one after another through the same server.
  void random_files() {
    QRandomGenerator rng(12);
    const QList<QByteArray> exts = {".asp", ".htm", ".js", ".vbs", ".txt", ".asa"};
    const QList<QByteArray> bits = {"<% a = 1 %>", "<%= b %>", "<script>f()</script>",
                                    "\r\n", "caf\xC3\xA9", "\xE9", "<!-- x -->", "@<>",
                                    "<script runat=server>g()</script>", "**Start Encode**"};
    for (int n = 0; n < 2000; ++n) {
      QByteArray text;
      for (int k = int(rng.bounded(6)); k > 0; --k) text += bits[int(rng.bounded(bits.size()))];
      QByteArray name = "f" + QByteArray::number(n);
      if (rng.bounded(4) == 0) {
        const char c = char(1 + rng.bounded(255));
        name += c == '/' ? '_' : c;
      }
      name += exts[int(rng.bounded(exts.size()))];
      QList<QByteArray> args;
      if (rng.bounded(3) == 0) args << "/s";
      if (rng.bounded(5) == 0) args << "/e" << ".asp";
      args << d_ + "/" + name << d_ + "/out/" + name;
      const Files files{{name, text}};
      lay_out(files);
      QDir().mkpath(QString::fromUtf8(d_ + "/out"));
      const Answer want = per_file(args);
      lay_out(files);
      QDir().mkpath(QString::fromUtf8(d_ + "/out"));
      const Answer got = served(args);
      QVERIFY2(got.status == want.status && got.text == want.text && got.tree == want.tree,
               name.toPercentEncoding().constData());
    }
  }
};

QTEST_GUILESS_MAIN(TestServe)
#include "test_serve.moc"
