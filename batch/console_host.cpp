#include "console_host.h"

#include "console_text.h"
#include "stop_signals.h"

std::string OneLine(const std::string& entry) {
  std::string line = entry;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return line;
}

ConsoleHost::ConsoleHost(std::filesystem::path source, std::filesystem::path destination,
                         std::filesystem::path appDir, std::FILE* out, std::FILE* err)
    : source_(std::move(source)), destination_(std::move(destination)),
      appDir_(std::move(appDir)), out_(out), err_(err) {}

namespace {
constexpr auto kWriteEvery = std::chrono::milliseconds(50);
constexpr std::size_t kWriteAtSize = 64 * 1024;
}  // namespace

ConsoleHost::~ConsoleHost() { Flush(); }

// A write that fails (stdout closed) is dropped: the work goes on, the exit status tells.
void ConsoleHost::Flush() {
  lastWrite_ = std::chrono::steady_clock::now();
  if (unwritten_.empty()) return;
  WriteText(out_, unwritten_);
  std::clearerr(out_);
  unwritten_.clear();
}

void ConsoleHost::AppendLog(const std::string& entry) {
  unwritten_ += OneLine(entry);
  unwritten_ += '\n';
  if (unwritten_.size() >= kWriteAtSize || std::chrono::steady_clock::now() - lastWrite_ >= kWriteEvery) Flush();
}

void ConsoleHost::ShowMessage(const std::string& text, MessageIcon, const std::string& title) {
  Flush();
  WriteText(err_, title + ": " + text + "\n");
}

// Called after every file and every 50 ms while the encoder works: lines of a file that
// takes long are not held back.
void ConsoleHost::ProcessEvents() {
  if (!unwritten_.empty() && std::chrono::steady_clock::now() - lastWrite_ >= kWriteEvery) Flush();
  if (StopSignalled() && !stopNoticed_) {
    stopNoticed_ = true;
    state_.StopRequested = true;
    WriteText(err_, "quillward-batch: stopping after the current file\n");
  }
}
