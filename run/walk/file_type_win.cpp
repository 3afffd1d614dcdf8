// Type names from the Windows shell, as Explorer shows them. For the extensions of
// script files the shell's name counts only when it is one the classification knows:
// a fresh system, or Wine without a web server, has no registration for .asp, and a
// browser may have named .htm its own way; neither may let a page out unencoded.
#include "run/walk/file_kind.h"

#include "run/util/text.h"

#include <windows.h>
#include <shlwapi.h>

namespace {

// The shell's friendly name for the extension ".<ext>", or an empty text.
std::string ShellTypeName(const std::string& ext) {
  const std::wstring dotted = L"." + WideFromUtf8(ext);
  wchar_t name[260];
  DWORD size = sizeof name / sizeof name[0];
  const HRESULT hr = AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN | ASSOCF_NOTRUNCATE, ASSOCSTR_FRIENDLYDOCNAME,
                                       dotted.c_str(), nullptr, name, &size);
  return SUCCEEDED(hr) ? Utf8FromWide(name) : std::string();
}

}  // namespace

std::string TypeDescription(const std::string& fileName) {
  const std::string ext = LastExtension(fileName);
  if (ext.empty()) return "File";
  const std::string shell = ShellTypeName(ext);
  if (IsScriptExtension(ext) && !IsScriptTypeName(shell)) return TableTypeDescription(ext);
  return shell.empty() ? TableTypeDescription(ext) : shell;
}
