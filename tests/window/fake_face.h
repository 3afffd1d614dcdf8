#pragma once
// A face that draws nothing: it records what the model shows and asks, answers message
// boxes from a queue (else with their cancel button), and runs a test's action at each
// PumpEvents until it says it is done (a person pressing Stop during a run).

#include "encrypt_face.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class FakeFace : public EncryptFace {
public:
  struct LogLine {
    std::string text;
    EntryLook look;
  };

  void ShowSide(Side side, const SideView& view) override { sides[side] = view; }
  void ShowControls(const ControlsView& view) override {
    controls = view;
    controlHistory.push_back(view);
  }
  void ShowTitle(const std::string& t) override { title = t; }
  void ShowStatus(const std::string& text, StatusLook look) override {
    status = text;
    statusLook = look;
    statusHistory.push_back(text);
  }
  void ShowProgress(const ProgressView& view) override { progress = view; }
  void ClearLog() override { log.clear(); }
  void AppendLog(const std::string& entry, EntryLook look) override { log.push_back({entry, look}); }
  void MarkLastFailed() override {
    if (!log.empty()) log.back().look = EntryLook::Failed;
  }
  void FlushLog() override {}
  int Ask(const MessageSpec& message) override {
    asked.push_back(message);
    if (answers.empty()) return message.cancel;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void PumpEvents() override {
    ++pumps;
    if (onPump && onPump()) onPump = nullptr;
  }
  bool UserIsAway() override { return away; }
  void Notify(const std::string& summary, const std::string& body) override { notices.push_back(summary + "|" + body); }
  void FocusStart() override { ++focusStart; }
  void OpenOptions() override { ++optionsOpened; }
  void OpenAbout() override { ++aboutOpened; }
  bool OpenDocument(const std::string& url) override {
    opened.push_back(url);
    return openWorks;
  }
  void CloseWindow() override { ++closed; }

  std::string LogText() const {
    std::string text;
    for (const LogLine& l : log) text += l.text + "\n";
    return text;
  }

  std::map<Side, SideView> sides;
  ControlsView controls;
  std::vector<ControlsView> controlHistory;
  std::string title, status;
  StatusLook statusLook = StatusLook::Plain;
  std::vector<std::string> statusHistory;
  ProgressView progress;
  std::vector<LogLine> log;
  std::vector<MessageSpec> asked;
  std::deque<int> answers;
  std::function<bool()> onPump;  // true: done, not called again
  int pumps = 0;
  bool away = false;
  std::vector<std::string> notices;
  int focusStart = 0, optionsOpened = 0, aboutOpened = 0, closed = 0;
  std::vector<std::string> opened;
  bool openWorks = true;
};
