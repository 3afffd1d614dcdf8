#include "console_host.h"

#include "console_text.h"
#include "stop_signals.h"

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

std::string OneLine(const std::string& entry) {
  std::string line;
  line.reserve(entry.size() + 1);  // and the line end the caller adds
  for (std::size_t i = 0; i < entry.size(); ++i) {
    const char c = entry[i];
    if (IsControl(c)) {
      AppendEscaped(line, c);
    } else {
      line += c;
      if (c == '\\' && !kBackslashSeparates && i + 1 < entry.size() && StartsEscape(entry[i + 1])) line += '\\';
    }
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
