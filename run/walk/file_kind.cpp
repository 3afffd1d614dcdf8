#include "run/walk/file_kind.h"

#include "run/settings/settings_keys.h"
#include "run/util/text.h"

#include <algorithm>

namespace {

bool IsSeparator(char32_t c) { return IsSpace(c) || c == ',' || c == ';'; }

bool Listed(const std::vector<std::string>& list, const std::string& entry) {
  return std::find(list.begin(), list.end(), entry) != list.end();
}

}  // namespace

std::vector<std::string> ListedExtensions(const std::string& aspExtensions) {
  std::vector<std::string> out;
  std::string entry;
  const auto flush = [&] {
    std::string_view e = entry;
    if (e.starts_with('*')) e.remove_prefix(1);
    if (e.starts_with('.')) e.remove_prefix(1);
    if (!e.empty() && !Listed(out, FoldCase(e))) out.push_back(FoldCase(e));
    entry.clear();
  };
  for (std::size_t i = 0; i < aspExtensions.size();) {
    char32_t cp;
    std::size_t n;
    if (!DecodeUtf8(aspExtensions, i, cp, n)) cp = kReplacementCharacter, n = 1;
    if (IsSeparator(cp)) flush();
    else entry.append(aspExtensions, i, n);
    i += n;
  }
  flush();
  return out;
}

std::string LastExtension(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? std::string() : FoldCase(fileName.substr(dot + 1));
}

std::string TableTypeDescription(const std::string& ext) {
  if (ext.empty()) return "File";
  if (ext == "asp") return "Active Server Page";
  if (ext == "htm" || ext == "html") return "HTML Document";
  if (ext == "js") return "JScript Script File";
  if (ext == "vbs") return "VBScript Script File";
  return AsciiUpper(ext) + " File";
}

bool IsScriptTypeName(const std::string& type) {
  return type == "JScript Script File" || type == "VBScript Script file" || type == "VBScript Script File" ||
         type == "HTML Document" || type == "Active Server Page" || type == "ASP File";
}

bool IsScriptExtension(const std::string& ext) {
  return ext == "asp" || ext == "asa" || ext == "htm" || ext == "html" || ext == "js" || ext == "vbs" || ext == "inc";
}

FileKind ClassifyFile(const std::string& type, const std::string& fileName, const RunSettings& s) {
  if (type == "File") return FileKind::Copy;
  if (type == "JScript Script File" && s.EncodeJs) return FileKind::EncodePlain;
  if ((type == "VBScript Script file" || type == "VBScript Script File") && s.EncodeVbs) {
    return FileKind::EncodePlain;
  }
  if (type == "HTML Document" && s.EncodeHtml) return FileKind::EncodeHtml;
  const std::string ext = LastExtension(fileName);
  if (s.EncodeAsp && ext == "asa") return FileKind::EncodeAspByExtension;
  if ((type == "Active Server Page" || type == "ASP File") && s.EncodeAsp) return FileKind::EncodeAspPage;
  if (!ext.empty() && Listed(ListedExtensions(s.AspExtensions), ext)) return FileKind::EncodeAspByExtension;
  return FileKind::Copy;
}

std::string ScriptOptionOff(const std::string& fileName, const RunSettings& s) {
  const std::string ext = LastExtension(fileName);
  namespace key = setting_keys;
  if (ext == "asp" || ext == "asa") return s.EncodeAsp ? "" : key::kEncodeAsp;
  if (ext == "htm" || ext == "html") return s.EncodeHtml ? "" : key::kEncodeHtml;
  if (ext == "js") return s.EncodeJs ? "" : key::kEncodeJs;
  if (ext == "vbs") return s.EncodeVbs ? "" : key::kEncodeVbs;
  if (ext == "inc") return key::kAspExtensions;
  return "";
}
