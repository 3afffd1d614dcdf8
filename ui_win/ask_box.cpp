#include "ask_box.h"

#include "win_util.h"

#include <commctrl.h>

#include <vector>

namespace {

UINT IconFlags(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Warning: return MB_ICONWARNING;
    case MessageIcon::Critical: return MB_ICONERROR;
    case MessageIcon::Question: return MB_ICONQUESTION;
    case MessageIcon::None: break;
  }
  return 0;
}

PCWSTR TaskIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return TD_INFORMATION_ICON;
    case MessageIcon::Warning: return TD_WARNING_ICON;
    case MessageIcon::Critical: return TD_ERROR_ICON;
    case MessageIcon::Question: return MAKEINTRESOURCEW(32514);  // IDI_QUESTION
    case MessageIcon::None: break;
  }
  return nullptr;
}

// The system's box for the button sets it knows: the answers it gives, in caption order.
bool StandardSet(const std::vector<std::string>& buttons, UINT& type, std::vector<int>& answers) {
  if (buttons == std::vector<std::string>{"OK"}) {
    type = MB_OK;
    answers = {IDOK};
  } else if (buttons == std::vector<std::string>{"&Yes", "&No"}) {
    type = MB_YESNO;
    answers = {IDYES, IDNO};
  } else if (buttons == std::vector<std::string>{"OK", "Cancel"}) {
    type = MB_OKCANCEL;
    answers = {IDOK, IDCANCEL};
  } else {
    return false;
  }
  return true;
}

int SystemBox(HWND owner, const MessageSpec& m, UINT type, const std::vector<int>& answers) {
  type |= IconFlags(m.icon);
  if (m.defaultButton == 1) type |= MB_DEFBUTTON2;
  std::string text = m.text;
  if (!m.detail.empty()) text += "\n\n" + m.detail;
  const int got = MessageBoxW(owner, Wide(text).c_str(), Wide(m.title).c_str(), type | MB_APPLMODAL);
  for (size_t i = 0; i < answers.size(); ++i) {
    if (answers[i] == got) return static_cast<int>(i);
  }
  return m.cancel;
}

int TaskBox(HWND owner, const MessageSpec& m) {
  constexpr int kFirstId = 100;
  std::vector<std::wstring> captions;
  for (const std::string& b : m.buttons) captions.push_back(Wide(b));
  std::vector<TASKDIALOG_BUTTON> buttons;
  for (size_t i = 0; i < captions.size(); ++i) buttons.push_back({kFirstId + static_cast<int>(i), captions[i].c_str()});
  const std::wstring title = Wide(m.title), text = Wide(m.text), detail = Wide(m.detail);
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = title.c_str();
  config.pszMainIcon = TaskIcon(m.icon);
  config.pszMainInstruction = text.c_str();
  config.pszContent = detail.empty() ? nullptr : detail.c_str();
  config.cButtons = static_cast<UINT>(buttons.size());
  config.pButtons = buttons.data();
  config.nDefaultButton = kFirstId + m.defaultButton;
  int pressed = 0;
  if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
    // No task dialogs (an old comctl32): the question in words, answered with the
    // first and last of the captions as Yes and No.
    std::string question = m.text + "\n\nYes: " + m.buttons.front() + "    No: " + m.buttons.back();
    for (char& c : question) c = c == '&' ? ' ' : c;
    const int got = MessageBoxW(owner, Wide(question).c_str(), title.c_str(), MB_YESNO | IconFlags(m.icon));
    return got == IDYES ? 0 : static_cast<int>(m.buttons.size()) - 1;
  }
  if (pressed >= kFirstId && pressed < kFirstId + static_cast<int>(buttons.size())) return pressed - kFirstId;
  return m.cancel;
}

}  // namespace

int AskBox(HWND owner, const MessageSpec& message) {
  HWND focus = GetFocus();
  UINT type = 0;
  std::vector<int> answers;
  const int answer = StandardSet(message.buttons, type, answers) ? SystemBox(owner, message, type, answers)
                                                                 : TaskBox(owner, message);
  if (focus && IsWindow(focus) && IsWindowEnabled(focus)) SetFocus(focus);
  return answer;
}
