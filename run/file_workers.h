#pragma once
// Workers for the files of a run: each a thread with an encoder session of its own.
// They copy or encode and never touch the host; the walk hands the files out in its
// order and takes the results back in the same order.

#include "basShell.h"
#include "encoder_session.h"
#include "file_kind.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FileJob {
  FileKind kind = FileKind::Copy;
  std::filesystem::path source, destination;
};

struct FileResult {
  std::string reason;    // empty when the file was copied or encoded
  bool stopped = false;  // the encoder was ended on a stop request
  bool encoded = false;  // the encoder made it (an encode kind with no text is copied)
  std::uint64_t bytesIn = 0, bytesOut = 0;
  std::int64_t microseconds = 0;
};

// One file handed out: its result once `done`; `skipped` when a stop came before a
// worker took it (then it was never touched).
struct FileSlot {
  FileJob job;
  FileResult result;
  bool done = false;
  bool skipped = false;
};

using FileWork = std::function<FileResult(const FileJob&, EncoderSession&, const WaitControl&)>;

class FileWorkers {
public:
  // `control` is each worker's wait: its poll must not touch the host (it reads `stop`).
  FileWorkers(int count, FileWork work, WaitControl control, const std::atomic<bool>& stop);
  // Lets the files in hand finish; files not taken yet are skipped.
  ~FileWorkers();
  FileWorkers(const FileWorkers&) = delete;
  FileWorkers& operator=(const FileWorkers&) = delete;

  std::shared_ptr<FileSlot> Submit(FileJob job);
  // Waits up to `ms` for `slot` to be done or skipped; true when it is.
  bool WaitFor(const FileSlot& slot, int ms);

private:
  void Work();

  FileWork work_;
  WaitControl control_;
  const std::atomic<bool>& stop_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<FileSlot>> queue_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};
