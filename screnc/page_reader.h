// A page read in pieces into one buffer that is used again and again: what the encoder or
// decoder has not finished with stays at the front, the next piece goes after it. So a
// large page never needs a buffer of its own size (a fresh buffer costs the system the
// zeroing of every page of it), unless one item of it (a tag, a block) is that large.
//
// Reading the file is the platform's part (page_reader_posix.cpp, page_reader_win.cpp);
// the buffer is page_reader.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "file_system.h"

namespace screnc {

// The open file, read from its start to its end.
class SourceFile {
 public:
  SourceFile() = default;
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;
  ~SourceFile() { close(); }

  // `size` is what the system says the file holds now (0 when it cannot say).
  std::optional<IoError> open(const std::string& path, std::uint64_t& size);
  // Reads up to n bytes to `to`; `got` is 0 at the end of the file.
  std::optional<IoError> read(char* to, std::size_t n, std::size_t& got);
  void close();

 private:
  std::string path_;
  std::intptr_t handle_ = -1;  // file descriptor, or HANDLE on Windows
};

class PageReader {
 public:
  // The size of a piece: small enough to stay in the processor's cache between being read
  // and being encoded.
  static constexpr std::size_t kPiece = std::size_t(256) << 10;

  std::optional<IoError> open(const std::string& path);

  // Reads the next piece after what is held: kPiece bytes (the first time no more than
  // the file holds, so that a small page needs no large buffer), or as many as are held
  // when that is more (an item that needs more text than is held doubles the buffer, so that
  // looking at it again costs no more than reading it). `fresh` is what was read.
  std::optional<IoError> fill(std::string_view& fresh);
  // Reads up to the end of the file.
  std::optional<IoError> fill_all();

  // What is held: the page from offset() on.
  std::string_view held() const { return {data_.get() + begin_, end_ - begin_}; }
  // The first n bytes held are done with.
  void consume(std::size_t n) { begin_ += n; offset_ += n; }
  std::uint64_t offset() const { return offset_; }
  bool at_end() const { return at_end_; }
  // Closes the file; what is held stays.
  void close() { file_.close(); }

 private:
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::optional<IoError> read_more(std::size_t want, std::string_view& fresh);

  SourceFile file_;
  std::unique_ptr<char, Free> data_;
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0, end_ = 0;  // what is held
  std::uint64_t offset_ = 0;        // of the first byte held
  bool at_end_ = false;
  std::uint64_t size_ = 0;  // the file's size when opened, 0 when not known
};

}  // namespace screnc
