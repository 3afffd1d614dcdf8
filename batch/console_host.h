#pragma once
// The run's host on a console: log entries become lines on stdout, messages go to stderr,
// and a stop signal (stop_signals.h) is the Stop button. Each line is written as it is
// logged where a reader may take it as it comes (stdout a pipe or a terminal); into a file
// or the null device lines go in batches, at the latest 50 ms after they were logged while
// the run goes on (a write a line was a good part of a re-run that finds nothing to do),
// and all of them before a message, at a stop signal and at the end.

#include "run/run_host.h"

#include <chrono>
#include <cstdio>
#include <string>

class ConsoleHost : public RunHost {
public:
  ConsoleHost(std::filesystem::path source, std::filesystem::path destination,
              std::filesystem::path appDir, std::FILE* out = stdout, std::FILE* err = stderr);
  ~ConsoleHost() override;

  std::filesystem::path SourcePath() override { return source_; }
  std::filesystem::path DestinationPath() override { return destination_; }
  std::filesystem::path AppDir() override { return appDir_; }
  RunState& State() override { return state_; }
  void SetStopEnabled(bool) override {}
  void ClearLog() override {}
  void AppendLog(const std::string& entry) override;
  void RepaintLog() override {}
  void ScrollText(std::int16_t) override {}
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) override;
  void ProcessEvents() override;
  void WriteLogOut() override { Flush(); }
  // Writes the lines logged so far.
  void Flush();

private:
  void FlushWhenDue();

  std::filesystem::path source_, destination_, appDir_;
  std::FILE* out_;
  std::FILE* err_;
  RunState state_;
  bool stopNoticed_ = false;
  bool live_;             // each line written as it is logged
  std::string pending_;  // lines logged, not yet written
  std::chrono::steady_clock::time_point lastFlush_ = std::chrono::steady_clock::now();
};

// One entry, one line, that reads back as exactly one text: a control character in a
// name prints as an escape (`\n`, `\t`, `\r`, else `\x1b`, `\x7f`: two hex digits).
// Where `/` separates folders, a backslash that would read as the start of an escape (one
// before `n`, `t`, `r`, `x`, a backslash or a control character) is doubled; where `\`
// does (Windows), names hold neither control characters nor backslashes, so a path
// prints as it is. The report keeps every name's exact bytes.
std::string OneLine(const std::string& entry);
// The same, appended to `line`.
void AppendOneLine(std::string& line, const std::string& entry);
