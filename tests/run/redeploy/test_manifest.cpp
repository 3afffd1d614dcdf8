// The manifest: SHA-256 against the FIPS vectors, the file form read back or refused,
// --checksum against the quick check, and a stopped run that leaves a true manifest.
#include "run/encode_run.h"
#include "run/util/fs_ops.h"
#include "run/redeploy/manifest.h"
#include "run/redeploy/manifest_keeper.h"
#include "run/redeploy/mirror_delete.h"
#include "run/util/sha256.h"
#include "run/settings/state_dir.h"
#include "test_support.h"

#include <QtTest>
#include <chrono>
#include <functional>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QString P(const fs::path& p) { return Q(ToDisplayPath(p)); }

// A manifest entry is true when the destination it names as this tool's still holds the
// result of the source it names: the copy itself, or the stand-in's "ENCODED\n" + source.
QString Untrue(const fs::path& destination, const Manifest& manifest) {
  for (const auto& [key, e] : manifest.entries) {
    const fs::path file = destination / key;
    if (e.folder) {
      if (!fs::is_directory(file)) return Q(key) + QStringLiteral(": folder missing");
      continue;
    }
    // Read, then looked at: a worker may replace the file meanwhile, and then the entry is inert.
    QByteArray bytes = ReadBytes(file);
    const auto there = StampOf(file);
    if (!there || there->size != e.destinationSize || there->modifiedNs != e.destinationTime) continue;  // inert
    if (e.kind != static_cast<int>(FileKind::Copy) && bytes.startsWith("ENCODED\n")) bytes.remove(0, 8);
    if (Sha256Hex(bytes.toStdString()) != e.sourceSha) return Q(key) + QStringLiteral(": not what it says");
  }
  return {};
}

}  // namespace

class TestManifest : public QObject, protected RunTreeFixture {
  Q_OBJECT
private slots:
  void init();
  void sha256Vectors_data();
  void sha256Vectors();
  void textReadBack();
  void garbledReadsEmpty_data();
  void garbledReadsEmpty();
  void scanField_data();
  void scanField();
  void scansKeptByRuns();
  void readAhead_data();
  void readAhead();
  void checksumSeesWhatTimesHide();
  void deletion_data();
  void deletion();
  void letterCaseOnFatDestination();
  void letterCaseWhereTheDestinationIgnoresIt();
  void stoppedRunLeavesTrueManifest_data();
  void stoppedRunLeavesTrueManifest();

private:
  RunOutcome Run(const QStringList& settings);
  QTemporaryDir state_;
};

void TestManifest::init() {
  ResetTree(true, false);
  qputenv("XDG_STATE_HOME", state_.path().toLocal8Bit());
}

RunOutcome TestManifest::Run(const QStringList& settings) {
  MemorySettingsStore store;
  for (const char* key : {"chkASP", "chkChanged"}) store.Write("Settings", key, "1");
  for (const QString& kv : settings) {
    const QString section = kv.startsWith(QStringLiteral("ThisRun/")) ? QStringLiteral("ThisRun") : QStringLiteral("Settings");
    store.Write(S(section), S(kv.section(QLatin1Char('='), 0, 0).section(QLatin1Char('/'), -1)),
                S(kv.section(QLatin1Char('='), 1)));
  }
  host_.entries.clear();
  return RunEncoding(host_, store);
}

void TestManifest::sha256Vectors_data() {
  QTest::addColumn<QByteArray>("message");
  QTest::addColumn<QString>("digest");
  QTest::newRow("empty") << QByteArray() << "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
  QTest::newRow("abc") << QByteArray("abc") << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  QTest::newRow("448 bits") << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
                            << "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
  QTest::newRow("896 bits")
      << QByteArray("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu")
      << "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1";
  QTest::newRow("a million a") << QByteArray(1000000, 'a')
                               << "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
}

