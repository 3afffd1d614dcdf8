// A large page's output written on a second thread while the next piece is made, so that
// the system's copying of one piece into the file overlaps the making of the next (the
// encoder and the decoder reading in pieces: encode_pieces.cpp, decode_page.cpp). One piece
// at most waits to be written; the strings go round between the caller and the thread, so
// no piece is copied. Where no thread can be started, each piece is written at once.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "atomic_file.h"

namespace screnc {

class PieceWriter {
 public:
  // out is the thread's alone from here until finish().
  explicit PieceWriter(PieceOutput& out);
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;
  ~PieceWriter() { finish(); }

  // Hands the bytes of piece over to be written, once the piece before has been taken;
  // piece comes back empty (a string written before, its room kept).
  void put(std::string& piece);
  // Returns once every piece handed over is written (or refused: out.err).
  void finish();

 private:
  void run();

  PieceOutput& out_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string waiting_;  // handed over, not yet taken by the thread
  bool has_waiting_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace screnc
