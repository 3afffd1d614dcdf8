#include "piece_writer.h"

#include <system_error>

namespace screnc {

PieceWriter::PieceWriter(PieceOutput& out) : out_(out) {
  try {
    thread_ = std::thread(&PieceWriter::run, this);
  } catch (const std::system_error&) {
    // No thread: put() writes each piece itself.
  }
}

void PieceWriter::put(std::string& piece) {
  if (piece.empty()) return;
  if (!thread_.joinable()) {
    out_.put(piece);
    piece.clear();
    return;
  }
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !has_waiting_; });
    waiting_.swap(piece);
    has_waiting_ = true;
  }
  changed_.notify_all();
  piece.clear();
}

void PieceWriter::finish() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void PieceWriter::run() {
  std::string piece;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return has_waiting_ || stop_; });
    if (!has_waiting_) return;  // stopped, and all is written
    piece.swap(waiting_);       // waiting_ gets the string written last, empty
    has_waiting_ = false;
    lock.unlock();
    changed_.notify_all();
    out_.put(piece);
    piece.clear();
    lock.lock();
  }
}

}  // namespace screnc
