#include "file_workers.h"

#include <chrono>

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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(slot);
  }
  wake_.notify_one();
  return slot;
}

bool FileWorkers::WaitFor(const FileSlot& slot, int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return finished_.wait_for(lock, std::chrono::milliseconds(ms),
                            [&slot] { return slot.done || slot.skipped; });
}

void FileWorkers::Work() {
  EncoderSession session;  // one encoder per worker, ended with the worker
  for (;;) {
    std::shared_ptr<FileSlot> slot;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      if (queue_.empty()) return;
      slot = std::move(queue_.front());
      queue_.pop_front();
      if (closing_ || stop_.load()) {  // a stop: files not begun are left alone
        slot->skipped = true;
        finished_.notify_all();
        continue;
      }
    }
    FileResult result = work_(slot->job, session, control_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot->result = std::move(result);
      slot->done = true;
    }
    finished_.notify_all();
  }
}