void TestManifest::sha256Vectors() {
  QFETCH(QByteArray, message);
  QFETCH(QString, digest);
  // With the processor's SHA instructions where it has them, and with the portable code.
  const bool instructions = ShaInstructionsInUse();
  for (const bool use : {true, false}) {
    UseShaInstructions(use && instructions);
    QCOMPARE(Q(Sha256Hex(message.toStdString())), digest);
    // Added in pieces of every awkward size around the block and the length field.
    for (int piece : {1, 55, 56, 63, 64, 65, 127, 4096}) {
      Sha256 hash;
      for (qsizetype at = 0; at < message.size(); at += piece) hash.Add(message.constData() + at, std::min<qsizetype>(piece, message.size() - at));
      QCOMPARE(Q(hash.FinishHex()), digest);
    }
  }
  UseShaInstructions(instructions);
  const fs::path file = WriteFile(src_, "m.bin", message);
  std::string hex;
  QVERIFY(Sha256OfFile(file, hex).ok());
  QCOMPARE(Q(hex), digest);
  QVERIFY(!Sha256OfFile(src_ / "missing", hex).reason().empty());
}

void TestManifest::textReadBack() {
  Manifest m;
  m.destination = "/srv/www/site\twith tab";
  ManifestEntry file;
  file.sourceSize = 12;
  file.sourceTime = -5;
  file.sourceSha = Sha256Hex("x");
  file.kind = 1;
  file.switches = "/s /l VBScript";
  file.encoder = "/opt/q/screnc|100|7";
  file.verified = true;
  file.destinationSize = 99;
  file.destinationTime = 1700000000123456789;
  m.entries["a.asp"] = file;
  m.entries[std::string("odd%name\nwith\rends\x01\xff")] = file;
  m.entries["sub"].folder = true;
  Manifest back;
  QVERIFY(ParseManifest(ManifestText(m), back));
  QCOMPARE(back.destination, m.destination);
  QVERIFY(back.entries == m.entries);

  // Saved and loaded by the destination it belongs to only.
  const fs::path where = ManifestFileFor(TempPath(state_, "m"), m.destination);
  QVERIFY(SaveManifest(where, m).ok());
  QVERIFY(LoadManifest(where, m.destination).entries == m.entries);
  QVERIFY(LoadManifest(where, "/srv/www/other").entries.empty());
  QVERIFY(ManifestFileFor(TempPath(state_, "m"), "/srv/www/other") != where);
}

void TestManifest::garbledReadsEmpty_data() {
  QTest::addColumn<QByteArray>("text");
  const QByteArray head = "quillward-manifest 1\ndestination\t/d\n";
  const QByteArray entry = "F\ta\t1\t2\tab\t0\t\t\t0\t3\t4\n";
  QTest::newRow("empty") << QByteArray();
  QTest::newRow("another version") << QByteArray("quillward-manifest 2\ndestination\t/d\nend\t0\n");
  QTest::newRow("cut short") << head + entry;
  QTest::newRow("cut inside the last line") << head + entry + "end\t1";
  QTest::newRow("count differs") << head + entry + "end\t2\n";
  QTest::newRow("number not a number") << head + "F\ta\t1x\t2\tab\t0\t\t\t0\t3\t4\nend\t1\n";
  QTest::newRow("field missing") << head + "F\ta\t1\t2\tab\t0\t\t0\t3\t4\nend\t1\n";
  QTest::newRow("bad escape") << head + "D\ta%4\nend\t1\n";
  QTest::newRow("key twice") << head + "D\ta\nD\ta\nend\t2\n";
  QTest::newRow("unknown line") << head + "X\ta\nend\t1\n";
  QTest::newRow("binary") << QByteArray("\x00\xff\xfe garbage\n", 13);
}

void TestManifest::garbledReadsEmpty() {
  QFETCH(QByteArray, text);
  Manifest m;
  QVERIFY(!ParseManifest(text.toStdString(), m));
  QVERIFY(m.entries.empty());
}

void TestManifest::scanField_data() {
  QTest::addColumn<QByteArray>("line");  // an F line of a version 1 manifest
  QTest::addColumn<bool>("valid");
  QTest::addColumn<QByteArray>("scan");  // read back
  const QByteArray line = "F\ta\t1\t2\tab\t0\t\t\t0\t3\t4";
  QTest::newRow("a line written before scans were kept") << line << true << QByteArray();
  QTest::newRow("with a scan") << line + "\t?f5:a.inc" << true << QByteArray("?f5:a.inc");
  QTest::newRow("a scan with escaped bytes") << line + "\tnf3:a%09%25" << true << QByteArray("nf3:a\t%");
  QTest::newRow("an empty scan field") << line + "\t" << false << QByteArray();
  QTest::newRow("a bad escape in the scan") << line + "\ts%0" << false << QByteArray();
  QTest::newRow("a field after the scan") << line + "\ts\tx" << false << QByteArray();
}

