#include "console_host.h"

#include "stop_signals.h"

namespace {

// One entry, one line: control characters in a file name (a newline, say) print as "?".
QByteArray OneLine(const QString& entry) {
  QString line = entry;
  for (QChar& c : line) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char('?');
  }
  QByteArray bytes = line.toLocal8Bit();
  bytes += '\n';
  return bytes;
}

}  // namespace

ConsoleHost::ConsoleHost(std::filesystem::path source, std::filesystem::path destination,
                         QString appDir, std::FILE* out, std::FILE* err)
    : source_(std::move(source)), destination_(std::move(destination)),
      appDir_(std::move(appDir)), out_(out), err_(err) {}

ConsoleHost::~ConsoleHost() { std::fflush(out_); }

// Each line is on stdout as soon as it is done, whatever ends the program later. A
// write that fails (stdout closed) is dropped: the work goes on, the exit status tells.
void ConsoleHost::AppendLog(const QString& entry) {
  const QByteArray line = OneLine(entry);
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out_);
  std::fflush(out_);
  std::clearerr(out_);
}

void ConsoleHost::ShowMessage(const QString& text, MessageIcon, const QString& title) {
  std::fflush(out_);
  const QByteArray line = (title + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit();
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), err_);
  std::fflush(err_);
}

void ConsoleHost::ProcessEvents() {
  if (StopSignalled() && !stopNoticed_) {
    stopNoticed_ = true;
    state_.StopRequested = true;
    std::fputs("quillward-batch: stopping after the current file\n", err_);
    std::fflush(err_);
  }
}
