#pragma once
// The log box Text1: a read-only, selectable rich edit control. Entries are queued and
// drawn together at Flush; the view follows the log's end unless the user has scrolled
// up; failed entries are drawn in red, the summary in bold.

#include "encrypt_face.h"

#include <windows.h>

#include <string>
#include <vector>

class LogView {
public:
  LogView(HWND parent, int id);
  HWND window() const { return box_; }

  void Clear();
  void Append(const std::string& entry, EntryLook look);
  void MarkLastFailed();
  void Flush();
  // The whole text, lines joined by CR LF (tests read it through WM_GETTEXT as well).
  std::string Text() const;

private:
  struct Entry {
    std::wstring text;
    EntryLook look;
  };
  bool AtEnd() const;
  void Format(LONG from, LONG to, EntryLook look);

  HWND box_;
  std::vector<Entry> queued_;
  LONG lastStart_ = -1, lastEnd_ = -1;  // the last entry drawn, for MarkLastFailed
  bool empty_ = true;
};
