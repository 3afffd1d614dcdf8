// The ignore rules: each rule of the pattern language on a real tree, checked against
// what git itself says of the same tree and the same pattern files.
#include "run/walk/ignore_rules.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& file, const QByteArray& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary).write(text.constData(), text.size());
}

std::string Relative(const fs::path& root, const fs::path& path) {
  const std::u8string text = path.lexically_relative(root).generic_u8string();
  return text == u8"." ? std::string() : std::string(text.begin(), text.end());
}

// Walks `folder` as a run would: pushes each folder, asks for each entry, does not enter
// excluded folders. Adds every entry left out (also those of folders not entered).
void Walk(const fs::path& root, const fs::path& folder, IgnoreStack& stack, QStringList& excluded,
          bool parentExcluded = false) {
  std::vector<fs::directory_entry> entries(fs::directory_iterator(folder), {});
  std::sort(entries.begin(), entries.end());
  if (!parentExcluded) QVERIFY(!stack.Push(folder, Relative(root, folder)).has_value());
  for (const fs::directory_entry& entry : entries) {
    const std::string relative = Relative(root, entry.path());
    const std::string name = entry.path().filename().string();
    if (name == ".git" || name == ".gitignore" || name == kIgnoreFileName) continue;
    const bool isFolder = entry.is_directory();
    const bool out = parentExcluded || stack.Excluded(relative, isFolder);
    if (out) excluded << QString::fromStdString(relative);
    if (isFolder) Walk(root, entry.path(), stack, excluded, out);
  }
  if (!parentExcluded) stack.Pop();
}

QProcessEnvironment IsolatedGit(const QString& home) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home);
  env.insert("XDG_CONFIG_HOME", home);
  env.insert("GIT_CONFIG_NOSYSTEM", "1");
  env.insert("GIT_CONFIG_GLOBAL", "/dev/null");
  return env;
}

QByteArray RunGit(const QString& root, const QString& home, const QStringList& args,
                  const QByteArray& input = {}) {
  QProcess git;
  git.setProcessEnvironment(IsolatedGit(home));
  git.setWorkingDirectory(root);
  git.start("git", args);
  git.write(input);
  git.closeWriteChannel();
  if (!git.waitForFinished(60000)) return "git did not finish";
  return git.readAllStandardOutput();
}

// What git says of each path of `paths` (relative to `root`), given the same pattern files.
QStringList GitExcluded(const QString& root, const QString& home, const QStringList& paths) {
  RunGit(root, home, {"init", "-q"});
  QByteArray input;
  for (const QString& p : paths) input += p.toUtf8() + '\0';
  const QByteArray out = RunGit(root, home, {"check-ignore", "--no-index", "-z", "--stdin"}, input);
  QStringList excluded;
  for (const QByteArray& p : out.split('\0'))
    if (!p.isEmpty()) excluded << QString::fromUtf8(p);
  excluded.sort();
  return excluded;
}

}  // namespace

class TestIgnoreRules : public QObject {
  Q_OBJECT
private slots:
  void matchesGit_data();
  void matchesGit();
  void commandPatternsWin_data();
  void commandPatternsWin();
  void ignoreFileAlwaysOut();
  void unreadableFileIsAnError();
};