// The scan is an optional last field: lines without it read as before, and an entry
// without one is written as before, so a manifest of either form serves the other build.
void TestManifest::scanField() {
  QFETCH(QByteArray, line);
  QFETCH(bool, valid);
  QFETCH(QByteArray, scan);
  Manifest m;
  QCOMPARE(ParseManifest(S(QStringLiteral("quillward-manifest 1\ndestination\t/d\n") + line + "\nend\t1\n"), m), valid);
  if (!valid) return;
  QCOMPARE(QByteArray::fromStdString(m.entries.at("a").scan), scan);
  Manifest back;
  const std::string text = ManifestText(m);
  QVERIFY(text.find(line.toStdString() + "\n") != std::string::npos);
  QVERIFY(ParseManifest(text, back));
  QVERIFY(back.entries == m.entries);
}

// A run keeps in each entry what the include pass read of its source; an entry left as
// unchanged keeps its scan, an edited page gets its new one, and a manifest stripped of
// the scans (as written before they were kept) still leaves every file unchanged.
void TestManifest::scansKeptByRuns() {
  WriteFile(src_, "p.asp", "<!--#include file=\"inc/h.htm\"--><% x %>");
  WriteFile(src_, "inc/h.htm", "<p>plain</p>");
  WriteFile(src_, "b.txt", "plain");
  const auto scans = [this] {
    std::map<std::string, std::string> out;
    const std::string identity = DestinationIdentity(dst_);
    for (const auto& [key, e] : LoadManifest(ManifestFileFor(ManifestFolder(), identity), identity).entries)
      if (!e.folder) out[key] = e.scan;
    return out;
  };
  // The page's directives; whether the include holds server script, asked of it alone.
  std::map<std::string, std::string> want = {{"b.txt", ""}, {"inc/h.htm", "n"}, {"p.asp", "?f9:inc/h.htm"}};
  QCOMPARE(Run({"chkHTML=1"}).files, 3);
  QVERIFY(scans() == want);
  QCOMPARE(Run({"chkHTML=1"}).unchanged, 3);
  QVERIFY(scans() == want);
  // The include alone edited: it now holds server script and goes as part of the page.
  WriteFile(src_, "inc/h.htm", "<% y = 2 %>");
  fs::last_write_time(src_ / "inc/h.htm", fs::last_write_time(src_ / "inc/h.htm") + std::chrono::seconds(5));
  RunOutcome edited = Run({"chkHTML=1"});
  QCOMPARE(edited.files, 1);
  QCOMPARE(edited.unchanged, 2);
  QCOMPARE(ReadBytes(dst_ / "inc/h.htm"), QByteArray("ENCODED\n<% y = 2 %>"));
  want["inc/h.htm"] = "s";
  QVERIFY(scans() == want);
  // The same manifest without its scans, as an earlier build wrote it.
  const std::string identity = DestinationIdentity(dst_);
  const fs::path file = ManifestFileFor(ManifestFolder(), identity);
  Manifest old = LoadManifest(file, identity);
  for (auto& [key, e] : old.entries) e.scan.clear();
  QVERIFY(SaveManifest(file, old).ok());
  QCOMPARE(Run({"chkHTML=1"}).unchanged, 3);
}

void TestManifest::readAhead_data() {
  QTest::addColumn<QString>("meanwhile");  // what happens to the file between the read and the lock
  QTest::addColumn<bool>("holds");
  QTest::newRow("nothing") << "" << true;
  QTest::newRow("saved again by another run") << "save" << false;
  QTest::newRow("saved again, the same text") << "same" << false;
  QTest::newRow("removed") << "remove" << false;
  QTest::newRow("there only after the read") << "late" << false;
}

