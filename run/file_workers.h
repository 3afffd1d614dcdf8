#pragma once
// Workers for the files of a run: each a thread with an encoder session of its own.
// They copy or encode and never touch the host; the walk hands the files out in its
// order and takes the results back in the same order.

#include "basShell.h"
#include "encode_file.h"
#include "encoder_session.h"
#include "file_kind.h"
#include "run_settings.h"

#include <atomic>
#include <chrono>
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
  bool hashSource = false;  // the SHA-256 of the source is wanted (for the manifest)
};

struct FileResult {
  std::string reason;    // empty when the file was copied or encoded
  bool stopped = false;  // the encoder was ended on a stop request
  bool encoded = false;  // the encoder made it (an encode kind with no text is copied)
  std::uint64_t bytesIn = 0, bytesOut = 0;
  std::int64_t microseconds = 0;
  std::string sourceSha;  // hex, when the job asked for it and the source could be read
};

// One file handed out: its result once `done`; `skipped` when a stop came before a
// worker took it (then it was never touched), or when a stop ended the encoder it had
// been sent to before the encoder began it (then nothing was written; only a link at
// its destination may have been removed, as for every page before it is encoded).
struct FileSlot {
  FileJob job;
  FileResult result;
  bool done = false;
  bool skipped = false;
  std::chrono::steady_clock::time_point begun;  // when a worker took it
};

// The SHA-256 of the source into `result` when the job asks for it: taken by the worker
// before the file is copied or encoded, so that hashing runs on every core.
void HashSource(const FileJob& job, FileResult& result);

// Completes the result of a file done: the time since `begun` and, when `measure` (a
// report wants them), the sizes of the source and of the output.
void CompleteResult(FileResult& result, const FileJob& job, bool measure,
                    std::chrono::steady_clock::time_point begun);

// How many files a worker may have with its encoder at once: the one in hand and those
// waiting behind it, so that the encoder goes from one to the next without waiting for us.
inline constexpr std::size_t kFilesSentAhead = 8;

class FileWorkers {
public:
  // `control` is each worker's wait: its poll must not touch the host (it reads `stop`).
  // A worker copies a file itself and sends a page to its encoder, going on with the next
  // files while it encodes (up to kFilesSentAhead), and takes the answers in order.
  FileWorkers(int count, std::filesystem::path appDir, const RunSettings& settings, WaitControl control,
              const std::atomic<bool>& stop);
  // Lets the files in hand finish; files not taken yet are skipped.
  ~FileWorkers();
  FileWorkers(const FileWorkers&) = delete;
  FileWorkers& operator=(const FileWorkers&) = delete;

  std::shared_ptr<FileSlot> Submit(FileJob job);
  // Waits up to `ms` for `slot` to be done or skipped; true when it is. Only the waiter's
  // own slot wakes it: a worker finishing any other file leaves it asleep.
  bool WaitFor(const FileSlot& slot, int ms);

private:
  void Work();
  // Marks `slot` done with `result`, or skipped when null, and wakes its waiter.
  void Finish(FileSlot& slot, FileResult* result);

  // A file's first half: done when copied or settled, else with the encoder (`start`).
  bool Begin(const FileJob& job, EncoderSession& session, EncodeStart& start, FileResult& result);

  const std::filesystem::path appDir_;
  const RunSettings& settings_;
  WaitControl control_;
  const std::atomic<bool>& stop_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<FileSlot>> queue_;
  const FileSlot* awaited_ = nullptr;  // the slot WaitFor sleeps on, if any
  int idle_ = 0;                       // workers asleep for want of files
  bool closing_ = false;
  std::vector<std::thread> threads_;
};
