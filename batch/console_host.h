#pragma once
// The run's host on a console: log entries become lines on stdout, messages go to stderr,
// and a stop signal (stop_signals.h) is the Stop button. Lines reach stdout at most 50 ms
// after they are logged (a run that goes fast writes them in batches, one write for many),
// and all of them before the program ends or a message is shown.

#include "run_host.h"

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
  // Writes the lines not written yet.
  void Flush();

private:
  std::filesystem::path source_, destination_, appDir_;
  std::FILE* out_;
  std::FILE* err_;
  RunState state_;
  bool stopNoticed_ = false;
  std::string unwritten_;  // lines logged but not yet on stdout
  std::chrono::steady_clock::time_point lastWrite_ = std::chrono::steady_clock::now();
};

// One entry, one line: control characters in a file name (a newline, say) print as "?".
std::string OneLine(const std::string& entry);
