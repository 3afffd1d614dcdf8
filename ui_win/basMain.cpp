// quillward.exe [SOURCE [DESTINATION]]: the splash, then the main window, until it closes.
#include "about_window.h"
#include "main_window.h"
#include "event_pump.h"
#include "run/settings/settings_store.h"
#include "win_util.h"
#include "window_texts.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// The program's own folder, ending in a backslash.
std::wstring ProgramFolder() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".\\") : path.substr(0, slash + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::string source, destination;
  if (argv && argc > 1) source = Utf8(argv[1]);
  if (argv && argc > 2) destination = Utf8(argv[2]);
  if (argv) LocalFree(argv);

  std::unique_ptr<SettingsStore> store = OpenUserSettings(kAppTitle);
  ShowSplash();
  int status = 1;
  {
    frmEncrypt window(*store, ProgramFolder());
    if (window.Create(source, destination)) {
      status = RunMessageLoop();
    } else {
      MessageBoxW(nullptr, L"The window cannot be made.", Wide(kAppTitle).c_str(), MB_ICONERROR);
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
