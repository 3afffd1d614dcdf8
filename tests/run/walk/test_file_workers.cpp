// The workers: who may wait on them, and what a stop leaves undone.
#include "run/walk/file_workers.h"
#include "test_support.h"

#include <QtTest>
#include <future>

class TestFileWorkers : public QObject {
  Q_OBJECT
private slots:
  void onlyTheMakerWaits();
  void stopLeavesFilesNotBegun();
};

namespace {

std::shared_ptr<FileSlot> CopySlot(const fs::path& from, const fs::path& to) {
  auto slot = std::make_shared<FileSlot>();
  slot->record.kind = FileKind::Copy;
  slot->record.source = from;
  slot->record.destination = to;
  return slot;
}

}  // namespace

void TestFileWorkers::onlyTheMakerWaits() {
  QTemporaryDir dir;
  const fs::path from = WriteFile(TempPath(dir), "a.txt", "bytes");
  RunSettings settings;
  std::atomic<bool> stop{false};
  FileWorkers workers(2, FileTask(TempPath(dir), settings, WaitControl{}), stop);
  auto slot = CopySlot(from, TempPath(dir, "b.txt"));
  workers.Submit(slot);
  // Another thread is told so at once, however long it asked to wait.
  const WaitResult other = std::async(std::launch::async, [&] { return workers.WaitFor(*slot, 60000); }).get();
  QCOMPARE(int(other), int(WaitResult::NotTheWalk));
  QCOMPARE(int(workers.WaitFor(*slot, 60000)), int(WaitResult::Ready));
  QVERIFY(workers.Ready(*slot));
  QCOMPARE(int(slot->record.action), int(EntryAction::Copied));
  QCOMPARE(ReadBytes(TempPath(dir, "b.txt")), QByteArray("bytes"));
}

void TestFileWorkers::stopLeavesFilesNotBegun() {
  QTemporaryDir dir;
  const fs::path from = WriteFile(TempPath(dir), "a.txt", "bytes");
  RunSettings settings;
  std::atomic<bool> stop{true};
  FileWorkers workers(1, FileTask(TempPath(dir), settings, WaitControl{}), stop);
  auto slot = CopySlot(from, TempPath(dir, "b.txt"));
  workers.Submit(slot);
  QCOMPARE(int(workers.WaitFor(*slot, 60000)), int(WaitResult::Ready));
  QVERIFY(slot->skipped);
  QVERIFY(!slot->done);
  QVERIFY(!fs::exists(TempPath(dir, "b.txt")));
}

QTEST_GUILESS_MAIN(TestFileWorkers)
#include "test_file_workers.moc"
