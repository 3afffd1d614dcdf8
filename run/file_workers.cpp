#include "file_workers.h"

#include <chrono>

// Every wake-up costs a context switch, which on a machine with few cores costs more than
// copying a small file: a worker is woken only when it sleeps and a file comes, and the
// walk only when the file it waits on is done.

FileWorkers::FileWorkers(int count, FileWork work, WaitControl control, const std::atomic<bool>& stop)
    : work_(std::move(work)), control_(std::move(control)), stop_(stop) {
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

std::shared_ptr<FileSlot> FileWorkers::Submit(FileJob job) {
  auto slot = std::make_shared<FileSlot>();
  slot->job = std::move(job);
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(slot);
    wake = idle_ > 0;
  }
  if (wake) wake_.notify_one();
  return slot;
}

bool FileWorkers::WaitFor(const FileSlot& slot, int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (slot.done || slot.skipped || ms <= 0) return slot.done || slot.skipped;
  awaited_ = &slot;
  const bool ready = finished_.wait_for(lock, std::chrono::milliseconds(ms),
                                        [&slot] { return slot.done || slot.skipped; });
  awaited_ = nullptr;
  return ready;
}

void FileWorkers::Finish(FileSlot& slot, FileResult* result) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (result) {
      slot.result = std::move(*result);
      slot.done = true;
    } else {
      slot.skipped = true;
    }
    wake = awaited_ == &slot;
  }
  if (wake) finished_.notify_all();
}

void FileWorkers::Work() {
  EncoderSession session;  // one encoder per worker, ended with the worker
  for (;;) {
    std::shared_ptr<FileSlot> slot;
    bool skip = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++idle_;
      wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      --idle_;
      if (queue_.empty()) return;
      slot = std::move(queue_.front());
      queue_.pop_front();
      skip = closing_ || stop_.load();  // a stop: files not begun are left alone
    }
    if (skip) {
      Finish(*slot, nullptr);
      continue;
    }
    FileResult result = work_(slot->job, session, control_);
    Finish(*slot, &result);
  }
}