// A manifest read before the lock stands for one read under it only while no run has
// saved it since: every save puts a new file in place.
void TestManifest::readAhead() {
  QFETCH(QString, meanwhile);
  QFETCH(bool, holds);
  const fs::path file = ManifestFileFor(TempPath(state_, "ahead"), "/d");
  Manifest m;
  m.destination = "/d";
  m.entries["a"].folder = true;
  if (meanwhile != QStringLiteral("late")) QVERIFY(SaveManifest(file, m).ok());
  ManifestReadAhead ahead = ReadManifestAhead(file, "/d");
  if (meanwhile == QStringLiteral("save")) m.entries["b"].folder = true;
  if (meanwhile == QStringLiteral("save") || meanwhile == QStringLiteral("same") || meanwhile == QStringLiteral("late"))
    QVERIFY(SaveManifest(file, m).ok());
  if (meanwhile == QStringLiteral("remove")) fs::remove(file);
  QCOMPARE(ahead.Holds(file), holds);
  if (holds) QVERIFY(ahead.manifest.entries == m.entries);
}

// Same size, same time, other content: the quick check keeps the file, --checksum redoes it.
void TestManifest::checksumSeesWhatTimesHide() {
  const fs::path page = WriteFile(src_, "a.asp", "<% one %>");
  WriteFile(src_, "b.txt", "plain");
  QCOMPARE(Run({}).files, 2);
  const auto time = fs::last_write_time(page);
  WriteFile(src_, "a.asp", "<% two %>");
  fs::last_write_time(page, time);
  RunOutcome quick = Run({});
  QCOMPARE(quick.files, 0);
  QCOMPARE(quick.unchanged, 2);
  RunOutcome checked = Run({"ThisRun/Checksum=1"});
  QCOMPARE(checked.files, 1);
  QCOMPARE(checked.unchanged, 1);
  QCOMPARE(ReadBytes(dst_ / "a.asp"), QByteArray("ENCODED\n<% two %>"));
  QCOMPARE(Run({"ThisRun/Checksum=1"}).unchanged, 2);
}

void TestManifest::stoppedRunLeavesTrueManifest_data() {
  QTest::addColumn<int>("jobs");
  QTest::newRow("one worker") << 1;
  QTest::newRow("four workers") << 4;
}

// Stopped half way through a run that rewrites every file: at every pause of the run and
// after it, whatever the manifest on disk says is so; the next run redoes exactly the rest.
void TestManifest::stoppedRunLeavesTrueManifest() {
  QFETCH(int, jobs);
  const QString workers = QStringLiteral("Jobs=%1").arg(jobs);
  const int kFiles = 40;  // more than four workers take in hand at once
  for (int i = 0; i < kFiles; ++i) WriteFile(src_, QStringLiteral("f%1.%2").arg(i, 2, 10, QChar('0')).arg(i % 2 ? "asp" : "txt").toStdString(), "v1");
  QCOMPARE(Run({workers}).files, kFiles);
  const std::string identity = DestinationIdentity(dst_);
  const fs::path file = ManifestFileFor(ManifestFolder(), identity);
  QCOMPARE(LoadManifest(file, identity).entries.size(), std::size_t(kFiles));

  for (int i = 0; i < kFiles; ++i) {
    const fs::path f = WriteFile(src_, QStringLiteral("f%1.%2").arg(i, 2, 10, QChar('0')).arg(i % 2 ? "asp" : "txt").toStdString(), "v2, longer");
    fs::last_write_time(f, fs::last_write_time(f) + std::chrono::seconds(3));
  }
  QString untrue;
  host_.onEvents = [&](RecordingHost& h) {
    if (untrue.isEmpty()) untrue = Untrue(dst_, LoadManifest(file, identity));
    if (h.entries.size() >= 6) h.state.StopRequested = true;
  };
  const RunOutcome stopped = Run({workers});
  host_.onEvents = nullptr;
  QCOMPARE(stopped.status, RunOutcome::Status::Stopped);
  QVERIFY(stopped.files > 0 && stopped.files < kFiles);
  QVERIFY2(untrue.isEmpty(), qPrintable(untrue));
  const Manifest left = LoadManifest(file, identity);
  QVERIFY2(Untrue(dst_, left).isEmpty(), qPrintable(Untrue(dst_, left)));

  const RunOutcome rest = Run({workers});
  QCOMPARE(rest.status, RunOutcome::Status::Completed);
  QCOMPARE(rest.files + rest.unchanged, kFiles);
  QCOMPARE(rest.unchanged, stopped.files);  // what the stopped run finished is not done again
  for (int i = 0; i < kFiles; ++i) {
    const QByteArray bytes = ReadBytes(dst_ / QStringLiteral("f%1.%2").arg(i, 2, 10, QChar('0')).arg(i % 2 ? "asp" : "txt").toStdString());
    QVERIFY(bytes.endsWith("v2, longer"));
  }
  QCOMPARE(Run({workers}).unchanged, kFiles);
}

