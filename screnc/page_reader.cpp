#include "page_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace screnc {

std::optional<IoError> PageReader::open(const std::string& path) {
  begin_ = end_ = 0;
  offset_ = 0;
  at_end_ = false;
  size_ = 0;
  return file_.open(path, size_);
}

std::optional<IoError> PageReader::read_more(std::size_t want, std::string_view& fresh) {
  // What is held moves to the front; the buffer grows only when that leaves too little room.
  const std::size_t kept = end_ - begin_;
  if (begin_ > 0) {
    if (kept > 0) std::memmove(data_.get(), data_.get() + begin_, kept);
    begin_ = 0;
    end_ = kept;
  }
  if (capacity_ - end_ < want) {
    const std::size_t grown = std::max(capacity_ * 2, end_ + want);
    char* p = static_cast<char*>(std::realloc(data_.get(), grown));
    if (!p) throw std::bad_alloc();
    data_.release();
    data_.reset(p);
    capacity_ = grown;
  }
  const std::size_t from = end_;
  while (end_ - from < want) {
    std::size_t got = 0;
    if (auto err = file_.read(data_.get() + end_, capacity_ - end_, got)) return err;
    if (got == 0) {
      at_end_ = true;
      break;
    }
    end_ += got;
  }
  fresh = std::string_view(data_.get() + from, end_ - from);
  return std::nullopt;
}

std::optional<IoError> PageReader::fill(std::string_view& fresh) {
  if (at_end_) {
    fresh = {};
    return std::nullopt;
  }
  std::size_t want = std::max(kPiece, end_ - begin_);
  // One byte more than the file, so that the first read that finds its end needs no room.
  if (offset_ == 0 && end_ == 0 && size_ > 0 && size_ < want) want = static_cast<std::size_t>(size_) + 1;
  return read_more(want, fresh);
}

std::optional<IoError> PageReader::fill_all() {
  std::string_view fresh;
  while (!at_end_)
    if (auto err = fill(fresh)) return err;
  return std::nullopt;
}

}  // namespace screnc
