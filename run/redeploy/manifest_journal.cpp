#include "run/redeploy/manifest_journal.h"

#include "run/util/fs_ops.h"
#include "run/redeploy/manifest.h"
#include "run/util/native_path.h"

#include <charconv>
#include <string_view>

namespace fs = std::filesystem;

namespace {

const std::string kVersionLine = "quillward-journal 1";

std::string LineText(const JournalLine& line) {
  return std::string(line.folder ? "D\t" : "F\t") + EscapedField(line.key) + "\n";
}

// A key as the manifest makes them: names below the destination, none empty, "." or "..".
bool PlainKey(std::string_view key) {
  for (std::size_t start = 0;;) {
    const std::size_t slash = key.find('/', start);
    const std::string_view name = key.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (name.empty() || name == "." || name == "..") return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

// One whole line of the journal (without its '\n') read into `contents`.
void TakeLine(std::string_view line, JournalContents& contents) {
  if (line.substr(0, 4) == "run\t") {
    const std::string_view digits = line.substr(4);
    unsigned long pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error == std::errc() && end == digits.data() + digits.size()) contents.pid = pid;
    return;
  }
  if (line.size() < 3 || (line[0] != 'F' && line[0] != 'D') || line[1] != '\t') return;
  JournalLine taken;
  taken.folder = line[0] == 'D';
  if (UnescapedField(line.substr(2), taken.key) && PlainKey(taken.key)) contents.lines.push_back(std::move(taken));
}

}  // namespace

fs::path JournalFileFor(const fs::path& manifestFile) {
  fs::path file = manifestFile;
  file += ".journal";
  return file;
}

JournalContents ReadJournal(const fs::path& file, Status& problem) {
  JournalContents contents;
  if (!NameExists(file)) return contents;
  std::string text;
  if (problem = ReadRegularFile(file, text); !problem.ok()) return contents;
  std::string_view rest(text);
  const std::size_t first = rest.find('\n');
  if (first == std::string_view::npos || rest.substr(0, first) != kVersionLine) {
    problem = Status::Fail("not a journal of this version (read " + ToDisplayPath(file) + ")");
    return contents;
  }
  rest.remove_prefix(first + 1);
  // Only whole lines: the last may have been cut short.
  for (std::size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
    TakeLine(rest.substr(0, end), contents);
    rest.remove_prefix(end + 1);
  }
  return contents;
}

Status Journal::Restart(const std::vector<JournalLine>& lines) {
  out_.Close();
  std::string text = kVersionLine + "\nrun\t" + std::to_string(CurrentProcessId()) + "\n";
  for (const JournalLine& line : lines) text += LineText(line);
  if (Status replaced = ReplaceFileWith(file_, text); !replaced.ok()) return replaced;
  return out_.Open(file_);
}

Status Journal::Append(const JournalLine& line) {
  if (!out_.IsOpen()) return Status::Fail("the journal is not open (" + ToDisplayPath(file_) + ")");
  Status written = out_.Append(LineText(line));  // one write: there before the file is renamed into place
  if (!written.ok()) out_.Close();  // a journal that failed once is not trusted again
  return written;
}

Status Journal::Remove() {
  out_.Close();
  return RemoveFile(file_);
}
