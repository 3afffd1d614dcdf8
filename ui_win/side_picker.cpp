#include "side_picker.h"

#include "folder_paths.h"
#include "win_util.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

HIMAGELIST SystemSmallIcons() {
  SHFILEINFOW info{};
  return reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

// The shell's icon of a folder or drive, without touching a drive that may have no medium.
int IconOf(const std::wstring& path, bool folder) {
  SHFILEINFOW info{};
  const DWORD attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : 0;
  UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
  if (folder) flags |= SHGFI_USEFILEATTRIBUTES;
  if (!SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info, flags)) return 0;
  return info.iIcon;
}

// "C: Local Disk" for drives that answer at once; removable drives show the letter and
// their kind only, so a drive without a medium is not woken.
std::wstring DriveCaption(const std::wstring& root) {
  std::wstring caption = root.substr(0, 2);
  const UINT type = GetDriveTypeW(root.c_str());
  wchar_t label[MAX_PATH + 1] = L"";
  if (type == DRIVE_FIXED || type == DRIVE_REMOTE || type == DRIVE_RAMDISK) {
    const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) label[0] = 0;
    SetErrorMode(old);
  }
  if (label[0]) return caption + L" [" + label + L"]";
  switch (type) {
    case DRIVE_REMOVABLE: return caption + L" (removable)";
    case DRIVE_CDROM: return caption + L" (CD/DVD)";
    case DRIVE_REMOTE: return caption + L" (network)";
    default: return caption;
  }
}

}  // namespace

SidePicker::SidePicker(HWND parent, int first, const char* const names[3], SideActs acts)
    : first_(first), acts_(std::move(acts)) {
  drive_ = MakeControl(parent, WC_COMBOBOXEXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, first, names[0]);
  SendMessageW(drive_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(SystemSmallIcons()));
  field_ = MakeControl(parent, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, first + 1, names[1], WS_EX_CLIENTEDGE);
  list_ = MakeControl(parent, WC_LISTVIEWW, "",
                      WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                          LVS_SHAREIMAGELISTS,
                      first + 2, names[2], WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  ListView_SetImageList(list_, SystemSmallIcons(), LVSIL_SMALL);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 4000;
  ListView_InsertColumn(list_, 0, &column);
  FillDrives();
}

void SidePicker::FillDrives() {
  filling_ = true;
  SendMessageW(drive_, CB_RESETCONTENT, 0, 0);
  drives_.clear();
  wchar_t buffer[512];
  const DWORD length = GetLogicalDriveStringsW(511, buffer);
  for (const wchar_t* root = buffer; length && length < 512 && *root; root += wcslen(root) + 1) {
    std::wstring caption = DriveCaption(root);
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
    item.iItem = -1;
    item.pszText = caption.data();
    item.iImage = item.iSelectedImage = IconOf(root, false);
    SendMessageW(drive_, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    drives_.push_back(Utf8(root));
  }
  filling_ = false;
}

void SidePicker::Show(const SideView& view) {
  filling_ = true;
  SetWindowTextIfChanged(field_, view.field);
  for (size_t i = 0; i < drives_.size(); ++i) {
    if (CompareStringOrdinal(Wide(drives_[i]).c_str(), -1, Wide(view.drive).c_str(), -1, TRUE) == CSTR_EQUAL) {
      if (SendMessageW(drive_, CB_GETCURSEL, 0, 0) != static_cast<LRESULT>(i)) SendMessageW(drive_, CB_SETCURSEL, i, 0);
    }
  }
  const std::string pending = view.pending ? view.pendingCaption : std::string();
  if (view.listed != shownListed_ || pending != shownPending_) {
    FillList(view);
  } else if (view.chosen != shownChosen_) {
    // Only the highlight moves (a folder chosen by a click or an arrow key).
    for (size_t row = 0; row < rows_.size(); ++row) {
      if (rows_[row] == view.chosen) {
        ListView_SetItemState(list_, static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list_, static_cast<int>(row), FALSE);
      }
    }
    shownChosen_ = view.chosen;
  }
  filling_ = false;
}

// The rows: the folders from the root down to the listed one, each a step further in,
// then the folders inside it a step further still, and a folder still to be made (or
// not found) as an extra row under the listed one. The chosen folder is highlighted.
void SidePicker::FillList(const SideView& view) {
  const FolderListing listing = ListFolder(view.listed);
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list_);
  rows_.clear();
  int selected = -1;
  auto add = [&](const std::string& folder, const std::string& caption, int indent) {
    std::wstring text = Wide(caption);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT;
    item.iItem = static_cast<int>(rows_.size());
    item.pszText = text.data();
    item.iImage = IconOf(Wide(folder.empty() ? view.listed : folder), indent > 0);
    item.iIndent = indent;
    ListView_InsertItem(list_, &item);
    if (!folder.empty() && folder == view.chosen && !view.pending) selected = item.iItem;
    rows_.push_back(folder);
  };
  int depth = 0;
  for (const std::string& ancestor : listing.ancestors) add(ancestor, FolderName(ancestor), depth++);
  if (view.pending) {
    add("", view.pendingCaption, depth);
    selected = static_cast<int>(rows_.size()) - 1;
  }
  for (const std::string& child : listing.children) add(child, FolderName(child), depth);
  if (selected >= 0) {
    ListView_SetItemState(list_, selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, selected, FALSE);
  }
  FitColumn();
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  shownListed_ = view.listed;
  shownChosen_ = view.chosen;
  shownPending_ = view.pending ? view.pendingCaption : std::string();
}

// The one column as wide as the list, or as its widest row when that is wider.
void SidePicker::FitColumn() {
  ListView_SetColumnWidth(list_, 0, LVSCW_AUTOSIZE);
  RECT client{};
  GetClientRect(list_, &client);
  if (ListView_GetColumnWidth(list_, 0) < client.right) ListView_SetColumnWidth(list_, 0, client.right);
}

void SidePicker::Enable(bool enabled) {
  for (HWND w : {drive_, field_, list_}) EnableWindow(w, enabled);
}

std::string SidePicker::RowFolder(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)] : std::string();
}

bool SidePicker::OnCommand(int id, int code) {
  if (id == first_ && code == CBN_SELENDOK) {
    const LRESULT i = SendMessageW(drive_, CB_GETCURSEL, 0, 0);
    if (!filling_ && i >= 0 && i < static_cast<LRESULT>(drives_.size())) acts_.driveChange(drives_[static_cast<size_t>(i)]);
    return true;
  }
  if (id == first_ + 1 && code == EN_CHANGE) {
    if (!filling_) acts_.pathChange(WindowText(field_));
    return true;
  }
  return false;
}

bool SidePicker::OnNotify(NMHDR* header) {
  if (header->hwndFrom != list_ || filling_) return false;
  if (header->code == LVN_ITEMCHANGED) {
    auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) {
      const std::string folder = RowFolder(change->iItem);
      if (!folder.empty() && folder != shownChosen_) acts_.choose(folder);
    }
    return true;
  }
  if (header->code == NM_DBLCLK) {
    const std::string folder = RowFolder(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
    if (!folder.empty()) acts_.open(folder);
    return true;
  }
  return false;
}

bool SidePicker::OpenHighlighted() {
  const std::string folder = RowFolder(ListView_GetNextItem(list_, -1, LVNI_SELECTED));
  if (!folder.empty()) acts_.open(folder);
  return !folder.empty();
}

void SidePicker::FontChanged() {
  // A list view measures its rows when its image list is set: set it again.
  ListView_SetImageList(list_, SystemSmallIcons(), LVSIL_SMALL);
}
