#include "run/redeploy/manifest.h"

#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "run/util/sha256.h"
#include "run/util/text.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kVersionLine = "quillward-manifest 1";

// Tabs, line ends, other control bytes and '%' as %XX: a field never holds a separator.
std::string Escaped(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '%') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescaped(std::string_view text, std::string& out) {
  if (text.find('%') == std::string_view::npos) {
    out.assign(text);
    return true;
  }
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

// The fields of `line` in `fields`, which is reused from line to line.
void Fields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return;
    start = tab + 1;
  }
}

template <typename Number>
bool ParseField(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The native string as bytes to keep: a POSIX name's own bytes, a Windows name's UTF-8.
std::string NativeText(const fs::path::string_type& native) {
  if constexpr (sizeof(fs::path::value_type) == 1) {
    return std::string(native.begin(), native.end());
  } else {
    return TextOfNative(native);  // UTF-8 of the UTF-16
  }
}

bool ParseEntry(const std::vector<std::string_view>& f, Manifest& manifest) {
  std::string key;
  if (f.size() < 2 || !Unescaped(f[1], key)) return false;
  ManifestEntry entry;
  if (f[0] == "D" && f.size() == 2) {
    entry.folder = true;
  } else if (f[0] == "F" && (f.size() == 11 || f.size() == 12)) {
    int verified = 0;
    if (!ParseField(f[2], entry.sourceSize) || !ParseField(f[3], entry.sourceTime) ||
        !ParseField(f[5], entry.kind) || !ParseField(f[8], verified) ||
        !ParseField(f[9], entry.destinationSize) || !ParseField(f[10], entry.destinationTime) ||
        !Unescaped(f[6], entry.switches) || !Unescaped(f[7], entry.encoder)) {
      return false;
    }
    if (f.size() == 12 && (f[11].empty() || !Unescaped(f[11], entry.scan))) return false;
    entry.sourceSha = std::string(f[4]);
    entry.verified = verified != 0;
  } else {
    return false;
  }
  // The file lists its entries in key order: each goes in at the end, without a search.
  const std::size_t had = manifest.entries.size();
  manifest.entries.emplace_hint(manifest.entries.end(), std::move(key), std::move(entry));
  return manifest.entries.size() > had;
}

}  // namespace

std::string EscapedField(std::string_view text) { return Escaped(text); }
bool UnescapedField(std::string_view text, std::string& out) { return Unescaped(text, out); }

std::string ManifestKey(const fs::path& root, const fs::path& path) {
  const auto& whole = path.native();
  const auto& base = root.native();
  if (whole.size() <= base.size() || whole.compare(0, base.size(), base) != 0) return {};
  std::size_t from = base.size();
  while (from < whole.size() && whole[from] == fs::path::preferred_separator) ++from;
  std::string key = NativeText(whole.substr(from));
  if constexpr (fs::path::preferred_separator != '/') {
    for (char& c : key) {
      if (c == static_cast<char>(fs::path::preferred_separator)) c = '/';
    }
  }
  return key;
}

std::string DestinationIdentity(const fs::path& destination) {
  const std::string text = NativeText(RealPath(destination).native());
  return FileSystemIgnoresCase() ? FoldCase(text) : text;
}

fs::path ManifestFileFor(const fs::path& folder, const std::string& identity) {
  return folder / (Sha256Hex(identity).substr(0, 32) + ".manifest");
}

std::string ManifestText(const Manifest& manifest) {
  std::string out = kVersionLine + "\ndestination\t" + Escaped(manifest.destination) + "\n";
  for (const auto& [key, e] : manifest.entries) {
    if (e.folder) {
      out += "D\t" + Escaped(key) + "\n";
      continue;
    }
    out += "F\t" + Escaped(key) + "\t" + std::to_string(e.sourceSize) + "\t" + std::to_string(e.sourceTime) + "\t" +
           e.sourceSha + "\t" + std::to_string(e.kind) + "\t" + Escaped(e.switches) + "\t" + Escaped(e.encoder) +
           "\t" + (e.verified ? "1" : "0") + "\t" + std::to_string(e.destinationSize) + "\t" +
           std::to_string(e.destinationTime) + (e.scan.empty() ? "\n" : "\t" + Escaped(e.scan) + "\n");
  }
  out += "end\t" + std::to_string(manifest.entries.size()) + "\n";
  return out;
}

bool ParseManifest(const std::string& text, Manifest& manifest) {
  manifest = Manifest();
  std::vector<std::string_view> lines;
  std::string_view rest(text);
  if (rest.empty() || rest.back() != '\n') return false;  // cut short
  rest.remove_suffix(1);
  for (std::size_t start = 0;;) {
    const std::size_t end = rest.find('\n', start);
    lines.push_back(rest.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (lines.size() < 3 || lines[0] != kVersionLine) return false;
  std::vector<std::string_view> fields;
  Fields(lines[1], fields);
  if (fields.size() != 2 || fields[0] != "destination" || !Unescaped(fields[1], manifest.destination)) return false;
  Fields(lines.back(), fields);
  std::size_t count = 0;
  if (fields.size() != 2 || fields[0] != "end" || !ParseField(fields[1], count) || count != lines.size() - 3) return false;
  for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
    Fields(lines[i], fields);
    if (!ParseEntry(fields, manifest)) {
      manifest = Manifest();
      return false;
    }
  }
  return true;
}

Manifest LoadManifest(const fs::path& file, const std::string& identity, Status* problem) {
  std::string text;
  Manifest manifest;
  Status read = ReadRegularFile(file, text);
  if (read.ok() && (!ParseManifest(text, manifest) || manifest.destination != identity)) {
    read = Status::Fail("not a whole manifest of this destination (read " + ToDisplayPath(file) + ")");
  }
  if (read.ok()) return manifest;
  if (problem && NameExists(file)) *problem = read;  // no manifest yet is no problem
  return {};
}

ManifestReadAhead ReadManifestAhead(const fs::path& file, const std::string& identity) {
  ManifestReadAhead ahead;
  ahead.before = StampOf(file);
  if (!ahead.before) return ahead;  // none yet, or not to be looked at: read under the lock
  ahead.manifest = LoadManifest(file, identity, &ahead.problem);
  ahead.after = StampOf(file);
  return ahead;
}

bool ManifestReadAhead::Holds(const fs::path& file) const {
  if (!before || !after || !(*before == *after)) return false;
  const std::optional<FileStamp> now = StampOf(file);
  return now && *now == *after;
}

Status SaveManifest(const fs::path& file, const Manifest& manifest) {
  if (Status made = MakeFolders(file.parent_path()); !made.ok()) return made;
  // Written through a handle no encoder started meanwhile inherits (on Windows one would
  // keep the name from being renamed over).
  return ReplaceFileWith(file, ManifestText(manifest));
}
