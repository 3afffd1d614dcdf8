#include "manifest_journal.h"

#include "fs_ops.h"
#include "manifest.h"
#include "paths.h"

#include <cerrno>
#include <charconv>
#include <string_view>

namespace fs = std::filesystem;

namespace {

const std::string kVersionLine = "quillward-journal 1";

std::string LineText(const JournalLine& line) {
  return std::string(line.folder ? "D\t" : "F\t") + EscapedField(line.key) + "\n";
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
  if (UnescapedField(line.substr(2), taken.key) && !taken.key.empty()) contents.lines.push_back(std::move(taken));
}

int ErrnoOr(int fallback) { return errno ? errno : fallback; }

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
  if (out_.is_open()) out_.close();
  std::string text = kVersionLine + "\nrun\t" + std::to_string(CurrentProcessId()) + "\n";
  for (const JournalLine& line : lines) text += LineText(line);
  const fs::path tmp = TemporaryBeside(file_);
  errno = 0;
  if (Status made = CreateExclusive(tmp, text); !made.ok()) {
    RemoveFile(tmp);
    return made;
  }
  if (Status renamed = RenameOver(tmp, file_); !renamed.ok()) {
    RemoveFile(tmp);
    return renamed;
  }
  errno = 0;
  out_.open(file_, std::ios::binary | std::ios::app);
  if (!out_) return Status::FromErrno(ErrnoOr(EACCES), "open", file_);
  return Status::Ok();
}

Status Journal::Append(const JournalLine& line) {
  if (!out_.is_open()) return Status::Fail("the journal is not open (" + ToDisplayPath(file_) + ")");
  errno = 0;
  out_ << LineText(line);
  out_.flush();  // to the system now: the file may be renamed into place at any moment
  if (!out_) {
    const int err = ErrnoOr(EIO);
    out_.close();  // a stream that failed once is not trusted again
    return Status::FromErrno(err, "write", file_);
  }
  return Status::Ok();
}

Status Journal::Remove() {
  if (out_.is_open()) out_.close();
  return RemoveFile(file_);
}