using TreeEdit = std::function<void(const fs::path& src, const fs::path& dst)>;
Q_DECLARE_METATYPE(TreeEdit)

void TestManifest::deletion_data() {
  QTest::addColumn<TreeEdit>("edit");         // after a first run of a.asp, b.txt, sub/c.txt, keep.log
  QTest::addColumn<QStringList>("lines");     // the removal's lines, destination paths below "out"
  QTest::addColumn<QStringList>("remaining"); // below "out", files and folders
  const QStringList all = {"a.asp", "b.txt", "keep.log", "sub", "sub/c.txt"};
  QTest::newRow("nothing gone") << TreeEdit([](const fs::path&, const fs::path&) {}) << QStringList() << all;
  QTest::newRow("file gone: removed")
      << TreeEdit([](const fs::path& s, const fs::path&) { fs::remove(s / "b.txt"); })
      << QStringList{"b.txt - deleted"} << QStringList{"a.asp", "keep.log", "sub", "sub/c.txt"};
  QTest::newRow("file gone but edited at the destination: kept")
      << TreeEdit([](const fs::path& s, const fs::path& d) { fs::remove(s / "b.txt"); WriteFile(d, "b.txt", "mine now"); })
      << QStringList{"b.txt - not from the source"} << all;
  QTest::newRow("folder gone: files, then the folder")
      << TreeEdit([](const fs::path& s, const fs::path&) { fs::remove_all(s / "sub"); })
      << QStringList{"sub/c.txt - deleted", "sub - deleted"} << QStringList{"a.asp", "b.txt", "keep.log"};
  QTest::newRow("folder gone, something else in it: kept")
      << TreeEdit([](const fs::path& s, const fs::path& d) { fs::remove_all(s / "sub"); WriteFile(d, "sub/upload.png"); })
      << QStringList{"sub/upload.png - not from the source", "sub/c.txt - deleted"}
      << QStringList{"a.asp", "b.txt", "keep.log", "sub", "sub/upload.png"};
  QTest::newRow("placed on the server: one line per folder, never touched")
      << TreeEdit([](const fs::path&, const fs::path& d) {
           WriteFile(d, "web.config");
           WriteFile(d, "logs/1.log");
           WriteFile(d, "logs/2.log");
         })
      << QStringList{"logs - not from the source", "web.config - not from the source"}
      << all + QStringList{"logs", "logs/1.log", "logs/2.log", "web.config"};
  QTest::newRow("a folder replaced by a link to a folder: kept whole, the rest as usual")
      << TreeEdit([](const fs::path& s, const fs::path&) {
           const fs::path moved = s.parent_path() / "elsewhere";
           fs::rename(s / "sub", moved);
           fs::remove(moved / "c.txt");
           fs::create_directory_symlink(moved, s / "sub");
           fs::remove(s / "b.txt");
         })
      << QStringList{"sub - not removed: its source folder could not be read", "b.txt - deleted"}
      << QStringList{"a.asp", "keep.log", "sub", "sub/c.txt"};
  // Where the destination tells case apart it holds both spellings: the old one is gone.
  QTest::newRow("letter case changed: the old spelling goes")
      << TreeEdit([](const fs::path& s, const fs::path&) { fs::rename(s / "b.txt", s / "B.txt"); })
      << QStringList{"b.txt - deleted"} << QStringList{"B.txt", "a.asp", "keep.log", "sub", "sub/c.txt"};
  QTest::newRow("excluded now, source still there: kept")
      << TreeEdit([](const fs::path& s, const fs::path&) { WriteFile(s, ".quillwardignore", "*.log\n"); })
      << QStringList() << all;
  // One of a process that still runs (this one), so that the walk leaves it too.
  const QString tmp = QStringLiteral(".qw-%1-1.tmp").arg(QCoreApplication::applicationPid());
  QTest::newRow("a temporary file is passed over")
      << TreeEdit([tmp](const fs::path&, const fs::path& d) { WriteFile(d, tmp.toStdString()); })
      << QStringList() << QStringList{tmp} + all;
}

