// quillward-batch on a site deployed again and again, end to end with our real encoder:
// --changed redoes only what changed, --delete removes only what it wrote, --max-delete
// refuses before removing anything; the manifest lives in an isolated state folder.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include "batch_app.h"

#include <QtTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Moves the modification time of `path` by `seconds`, so that edits never hide in one tick.
void Age(const fs::path& path, int seconds) {
  fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(seconds));
}

const std::string kPage = "<%@ LANGUAGE=VBScript %>\n<% Response.Write \"x\" %>\n";

struct Step {
  const char* name;
  std::function<void(const fs::path& root)> before;
  QStringList args;
  QStringList log;  // after "Processing ... site", lines "- unchanged" left out
  int exitCode;
};

}  // namespace

class TestBatchChanged : public QObject {
  Q_OBJECT
private slots:
  void redeploys();

private:
  QStringList Run(const QStringList& args, int& exitCode);
  QTemporaryDir tmp_;
  fs::path root_;
};

QStringList TestBatchChanged::Run(const QStringList& args, int& exitCode) {
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((root_ / "config").string()));
  e.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString((root_ / "state").string()));
  e.insert(QStringLiteral("HOME"), QString::fromStdString((root_ / "home").string()));
  p.setProcessEnvironment(e);
  p.setWorkingDirectory(tmp_.path());
  p.start(tmp_.filePath(QStringLiteral("app/quillward-batch")),
          QStringList{"--set", "chkASP=1"} + args + QStringList{QStringLiteral("site"), QStringLiteral("out")});
  if (!p.waitForFinished(60000)) return {};
  exitCode = p.exitCode();
  return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestBatchChanged::redeploys() {
  root_ = tmp_.path().toStdString();
  QVERIFY(InstallBatchApp(tmp_.path()));
  Write(root_ / "site/a.asp", kPage);
  Write(root_ / "site/b.txt", "plain");
  Write(root_ / "site/sub/c.asp", kPage);
  Write(root_ / "site/sub/d.gif", "GIF89a");
  const fs::path site = root_ / "site", out = root_ / "out";
  const auto manifest = [this] {
    fs::path file;
    // The manifest itself, not its journal or lock beside it.
    for (const auto& e : fs::directory_iterator(root_ / "state/Quillward/manifests"))
      if (e.path().extension() != ".journal" && e.path().extension() != ".lock") file = e.path();
    return file;
  };

  const QStringList all = {"site/a.asp", "site/b.txt", "Processing ... site/sub", "site/sub/c.asp",
                           "site/sub/d.gif", "Done: 4 files, 0 failed"};
  const Step steps[] = {
      {"first run", {}, {"--changed"}, all, 0},
      {"nothing changed", {}, {"--changed"},
       {"Processing ... site/sub", "Done: 0 files, 0 failed, 4 unchanged"}, 0},
      {"one page edited", [](const fs::path& r) { Write(r / "site/a.asp", kPage + "<% x %>\n"); Age(r / "site/a.asp", 5); },
       {"--changed"}, {"site/a.asp", "Processing ... site/sub", "Done: 1 files, 0 failed, 3 unchanged"}, 0},
      {"destination edited by hand", [](const fs::path& r) { Write(r / "out/b.txt", "hacked"); }, {"--changed"},
       {"site/b.txt", "Processing ... site/sub", "Done: 1 files, 0 failed, 3 unchanged"}, 0},
      {"destination removed by hand", [](const fs::path& r) { fs::remove(r / "out/sub/c.asp"); }, {"--changed"},
       {"Processing ... site/sub", "site/sub/c.asp", "Done: 1 files, 0 failed, 3 unchanged"}, 0},
      // A link is never taken for the file it points to, even one with the same size and time.
      {"destination replaced by a link to the same bytes",
       [](const fs::path& r) {
         fs::copy_file(r / "out/b.txt", r / "elsewhere.txt", fs::copy_options::overwrite_existing);
         fs::last_write_time(r / "elsewhere.txt", fs::last_write_time(r / "out/b.txt"));
         fs::remove(r / "out/b.txt");
         fs::create_symlink(r / "elsewhere.txt", r / "out/b.txt");
       },
       {"--changed"}, {"site/b.txt", "Processing ... site/sub", "Done: 1 files, 0 failed, 3 unchanged"}, 0},
      {"language changed: pages redone",
       [](const fs::path& r) { QVERIFY(!fs::is_symlink(r / "out/b.txt") && fs::is_regular_file(r / "out/b.txt")); },
       {"--changed", "--set", "Combo1=JScript"},
       {"site/a.asp", "Processing ... site/sub", "site/sub/c.asp", "Done: 2 files, 0 failed, 2 unchanged"}, 0},
      {"encoder replaced: pages redone", [](const fs::path& r) { Age(r / "app/screnc", -100); },
       {"--changed", "--set", "Combo1=JScript"},
       {"site/a.asp", "Processing ... site/sub", "site/sub/c.asp", "Done: 2 files, 0 failed, 2 unchanged"}, 0},
      {"--verify newly on: pages redone", {}, {"--changed", "--set", "Combo1=JScript", "--verify"},
       {"site/a.asp", "Processing ... site/sub", "site/sub/c.asp", "Done: 2 files, 0 failed, 2 unchanged"}, 0},
      {"--verify off again: verified pages stay", {}, {"--changed", "--set", "Combo1=JScript"},
       {"Processing ... site/sub", "Done: 0 files, 0 failed, 4 unchanged"}, 0},
      {"without --changed: everything", {}, {"--set", "Combo1=JScript"}, all, 0},
      {"garbled manifest: full run", [&](const fs::path&) { Write(manifest(), "quillward-manifest 1\n\x01garbage"); },
       {"--changed", "--set", "Combo1=JScript"}, all, 0},
      {"more to remove than --max-delete: nothing removed",
       [](const fs::path& r) {
         fs::remove(r / "site/b.txt");
         fs::remove_all(r / "site/sub");
         Write(r / "out/web.config", "<configuration/>");
         Write(r / "out/uploads/photo.jpg", "jpg");
       },
       {"--changed", "--set", "Combo1=JScript", "--delete", "--max-delete", "2"},
       {"out/uploads - not from the source", "out/web.config - not from the source",
        "Nothing removed: 3 files whose source is gone would be removed, more than 2 (--max-delete)",
        "Done: 0 files, 0 failed, 1 unchanged, 2 not from the source"},
       1},
      // Writes nothing: the run after it finds the same to remove.
      {"a dry run says what it would remove", [](const fs::path& r) { Write(r / "out/sub/notes.txt", "mine"); },
       {"--changed", "--set", "Combo1=JScript", "--delete", "--dry-run"},
       {"site/a.asp - would skip unchanged", "out/sub/notes.txt - not from the source",
        "out/uploads - not from the source", "out/web.config - not from the source",
        "out/b.txt - would delete", "out/sub/c.asp - would delete", "out/sub/d.gif - would delete",
        "out/sub - would delete", "Dry run: 0 files would be encoded, 0 copied, 1 unchanged, 4 deleted, 0 failed"},
       0},
      {"--delete removes only what it wrote", {},
       {"--changed", "--set", "Combo1=JScript", "--delete"},
       {"out/sub/notes.txt - not from the source", "out/uploads - not from the source",
        "out/web.config - not from the source", "out/b.txt - deleted", "out/sub/c.asp - deleted",
        "out/sub/d.gif - deleted", "Done: 0 files, 0 failed, 1 unchanged, 3 deleted, 3 not from the source"},
       0},
  };
  for (const Step& step : steps) {
    if (step.before) step.before(root_);
    int exitCode = -1;
    const QStringList lines = Run(step.args, exitCode);
    QVERIFY2(!lines.isEmpty(), step.name);
    QCOMPARE(lines.first(), QStringLiteral("Processing ... site"));
    QStringList shown = lines.mid(1).filter(QRegularExpression(QStringLiteral("^(?!.* - unchanged$)")));
    shown.removeIf([](const QString& l) { return l.startsWith(QStringLiteral("Warning:")); });
    if (shown != step.log) qWarning() << step.name << lines;
    QCOMPARE(shown, step.log);
    QCOMPARE(exitCode, step.exitCode);
  }
  // Left alone: what the server holds, and a folder that still holds something not ours.
  QVERIFY(fs::exists(out / "web.config"));
  QVERIFY(fs::exists(out / "uploads/photo.jpg"));
  QVERIFY(fs::exists(out / "sub/notes.txt"));
  QVERIFY(fs::exists(out / "a.asp"));
  std::ifstream page(out / "a.asp");
  QVERIFY(std::string(std::istreambuf_iterator<char>(page), {}).find("#@~^") != std::string::npos);
  // The encoded page keeps its source's time, as a copy does.
  QCOMPARE(fs::last_write_time(out / "a.asp"), fs::last_write_time(site / "a.asp"));
  // The manifest is not in the destination.
  for (const auto& e : fs::recursive_directory_iterator(out)) QVERIFY(e.path().extension() != ".manifest");
}

QTEST_GUILESS_MAIN(TestBatchChanged)
#include "test_batch_changed.moc"