// Rows: ignore files ("folder|content", "" for the root), the Options field, the tree
// (folders end in "/"), and what is left out.
void TestIgnoreRules::matchesGit_data() {
  QTest::addColumn<QStringList>("ignoreFiles");
  QTest::addColumn<QString>("siteField");
  QTest::addColumn<QStringList>("tree");
  QTest::addColumn<QStringList>("excluded");
  const QString none;
  QTest::newRow("star, any depth") << QStringList{"|*.log"} << none
      << QStringList{"a.log", "b.txt", "s/c.log", "s/d.logx"} << QStringList{"a.log", "s/c.log"};
  QTest::newRow("question mark") << QStringList{"|?.tmp"} << none
      << QStringList{"a.tmp", "ab.tmp", "s/x.tmp"} << QStringList{"a.tmp", "s/x.tmp"};
  QTest::newRow("question mark is one byte") << QStringList{"|?.txt"} << none
      << QStringList{"\xC3\xA9.txt", "e.txt"} << QStringList{"e.txt"};
  QTest::newRow("sets, ranges, negation, classes")
      << QStringList{"|[ab].txt\n[!a]1.txt\n[^a]3.txt\nr[a-c]2\n[[:digit:]]x\n[]]y"} << none
      << QStringList{"a.txt", "c.txt", "a1.txt", "b1.txt", "a3.txt", "b3.txt", "rb2", "rd2",
                     "7x", "ax", "]y"}
      << QStringList{"]y", "7x", "a.txt", "b1.txt", "b3.txt", "rb2"};
  QTest::newRow("unclosed set matches nothing") << QStringList{"|[ab"} << none
      << QStringList{"[ab", "a"} << QStringList{};
  QTest::newRow("escapes") << QStringList{"|\\*.txt\n\\#keep\n\\!bang\nsp\\ \n\\[x]"} << none
      << QStringList{"*.txt", "a.txt", "#keep", "!bang", "sp ", "sp", "[x]", "x"}
      << QStringList{"!bang", "#keep", "*.txt", "[x]", "sp "};
  QTest::newRow("comments and blanks") << QStringList{"|#c\n\n   \nb.txt   \n"} << none
      << QStringList{"#c", "b.txt", "c.txt"} << QStringList{"b.txt"};
  QTest::newRow("CR LF and byte order mark") << QStringList{"|\xEF\xBB\xBF*.log\r\n!k.log\r\n"} << none
      << QStringList{"a.log", "k.log"} << QStringList{"a.log"};
  QTest::newRow("re-include") << QStringList{"|*.log\n!keep.log"} << none
      << QStringList{"a.log", "keep.log", "s/keep.log"} << QStringList{"a.log"};
  QTest::newRow("later lines win") << QStringList{"|!keep.log\n*.log"} << none
      << QStringList{"a.log", "keep.log"} << QStringList{"a.log", "keep.log"};
  QTest::newRow("trailing slash: folders only") << QStringList{"|build/"} << none
      << QStringList{"build/x", "s/build", "t/build/y"}
      << QStringList{"build", "build/x", "t/build", "t/build/y"};
  QTest::newRow("leading slash anchors") << QStringList{"|/top.txt"} << none
      << QStringList{"top.txt", "s/top.txt"} << QStringList{"top.txt"};
  QTest::newRow("middle slash anchors") << QStringList{"|doc/*.txt"} << none
      << QStringList{"doc/a.txt", "doc/x/a.txt", "s/doc/a.txt"} << QStringList{"doc/a.txt"};
  QTest::newRow("leading **") << QStringList{"|**/cache"} << none
      << QStringList{"cache", "a/cache/f", "a/b/cache", "a/cachex"}
      << QStringList{"a/b/cache", "a/cache", "a/cache/f", "cache"};
  QTest::newRow("trailing **") << QStringList{"|logs/**"} << none
      << QStringList{"logs/a", "logs/b/c", "s/logs/d"}
      << QStringList{"logs/a", "logs/b", "logs/b/c"};
  QTest::newRow("middle **") << QStringList{"|a/**/z"} << none
      << QStringList{"a/z", "a/b/z", "a/b/c/z", "b/a/z"}
      << QStringList{"a/b/c/z", "a/b/z", "a/z"};
  QTest::newRow("** inside a name is a star") << QStringList{"|x**y"} << none
      << QStringList{"xay", "x/y", "xy"} << QStringList{"xay", "xy"};
  QTest::newRow("excluded folder is not entered") << QStringList{"|node_modules/\n!node_modules/keep.js"}
      << none << QStringList{"node_modules/keep.js", "node_modules/a.js"}
      << QStringList{"node_modules", "node_modules/a.js", "node_modules/keep.js"};
  QTest::newRow("contents out, one back in") << QStringList{"|dir/*\n!dir/keep"} << none
      << QStringList{"dir/a", "dir/keep", "dir/sub/b"} << QStringList{"dir/a", "dir/sub", "dir/sub/b"};
  QTest::newRow("deeper file wins") << QStringList{"|*.txt", "s|!*.txt"} << none
      << QStringList{"a.txt", "s/a.txt", "s/t/b.txt"} << QStringList{"a.txt"};
  QTest::newRow("deeper file anchors to its folder") << QStringList{"s|/only.txt\nsecret"} << none
      << QStringList{"only.txt", "secret", "s/only.txt", "s/t/only.txt", "s/secret", "s/t/secret"}
      << QStringList{"s/only.txt", "s/secret", "s/t/secret"};
  QTest::newRow("site patterns, anchored at the root") << QStringList{} << "*.bak /root.cfg"
      << QStringList{"a.bak", "s/b.bak", "root.cfg", "s/root.cfg"}
      << QStringList{"a.bak", "root.cfg", "s/b.bak"};
  QTest::newRow("ignore files win over site patterns") << QStringList{"|!keep.bak"} << "*.bak"
      << QStringList{"a.bak", "keep.bak"} << QStringList{"a.bak"};
}

