#include "file_workers.h"

#include "sha256.h"

#include <chrono>

// Every wake-up costs a context switch, which on a machine with few cores costs more than
// copying a small file: a worker is woken only when it sleeps and a file comes, and the
// walk only when the file it waits on is done.

void HashSource(const FileJob& job, FileResult& result) {
  if (job.hashSource && !Sha256OfFile(job.source, result.sourceSha).ok()) result.sourceSha.clear();
}

void CompleteResult(FileResult& result, const FileJob& job, bool measure,
                    std::chrono::steady_clock::time_point begun) {
  if (measure) {
    if (const auto in = StampOf(job.source)) result.bytesIn = in->size;
    if (result.reason.empty()) {
      if (const auto out = StampOf(job.destination)) result.bytesOut = out->size;
    }
  }
  result.microseconds =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun).count();
}

FileWorkers::FileWorkers(int count, std::filesystem::path appDir, const RunSettings& settings,
                         WaitControl control, const std::atomic<bool>& stop)
    : appDir_(std::move(appDir)), settings_(settings), control_(std::move(control)), stop_(stop) {
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
  if (result) CompleteResult(*result, slot.job, !settings_.ReportPath.empty(), slot.begun);
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

bool FileWorkers::Begin(const FileJob& job, EncoderSession& session, EncodeStart& start, FileResult& result) {
  HashSource(job, result);
  if (job.kind == FileKind::Copy) {
    result.reason = CopyFileAtomic(job.source, job.destination).reason();
    return true;
  }
  start = BeginEncode(job.kind, appDir_, settings_, job.source, job.destination, session);
  if (!start.sent) {
    // Not serving: the encoder runs now, one process for this file.
    std::optional<FileOutcome> outcome = FinishEncode(start, control_, session);
    result.reason = outcome->reason;
    result.stopped = outcome->stopped;
    result.encoded = !outcome->copied;
  }
  return !start.sent;
}

void FileWorkers::Work() {
  EncoderSession session;  // one encoder per worker, ended with the worker
  struct Sent {
    std::shared_ptr<FileSlot> slot;
    EncodeStart start;
    std::string sourceSha;
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
      std::optional<FileOutcome> outcome = FinishEncode(oldest.start, control_, session);
      FileResult result;
      result.sourceSha = std::move(oldest.sourceSha);
      if (outcome) {
        result.reason = outcome->reason;
        result.stopped = outcome->stopped;
        result.encoded = !outcome->copied;
      }
      Finish(*oldest.slot, outcome ? &result : nullptr);
      sent.pop_front();
      continue;
    }
    if (skip) {
      Finish(*slot, nullptr);
      continue;
    }
    EncodeStart start;
    FileResult result;
    slot->begun = std::chrono::steady_clock::now();
    if (Begin(slot->job, session, start, result)) Finish(*slot, &result);
    else sent.push_back({std::move(slot), std::move(start), std::move(result.sourceSha)});
  }
}
