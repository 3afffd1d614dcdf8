// What the walk tells its observers: one record per entry, in the log's order, with the
// action taken, whatever the number of workers.
#include "run/encode_run.h"
#include "run/settings/settings_store.h"
#include "test_support.h"
#include "run/walk/walk.h"

#include <QtTest>

namespace {

struct Recorder : EntryObserver {
  QStringList lines;  // "action folder relative kind switches in>0 out>0 reason"
  void Entry(const EntryRecord& r) override {
    static const char* names[] = {"Folder", "Encoded", "Copied", "Unchanged", "Excluded", "Deleted", "Failed", "Stopped"};
    lines << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                 .arg(QLatin1String(names[static_cast<int>(r.action)]))
                 .arg(r.folder ? 1 : 0)
                 .arg(Q(r.relative), Q(r.switches))
                 .arg(r.bytesIn)
                 .arg(r.bytesOut > 0 ? 1 : 0)
                 .arg(Q(r.reason));
  }
};

}  // namespace

class TestEntryRecords : public QObject, protected RunTreeFixture {
  Q_OBJECT
private slots:
  void actionsInLogOrder_data();
  void actionsInLogOrder();
};

void TestEntryRecords::actionsInLogOrder_data() {
  QTest::addColumn<int>("jobs");
  QTest::newRow("one worker") << 1;
  QTest::newRow("four workers") << 4;
}

void TestEntryRecords::actionsInLogOrder() {
  QFETCH(int, jobs);
  ResetTree(true, false);
  WriteFile(src_, "a.asp", "<% x %>");
  WriteFile(src_, "b.txt", "plain");
  WriteFile(src_, "empty.js", "");
  WriteFile(src_, "skip.log", "log");
  WriteFile(src_, "sub/c.vbs", "x = 1");
  WriteFile(src_, ".quillwardignore", "*.log\nnode_modules/\n");
  WriteFile(src_, "node_modules/m.js", "m");
  fs::create_directory_symlink(src_ / "sub", src_ / "link");

  MemorySettingsStore store;
  for (const char* key : {"chkASP", "chkJS", "check2"}) store.Write("Settings", key, "1");
  store.Write("Settings", "Jobs", std::to_string(jobs));
  store.Write("ThisRun", "Report", "report.json");  // sizes are measured for a report only
  const RunSettings settings = LoadRunSettings(store);
  Recorder recorder;
  {
    Walk walk(host_, settings, WaitControl{}, IdentityOf(dst_), 0);
    walk.AddObserver(&recorder);
    walk.Run(src_, dst_);
  }
  const QStringList expected = {
      "Folder|1|||0|0|",
      "Encoded|0|a.asp|/s /l VBScript|7|1|",
      "Copied|0|b.txt||5|1|",
      "Copied|0|empty.js||0|0|",  // nothing to encode: copied as it is
      "Excluded|0|skip.log||0|0|",
      "Failed|1|link||0|0|link to a folder, not followed",
      "Excluded|1|node_modules||0|0|",
      "Folder|1|sub||0|0|",
      "Encoded|0|sub/c.vbs|/s|5|1|",
  };
  QCOMPARE(recorder.lines, expected);
}

QTEST_GUILESS_MAIN(TestEntryRecords)
#include "test_entry_records.moc"
