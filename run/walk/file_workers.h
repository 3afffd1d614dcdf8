#pragma once
// Workers for the files of a run: each a thread with an encoder session of its own,
// doing the file task (file_task.h). They never touch the host; the walk hands the files
// out in its order and takes the results back in the same order.
//
// Threads: the thread that makes the workers (the walk's) hands the files out and is the
// one waiter. WaitFor sleeps one waiter at a time, woken by its own slot alone, so it is
// that thread's only: called from any other, it does not wait and says so. Ready may be
// asked from any thread.

#include "run/encoder/encoder_session.h"
#include "run/walk/file_task.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// How many files a worker may have with its encoder at once: the one in hand and those
// waiting behind it, so that the encoder goes from one to the next without waiting for us.
inline constexpr std::size_t kFilesSentAhead = 8;

enum class WaitResult {
  Ready,       // the file is done or skipped
  NotYet,      // the time ran out first
  NotTheWalk,  // called from a thread other than the one that made the workers: no wait
};

class FileWorkers {
public:
  // `task`'s wait must not touch the host (its poll reads `stop`). A worker copies a file
  // itself and sends a page to its encoder, going on with the next files while it encodes
  // (up to kFilesSentAhead), and takes the answers in order.
  FileWorkers(int count, FileTask task, const std::atomic<bool>& stop);
  // Lets the files in hand finish; files not taken yet are skipped.
  ~FileWorkers();
  FileWorkers(const FileWorkers&) = delete;
  FileWorkers& operator=(const FileWorkers&) = delete;

  void Submit(std::shared_ptr<FileSlot> slot);
  // Whether `slot` is done or skipped, now.
  bool Ready(const FileSlot& slot);
  // Waits up to `ms` for `slot` to be done or skipped.
  WaitResult WaitFor(const FileSlot& slot, int ms);

private:
  void Work();
  // Marks `slot` done, or skipped, and wakes its waiter.
  void Finish(FileSlot& slot, bool done);

  const FileTask task_;
  const std::atomic<bool>& stop_;
  const std::thread::id walk_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<FileSlot>> queue_;
  const FileSlot* awaited_ = nullptr;  // the slot WaitFor sleeps on, if any
  int idle_ = 0;                       // workers asleep for want of files
  bool closing_ = false;
  std::vector<std::thread> threads_;
};
