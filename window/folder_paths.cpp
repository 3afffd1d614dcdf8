#include "folder_paths.h"

#include "environment.h"
#include "run/util/native_path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char kSeparator = static_cast<char>(fs::path::preferred_separator);

std::string Trimmed(const std::string& text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "file:///a%20b" as "/a b"; "file://host/share" as a UNC path.
std::string PathOfFileUrl(const std::string& url) {
  std::string rest = url.substr(5);
  if (rest.rfind("//", 0) == 0) {
    rest = rest.substr(2);
    const size_t slash = rest.find('/');
    const std::string host = slash == std::string::npos ? rest : rest.substr(0, slash);
    rest = slash == std::string::npos ? "/" : rest.substr(slash);
    if (!host.empty() && host != "localhost") rest = "//" + host + rest;
  }
  std::string out;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() + 0 && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      out += rest[i];
    }
  }
  // "/C:/site" is a drive path.
  if (out.size() >= 3 && out[0] == '/' && std::isalpha(static_cast<unsigned char>(out[1])) && out[2] == ':') {
    out = out.substr(1);
  }
  return out;
}

bool NameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// %NAME% (Windows) or $NAME and ${NAME} (elsewhere) replaced by their values; a name
// that is not set stays as written.
std::string ExpandVariables(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (PercentVariables() && text[i] == '%') {
      const size_t end = text.find('%', i + 1);
      if (end != std::string::npos && end > i + 1) {
        const std::string value = EnvironmentValue(text.substr(i + 1, end - i - 1));
        if (!value.empty()) {
          out += value;
          i = end;
          continue;
        }
      }
    } else if (!PercentVariables() && text[i] == '$' && i + 1 < text.size()) {
      size_t begin = i + 1, end = begin;
      const bool braced = text[begin] == '{';
      if (braced) {
        end = text.find('}', begin);
        if (end != std::string::npos) {
          const std::string value = EnvironmentValue(text.substr(begin + 1, end - begin - 1));
          if (!value.empty()) {
            out += value;
            i = end;
            continue;
          }
        }
      } else {
        while (end < text.size() && NameChar(text[end])) ++end;
        if (end > begin) {
          const std::string value = EnvironmentValue(text.substr(begin, end - begin));
          if (!value.empty()) {
            out += value;
            i = end - 1;
            continue;
          }
        }
      }
    }
    out += text[i];
  }
  return out;
}

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

FolderAccess CheckFolder(const std::string& path) {
  if (path.empty()) return FolderAccess::Unavailable;
  const fs::path native = ToNativePath(path);
  std::error_code ec;
  if (!fs::is_directory(native, ec)) return FolderAccess::Unavailable;
  fs::directory_iterator it(native, ec);
  if (ec) return FolderAccess::Denied;
  return FolderAccess::Ok;
}

std::string CleanFolderPath(const std::string& path) {
  if (path.empty()) return {};
  const fs::path normal = ToNativePath(path).lexically_normal();
  std::string text = ToDisplayPath(normal);
  const std::string root = ToDisplayPath(normal.root_path());
  while (text.size() > root.size() && text.size() > 1 && text.back() == kSeparator) text.pop_back();
  if (text.empty()) return ".";
  // "C:" alone is the drive's root.
  if (text.size() == 2 && text[1] == ':' && kSeparator == '\\') text += '\\';
  return text;
}

std::string ParentFolder(const std::string& path) {
  const std::string clean = CleanFolderPath(path);
  const fs::path native = ToNativePath(clean);
  if (native == native.root_path() || !native.has_parent_path()) return clean;
  return CleanFolderPath(ToDisplayPath(native.parent_path()));
}

std::string FolderName(const std::string& path) {
  const std::string clean = CleanFolderPath(path);
  const fs::path native = ToNativePath(clean);
  const fs::path name = native.filename();
  return name.empty() ? clean : ToDisplayPath(name);
}

bool IsAbsoluteFolder(const std::string& path) {
  const fs::path native = ToNativePath(path);
  return native.is_absolute() || (kSeparator == '\\' && path.rfind("\\\\", 0) == 0);
}

std::string WithTrailingSeparator(const std::string& dir) {
  return !dir.empty() && dir.back() == kSeparator ? dir : dir + kSeparator;
}

std::string HomeFolder() {
  std::string home = EnvironmentValue("HOME");
  if (home.empty()) home = EnvironmentValue("USERPROFILE");
  return home;
}

std::string TypedFolder(const std::string& text, const std::string& base, const std::string& home) {
  std::string t = Trimmed(text);
  if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front()) t = t.substr(1, t.size() - 2);
  t = Trimmed(t);
  if (t.rfind("file:", 0) == 0) t = PathOfFileUrl(t);
  if (t.empty()) return {};
  t = ExpandVariables(t);
  if (!home.empty() && (t == "~" || t.rfind("~/", 0) == 0 || t.rfind("~\\", 0) == 0)) t = home + t.substr(1);
  if (IsAbsoluteFolder(t)) return CleanFolderPath(t);
  if (base.empty()) return CleanFolderPath(t);
  return CleanFolderPath(ToDisplayPath(ToNativePath(base) / ToNativePath(t)));
}

std::string NearestFolder(const std::string& path, const std::string& fallback) {
  std::string at = CleanFolderPath(path);
  for (int guard = 0; guard < 4096 && !at.empty(); ++guard) {
    if (CheckFolder(at) == FolderAccess::Ok) return at;
    const std::string up = ParentFolder(at);
    if (up == at) break;
    at = up;
  }
  return fallback;
}

FolderListing ListFolder(const std::string& path) {
  FolderListing listing;
  const std::string clean = CleanFolderPath(path);
  for (std::string at = clean;;) {
    listing.ancestors.insert(listing.ancestors.begin(), at);
    const std::string up = ParentFolder(at);
    if (up == at || listing.ancestors.size() > 4096) break;
    at = up;
  }
  std::error_code ec;
  const fs::path native = ToNativePath(clean);
  std::vector<std::pair<std::string, std::string>> found;  // folded name, path
  for (fs::directory_iterator it(native, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    const std::string name = ToDisplayPath(it->path().filename());
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), Lower);
    found.emplace_back(folded + '\0' + name, ToDisplayPath(it->path()));
  }
  std::sort(found.begin(), found.end());
  for (auto& [key, child] : found) listing.children.push_back(CleanFolderPath(child));
  return listing;
}