void TestIgnoreRules::matchesGit() {
  QFETCH(QStringList, ignoreFiles);
  QFETCH(QString, siteField);
  QFETCH(QStringList, tree);
  QFETCH(QStringList, excluded);
  QTemporaryDir dir, home;
  QVERIFY(dir.isValid() && home.isValid());
  const fs::path root = dir.path().toStdString();
  QStringList paths;
  for (const QString& entry : tree) {
    const QByteArray utf8 = entry.toUtf8();
    if (entry.endsWith('/')) fs::create_directories(root / utf8.toStdString());
    else WriteText(root / utf8.toStdString(), "x");
  }
  for (const QString& file : ignoreFiles) {
    const QString folder = file.section('|', 0, 0), text = file.section('|', 1);
    WriteText(root / folder.toStdString() / kIgnoreFileName, text.toUtf8());
    WriteText(root / folder.toStdString() / ".gitignore", text.toUtf8());
  }

  IgnoreStack stack(SplitPatternList(siteField.toStdString()), {});
  QStringList ours;
  Walk(root, root, stack, ours);
  QCOMPARE(stack.Depth(), std::size_t(0));
  ours.sort();
  excluded.sort();
  QCOMPARE(ours, excluded);

  if (QStandardPaths::findExecutable("git").isEmpty()) QSKIP("git is not installed");
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (name != ".gitignore" && name != kIgnoreFileName) paths << QString::fromStdString(Relative(root, entry.path()));
  }
  RunGit(dir.path(), home.path(), {"init", "-q"});
  QStringList sitePatterns;
  for (const std::string& p : SplitPatternList(siteField.toStdString())) sitePatterns << QString::fromStdString(p);
  WriteText(root / ".git/info/exclude", sitePatterns.join('\n').toUtf8());
  QCOMPARE(GitExcluded(dir.path(), home.path(), paths), excluded);
}

// `--exclude` comes last: neither the site's files nor the Options field undo it.
void TestIgnoreRules::commandPatternsWin_data() {
  QTest::addColumn<QString>("site");
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("out");
  QTest::newRow("over a file's !") << "" << "!keep.log" << "*.log" << "keep.log" << true;
  QTest::newRow("its own ! over a file") << "" << "*.log" << "*.log !keep.log" << "keep.log" << false;
  QTest::newRow("anchored at the root") << "" << "" << "/a.txt" << "s/a.txt" << false;
  QTest::newRow("site field, then file") << "*.log" << "!keep.log" << "" << "s/keep.log" << false;
}

void TestIgnoreRules::commandPatternsWin() {
  QFETCH(QString, site);
  QFETCH(QString, file);
  QFETCH(QString, command);
  QFETCH(QString, path);
  QFETCH(bool, out);
  IgnoreStack stack(SplitPatternList(site.toStdString()), SplitPatternList(command.toStdString()));
  stack.PushText("", file.toStdString());
  if (path.startsWith("s/")) stack.PushText("s", "");
  QCOMPARE(stack.Excluded(path.toStdString(), false), out);
}

void TestIgnoreRules::ignoreFileAlwaysOut() {
  IgnoreStack stack({"!.quillwardignore"}, {"!.quillwardignore"});
  stack.PushText("", "!.quillwardignore\n");
  QVERIFY(stack.Excluded(".quillwardignore", false));
  QVERIFY(stack.Excluded("a/b/.quillwardignore", false));
  QVERIFY(!stack.Excluded(".quillwardignore", true));  // a folder of that name is not the file
}

// A link that points to itself cannot be opened: the error names the file and the call,
// and the folder is pushed all the same.
void TestIgnoreRules::unreadableFileIsAnError() {
  QTemporaryDir dir;
  const fs::path root = dir.path().toStdString();
  fs::create_symlink(kIgnoreFileName, root / kIgnoreFileName);
  IgnoreStack stack;
  const std::optional<IgnoreReadError> error = stack.Push(root, "");
  QVERIFY(error.has_value());
  QCOMPARE(error->file, root / kIgnoreFileName);
  QVERIFY2(error->message.find("(stat " + (root / kIgnoreFileName).string() + ")") != std::string::npos,
           error->message.c_str());
  QCOMPARE(stack.Depth(), std::size_t(1));
  QVERIFY(!stack.Push(root / "missing", "missing").has_value());
}

QTEST_GUILESS_MAIN(TestIgnoreRules)
#include "test_ignore_rules.moc"
