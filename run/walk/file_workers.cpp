#include "run/walk/file_workers.h"

#include <chrono>

// Every wake-up costs a context switch, which on a machine with few cores costs more than
// copying a small file: a worker is woken only when it sleeps and a file comes, and the
// walk only when the file it waits on is done.

FileWorkers::FileWorkers(int count, FileTask task, const std::atomic<bool>& stop)
    : task_(std::move(task)), stop_(stop) {
  for (int i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
}

FileWorkers::~FileWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void FileWorkers::Submit(std::shared_ptr<FileSlot> slot) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(slot));
    wake = idle_ > 0;
  }
  if (wake) wake_.notify_one();
}

bool FileWorkers::Ready(const FileSlot& slot) {
  std::lock_guard<std::mutex> lock(mutex_);
  return slot.done || slot.skipped;
}

WaitResult FileWorkers::WaitFor(const FileSlot& slot, int ms) {
  if (std::this_thread::get_id() != walk_) return WaitResult::NotTheWalk;
  std::unique_lock<std::mutex> lock(mutex_);
  const auto ready = [&slot] { return slot.done || slot.skipped; };
  if (ready() || ms <= 0) return ready() ? WaitResult::Ready : WaitResult::NotYet;
  awaited_ = &slot;
  const bool done = finished_.wait_for(lock, std::chrono::milliseconds(ms), ready);
  awaited_ = nullptr;
  return done ? WaitResult::Ready : WaitResult::NotYet;
}

void FileWorkers::Finish(FileSlot& slot, bool done) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    (done ? slot.done : slot.skipped) = true;
    wake = awaited_ == &slot;
  }
  if (wake) finished_.notify_all();
}

void FileWorkers::Work() {
  EncoderSession session;  // one encoder per worker, ended with the worker
  struct Sent {
    std::shared_ptr<FileSlot> slot;
    EncodeStart start;
  };
  std::deque<Sent> sent;  // with the encoder, oldest first
  for (;;) {
    std::shared_ptr<FileSlot> slot;
    bool skip = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (sent.empty()) {
        ++idle_;
        wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        --idle_;
        if (queue_.empty()) return;
      }
      if (!queue_.empty() && sent.size() < kFilesSentAhead) {
        slot = std::move(queue_.front());
        queue_.pop_front();
        skip = closing_ || stop_.load();  // a stop: files not begun are left alone
      }
    }
    if (!slot) {  // nothing more to send for now: the oldest answer
      Sent& oldest = sent.front();
      Finish(*oldest.slot, task_.Finish(*oldest.slot, oldest.start, session));
      sent.pop_front();
    } else if (skip) {
      Finish(*slot, false);
    } else if (EncodeStart start; task_.Begin(*slot, start, session)) {
      Finish(*slot, true);
    } else {
      sent.push_back({std::move(slot), std::move(start)});
    }
  }
}
