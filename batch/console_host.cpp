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

ConsoleHost::~ConsoleHost() { std::fflush(out_); }

// Each line is on stdout as soon as it is done, whatever ends the program later. A
// write that fails (stdout closed) is dropped: the work goes on, the exit status tells.
void ConsoleHost::AppendLog(const std::string& entry) {
  WriteText(out_, OneLine(entry) + "\n");
  std::clearerr(out_);
}

void ConsoleHost::ShowMessage(const std::string& text, MessageIcon, const std::string& title) {
  std::fflush(out_);
  WriteText(err_, title + ": " + text + "\n");
}

void ConsoleHost::ProcessEvents() {
  if (StopSignalled() && !stopNoticed_) {
    stopNoticed_ = true;
    state_.StopRequested = true;
    WriteText(err_, "quillward-batch: stopping after the current file\n");
  }
}
