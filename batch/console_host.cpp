#include "console_host.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int sig) {
  g_stopSignal = 1;
  std::signal(sig, SIG_DFL);  // the next one ends the program
}

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
      appDir_(std::move(appDir)), out_(out), err_(err) {
  sinceFlush_.start();
}

ConsoleHost::~ConsoleHost() { std::fflush(out_); }

void ConsoleHost::AppendLog(const QString& entry) {
  const QByteArray line = OneLine(entry);
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out_);
}

void ConsoleHost::ShowMessage(const QString& text, MessageIcon, const QString& title) {
  std::fflush(out_);
  const QByteArray line = (title + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit();
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), err_);
  std::fflush(err_);
}

void ConsoleHost::ProcessEvents() {
  // Lines reach a watching terminal several times a second, without a write per file.
  if (sinceFlush_.elapsed() >= 100) {
    std::fflush(out_);
    sinceFlush_.restart();
  }
  if (g_stopSignal && !stopNoticed_) {
    stopNoticed_ = true;
    state_.StopRequested = true;
    std::fputs("quillward-batch: stopping after the current file\n", err_);
  }
}

void ConsoleHost::InstallStopHandlers() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}