void TestManifest::deletion() {
  QFETCH(TreeEdit, edit);
  QFETCH(QStringList, lines);
  QFETCH(QStringList, remaining);
  for (const char* f : {"a.asp", "b.txt", "sub/c.txt", "keep.log"}) WriteFile(src_, f);
  QCOMPARE(Run({"chkDelete=1"}).files, 4);
  edit(src_, dst_);
  const RunOutcome out = Run({"chkDelete=1"});
  QCOMPARE(out.status, RunOutcome::Status::Completed);
  const QString prefix = P(dst_) + QLatin1Char('/');
  QStringList removal;
  for (const QString& line : host_.entries) {
    if (line.startsWith(prefix)) removal << line.mid(prefix.size());
  }
  QCOMPARE(removal, lines);
  QStringList there;
  for (const auto& e : fs::recursive_directory_iterator(dst_)) there << Q(fs::relative(e.path(), dst_).generic_string());
  there.sort();
  remaining.sort();
  QCOMPARE(there, remaining);
  QCOMPARE(out.deleted, lines.filter(QStringLiteral(" - deleted")).size());
  QCOMPARE(out.notFromSource, lines.filter(QStringLiteral(" - not from the source")).size());
}

// A destination that ignores letter case keeps the name a file had when a page is renamed
// in case only: the file there is the page just deployed, never one whose source is gone.
void TestManifest::letterCaseOnFatDestination() {
  if (::geteuid() != 0) QSKIP("mounting a FAT image needs root");
  const fs::path mnt = TempPath(*tmpDir_, "mnt"), image = TempPath(*tmpDir_, "fat.img");
  fs::create_directories(mnt);
  QProcess mk, mount;
  mk.start(QStringLiteral("mkfs.vfat"), {QStringLiteral("-C"), P(image), QStringLiteral("2048")});
  if (!mk.waitForFinished(20000) || mk.exitCode() != 0) QSKIP("cannot make a FAT image here");
  mount.start(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), P(image), P(mnt)});
  if (!mount.waitForFinished(20000) || mount.exitCode() != 0) QSKIP("cannot mount a FAT image here");
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mnt};
  dst_ = mnt / "out";
  host_.destination = dst_;
  WriteFile(src_, "page.txt", "page");
  QCOMPARE(Run({"chkDelete=1"}).files, 1);
  fs::rename(src_ / "page.txt", src_ / "Page.txt");
  const RunOutcome out = Run({"chkDelete=1"});
  QCOMPARE(out.deleted, 0);
  QVERIFY2(!host_.entries.join(QLatin1Char('\n')).contains(QStringLiteral(" - deleted")), qPrintable(host_.entries.join(QLatin1Char('\n'))));
  QCOMPARE(ReadBytes(dst_ / "Page.txt"), QByteArray("page"));
}

// The same without a FAT driver: the walk listed "Page.txt", the destination holds the
// manifest's "page.txt" (the name a case-ignoring file system kept), alone or beside the
// source's spelling.
void TestManifest::letterCaseWhereTheDestinationIgnoresIt() {
  const fs::path old = WriteFile(dst_, "page.txt", "page");
  const auto stamp = StampOf(old);
  QVERIFY(stamp);
  Manifest manifest;
  ManifestEntry entry;
  entry.destinationSize = stamp->size;
  entry.destinationTime = stamp->modifiedNs;
  manifest.entries["page.txt"] = entry;
  RunSettings settings;
  ManifestKeeper keeper(settings, dst_, {}, manifest, {});
  FolderEntry listed;
  listed.name = "Page.txt";
  listed.displayName = "Page.txt";
  listed.type = FolderEntry::Type::File;
  SourceListing listing;
  listing.Listed(src_, {listed});
  QCOMPARE(PlanRemovals(src_, dst_, listing, keeper).files, std::vector<fs::path>());
  WriteFile(dst_, "Page.txt", "page");  // both spellings: the destination tells case apart
  QCOMPARE(PlanRemovals(src_, dst_, listing, keeper).files, std::vector<fs::path>{old});
}

QTEST_GUILESS_MAIN(TestManifest)
#include "test_manifest.moc"
