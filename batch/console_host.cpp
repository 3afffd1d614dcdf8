#include "console_host.h"

#include "console_text.h"
#include "stop_signals.h"

#include <algorithm>

namespace {

constexpr bool kBackslashSeparates = std::filesystem::path::preferred_separator == L'\\';

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

void AppendEscaped(std::string& line, char c) {
  static const char hex[] = "0123456789abcdef";
  switch (c) {
    case '\n': line += "\\n"; break;
    case '\t': line += "\\t"; break;
    case '\r': line += "\\r"; break;
    default:
      line += "\\x";
      line += hex[static_cast<unsigned char>(c) >> 4];
      line += hex[static_cast<unsigned char>(c) & 0xF];
  }
}

// Whether a backslash before `next` would be read as the start of an escape.
bool StartsEscape(char next) {
  return next == 'n' || next == 't' || next == 'r' || next == 'x' || next == '\\' || IsControl(next);
}

}  // namespace

void AppendOneLine(std::string& line, const std::string& entry) {
  // Most entries need no escape: taken whole.
  const bool plain = std::none_of(entry.begin(), entry.end(), [](char c) { return IsControl(c) || c == '\\'; });
  if (plain) {
    line += entry;
    return;
  }
  for (std::size_t i = 0; i < entry.size(); ++i) {
    const char c = entry[i];
    if (IsControl(c)) {
      AppendEscaped(line, c);
    } else {
      line += c;
      if (c == '\\' && !kBackslashSeparates && i + 1 < entry.size() && StartsEscape(entry[i + 1])) line += '\\';
    }
  }
}

std::string OneLine(const std::string& entry) {
  std::string line;
  line.reserve(entry.size() + 1);  // and the line end the caller adds
  AppendOneLine(line, entry);
  return line;
}

ConsoleHost::ConsoleHost(std::filesystem::path source, std::filesystem::path destination,
                         std::filesystem::path appDir, std::FILE* out, std::FILE* err)
    : source_(std::move(source)), destination_(std::move(destination)),
      appDir_(std::move(appDir)), out_(out), err_(err), live_(ReadAsWritten(out)) {}

namespace {
constexpr auto kFlushEvery = std::chrono::milliseconds(50);
constexpr std::size_t kFlushAt = 64 * 1024;
}  // namespace

ConsoleHost::~ConsoleHost() { Flush(); }

// A write that fails (stdout closed) is dropped: the work goes on, the exit status tells.
void ConsoleHost::Flush() {
  lastFlush_ = std::chrono::steady_clock::now();
  if (pending_.empty()) return;
  WriteText(out_, pending_);
  std::clearerr(out_);
  pending_.clear();
}

void ConsoleHost::FlushWhenDue() {
  if (pending_.empty()) return;
  if (live_ || pending_.size() >= kFlushAt || std::chrono::steady_clock::now() - lastFlush_ >= kFlushEvery) Flush();
}

void ConsoleHost::AppendLog(const std::string& entry) {
  AppendOneLine(pending_, entry);
  pending_ += '\n';
  FlushWhenDue();
}

void ConsoleHost::ShowMessage(const std::string& text, MessageIcon, const std::string& title) {
  Flush();
  WriteText(err_, title + ": " + text + "\n");
}

// Called after each file and while the run waits on one: lines logged before a long
// wait are out within the flush interval.
void ConsoleHost::ProcessEvents() {
  FlushWhenDue();
  if (StopSignalled() && !stopNoticed_) {
    Flush();
    stopNoticed_ = true;
    state_.StopRequested = true;
    WriteText(err_, "quillward-batch: stopping after the current file\n");
  }
}
