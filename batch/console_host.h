#pragma once
// The run's host on a console: log entries become lines on stdout, messages go to stderr,
// and a stop signal (stop_signals.h) is the Stop button.

#include "run_host.h"

#include <cstdio>

class ConsoleHost : public RunHost {
public:
  ConsoleHost(std::filesystem::path source, std::filesystem::path destination, QString appDir,
              std::FILE* out = stdout, std::FILE* err = stderr);
  ~ConsoleHost() override;

  std::filesystem::path SourcePath() override { return source_; }
  std::filesystem::path DestinationPath() override { return destination_; }
  QString AppDir() override { return appDir_; }
  RunState& State() override { return state_; }
  void SetStopEnabled(bool) override {}
  void ClearLog() override {}
  void AppendLog(const QString& entry) override;
  void RepaintLog() override {}
  void ScrollText(qint16) override {}
  void ShowMessage(const QString& text, MessageIcon icon, const QString& title) override;
  void ProcessEvents() override;

private:
  std::filesystem::path source_, destination_;
  QString appDir_;
  std::FILE* out_;
  std::FILE* err_;
  RunState state_;
  bool stopNoticed_ = false;
};
