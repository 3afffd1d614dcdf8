#include "log_view.h"

#include "win_util.h"

#include <richedit.h>

namespace {

const wchar_t* RichEditClass() {
  // Rich edit 4.1 where it is; the older 2.0 class otherwise.
  static const wchar_t* name = LoadLibraryW(L"msftedit.dll") ? MSFTEDIT_CLASS
                               : LoadLibraryW(L"riched20.dll") ? RICHEDIT_CLASSW
                                                               : L"EDIT";
  return name;
}

// The length in the control's own positions (a line break counts one).
LONG TextLength(HWND box) {
  GETTEXTLENGTHEX how{GTL_NUMCHARS | GTL_PRECISE, 1200};
  return static_cast<LONG>(SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
}

}  // namespace

LogView::LogView(HWND parent, int id) {
  box_ = MakeControl(parent, RichEditClass(), "",
                     WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_NOHIDESEL, id,
                     "Text1", WS_EX_CLIENTEDGE);
  SendMessageW(box_, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
  SendMessageW(box_, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
}

void LogView::Clear() {
  queued_.clear();
  SetWindowTextW(box_, L"");
  lastStart_ = lastEnd_ = -1;
  empty_ = true;
}

void LogView::Append(const std::string& entry, EntryLook look) { queued_.push_back({Wide(entry), look}); }

void LogView::MarkLastFailed() {
  if (!queued_.empty()) {
    if (queued_.back().look == EntryLook::Plain) queued_.back().look = EntryLook::Failed;
  } else if (lastStart_ >= 0) {
    Format(lastStart_, lastEnd_, EntryLook::Failed);
  }
}

// Whether the view shows the last line: then new entries keep it there.
bool LogView::AtEnd() const {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(box_, SB_VERT, &info) || info.nMax <= 0) return true;
  return info.nPos + static_cast<int>(info.nPage) >= info.nMax - 1 || info.nPage == 0;
}

void LogView::Format(LONG from, LONG to, EntryLook look) {
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR | CFM_BOLD;
  const bool failed = look == EntryLook::Failed || look == EntryLook::FailedSummary;
  const bool bold = look == EntryLook::Summary || look == EntryLook::FailedSummary;
  format.dwEffects = (failed ? 0 : CFE_AUTOCOLOR) | (bold ? CFE_BOLD : 0);
  format.crTextColor = RGB(0xC0, 0, 0);
  CHARRANGE range{from, to};
  SendMessageW(box_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  SendMessageW(box_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void LogView::Flush() {
  if (queued_.empty()) return;
  const bool follow = AtEnd();
  CHARRANGE selection{};
  SendMessageW(box_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const POINT scroll = [&] {
    POINT p{};
    SendMessageW(box_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&p));
    return p;
  }();
  SendMessageW(box_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(box_, EM_HIDESELECTION, TRUE, 0);
  for (const Entry& e : queued_) {
    const LONG start = TextLength(box_);
    CHARRANGE end{start, start};
    SendMessageW(box_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    const std::wstring text = (empty_ ? L"" : L"\r\n") + e.text;
    empty_ = false;
    SendMessageW(box_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    lastEnd_ = TextLength(box_);
    lastStart_ = lastEnd_ - static_cast<LONG>(e.text.size());
    Format(lastStart_, lastEnd_, e.look);
  }
  queued_.clear();
  SendMessageW(box_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  SendMessageW(box_, EM_HIDESELECTION, FALSE, 0);
  SendMessageW(box_, WM_SETREDRAW, TRUE, 0);
  if (follow) {
    SendMessageW(box_, WM_VSCROLL, SB_BOTTOM, 0);
  } else {
    SendMessageW(box_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  }
  InvalidateRect(box_, nullptr, TRUE);
}

std::string LogView::Text() const { return WindowText(box_); }
