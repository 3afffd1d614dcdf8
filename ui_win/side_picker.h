#pragma once
// One side of the main window: the drive list (Drive1/Drive2, a drop-down of the
// machine's drives with their labels and icons), the path field (txtPath1/txtPath2) and
// the folder list (Dir1/Dir2: the folders that lead to the listed one, it, and the
// folders inside it, with the shell's icons). It draws a SideView and reports the user's
// acts; the model decides what they mean.

#include "encrypt_face.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SideActs {
  std::function<void(const std::string& root)> driveChange;
  std::function<void(const std::string& text)> pathChange;
  std::function<void()> pathEnter;
  std::function<void(const std::string& folder)> choose;
  std::function<void(const std::string& folder)> open;
};

class SidePicker {
public:
  // `first` is the first of three control ids; `names`: drive list, path field, folder list.
  SidePicker(HWND parent, int first, const char* const names[3], SideActs acts);

  HWND drive() const { return drive_; }
  HWND field() const { return field_; }
  HWND list() const { return list_; }

  void Show(const SideView& view);
  void Enable(bool enabled);
  // WM_COMMAND and WM_NOTIFY of the parent that concern this side; true when handled.
  bool OnCommand(int id, int code);
  bool OnNotify(NMHDR* header);
  // Enter while the folder list has the focus opens the highlighted folder.
  bool OpenHighlighted();
  // Rebuilds the drive list (at start and when a drive comes or goes).
  void FillDrives();
  // The folder list's row height follows the font (after a DPI change).
  void FontChanged();
  // After the list's size changed.
  void FitColumn();

private:
  void FillList(const SideView& view);
  std::string RowFolder(int row) const;

  HWND drive_, field_, list_;
  int first_;
  SideActs acts_;
  std::vector<std::string> drives_;
  std::vector<std::string> rows_;  // the folder of each row; empty for the pending row
  std::string shownListed_, shownChosen_, shownPending_;
  bool filling_ = false;
};
