// qw-probe: what the Wine tests of quillward.exe read from its windows, from outside the
// program, as an accessibility tool would. The input itself comes from real X events
// (xdotool); this only finds controls and reads them.
//
//   qw-probe rect NAME     screen rectangle "x y width height" of the control named NAME
//                          (its "Name" property) in any visible top-level window
//   qw-probe text NAME     the control's text (WM_GETTEXT: a status bar gives its first
//                          part, a rich edit its whole text), UTF-8
//   qw-probe enabled NAME  1 or 0
//   qw-probe title CLASS   the title of the visible top-level window of that class
//   qw-probe windows       every visible top-level window: class and title
//   qw-probe serve         reads such requests a line each ("text lblStatus") from stdin and
//                          answers each with its output, then "status N" on a line of its
//                          own: one Wine process for a whole test, not one per look
// Exit 1 when the control or window is not there.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring Text(HWND w) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000, &got);
  text.resize(got);
  return text;
}

std::wstring NameOf(HWND w) {
  const ATOM atom = static_cast<ATOM>(reinterpret_cast<INT_PTR>(GetPropW(w, L"Name")));
  wchar_t name[256] = L"";
  const UINT n = atom ? GlobalGetAtomNameW(atom, name, 256) : 0;
  return std::wstring(name, n);
}

struct Search {
  std::wstring name;
  HWND found = nullptr;
};

BOOL CALLBACK Child(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  if (NameOf(w) == s->name) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK Top(HWND w, LPARAM p) {
  if (!IsWindowVisible(w)) return TRUE;
  EnumChildWindows(w, Child, p);
  return reinterpret_cast<Search*>(p)->found ? FALSE : TRUE;
}

HWND Find(const wchar_t* name) {
  Search s{name};
  EnumWindows(Top, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

BOOL CALLBACK List(HWND w, LPARAM) {
  if (!IsWindowVisible(w)) return TRUE;
  wchar_t cls[256] = L"";
  GetClassNameW(w, cls, 256);
  std::printf("%s\t%s\n", Utf8(cls).c_str(), Utf8(Text(w)).c_str());
  return TRUE;
}

}  // namespace

int Answer(const std::wstring& what, const wchar_t* arg);

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

int Serve() {
  char line[4096];
  while (std::fgets(line, sizeof line, stdin)) {
    std::string request(line);
    while (!request.empty() && (request.back() == '\n' || request.back() == '\r')) request.pop_back();
    const size_t blank = request.find(' ');
    const std::wstring what = Wide(request.substr(0, blank));
    const std::wstring arg = blank == std::string::npos ? std::wstring() : Wide(request.substr(blank + 1));
    const int status = Answer(what, arg.c_str());
    std::printf("status %d\n", status);
    std::fflush(stdout);
  }
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  if (std::wstring(argv[1]) == L"serve") return Serve();
  return Answer(argv[1], argc > 2 ? argv[2] : nullptr);
}

int Answer(const std::wstring& what, const wchar_t* arg) {
  if (what == L"windows") {
    EnumWindows(List, 0);
    std::fflush(stdout);
    return 0;
  }
  if (!arg) return 2;
  if (what == L"title") {
    HWND w = FindWindowW(arg, nullptr);
    if (!w || !IsWindowVisible(w)) return 1;
    std::printf("%s\n", Utf8(Text(w)).c_str());
    return 0;
  }
  HWND control = Find(arg);
  if (!control) return 1;
  if (what == L"rect") {
    RECT r{};
    GetWindowRect(control, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  } else if (what == L"text") {
    std::printf("%s\n", Utf8(Text(control)).c_str());
  } else if (what == L"enabled") {
    std::printf("%d\n", IsWindowEnabled(control) ? 1 : 0);
  } else {
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
