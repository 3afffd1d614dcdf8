#pragma once
// What the encoding run needs from the window (or console) it runs in. The run knows
// nothing else about its surroundings. Text is UTF-8.

#include <cstdint>
#include <filesystem>
#include <string>

struct RunState {
  bool Busy = false;              // a run is in progress
  bool StopRequested = false;     // set by Stop or a confirmed Exit; cleared at the end of every run
  std::int32_t FilesDone = 0;     // files processed in the current run, starting at 1
};

enum class MessageIcon { None, Information, Warning, Critical, Question };

class RunHost {
public:
  virtual ~RunHost() = default;

  // The two folders of the run (the current paths of Dir1 and Dir2). Read once, when a
  // run starts.
  virtual std::filesystem::path SourcePath() = 0;
  virtual std::filesystem::path DestinationPath() = 0;
  // The program's own directory, ending in the platform's separator.
  virtual std::filesystem::path AppDir() = 0;
  virtual RunState& State() = 0;

  virtual void SetStopEnabled(bool enabled) = 0;
  // Empties the log box.
  virtual void ClearLog() = 0;
  // Appends one entry: a carriage return and line feed, then `entry`. Costs time in
  // proportion to the entry, not to the log.
  virtual void AppendLog(const std::string& entry) = 0;
  // The entry appended last is a failure (a file or folder logged with its reason), for
  // a window that shows those apart. Called right after that AppendLog.
  virtual void MarkLastFailed() {}
  // Makes the log box repaint itself at once.
  virtual void RepaintLog() = 0;
  // Everything logged so far is out, before the run writes what may land beside it (a
  // report into the console's own output). A host that shows each entry as it comes has
  // nothing to do.
  virtual void WriteLogOut() {}
  // Scrolls the log box `lines` lines down from its first line.
  virtual void ScrollText(std::int16_t lines) = 0;
  virtual void ShowMessage(const std::string& text, MessageIcon icon, const std::string& title) = 0;
  // Lets pending window events run (Stop, menus, close). Called after every file, and
  // about every 50 ms while the encoder works on a file, so Stop and close are answered
  // within a file. A stop request raised while the encoder works lets that file finish
  // for up to 2 s more; then the encoder is ended and the file logged as stopped.
  virtual void ProcessEvents() = 0;
  // Progress: `done` files of `total`. The total is counted before the walk starts (the
  // count itself reports done = 0 as it grows); then called after every file. Shows
  // nothing by default.
  virtual void ShowProgress(long long done, long long total) { (void)done; (void)total; }
  // A file is handed out to be copied or encoded (its path as the log names it); it is
  // logged once done. A stop request lets the files handed out finish. Shows nothing by
  // default.
  virtual void FileBegun(const std::string& path) { (void)path; }
};
