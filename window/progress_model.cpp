#include "progress_model.h"

#include "run/encode_run.h"
#include "run/util/fs_ops.h"
#include "window_texts.h"

#include <algorithm>
#include <cmath>
#include <map>

void ProgressModel::Start(long long nowMs) {
  startMs_ = nowMs;
  started_ = true;
  walkMs_ = -1;
  done_ = total_ = 0;
  counting_ = false;
}

void ProgressModel::Update(long long done, long long total, long long nowMs) {
  counting_ = done <= 0;
  if (done > 0 && walkMs_ < 0) walkMs_ = nowMs;
  done_ = std::max(0LL, done);
  total_ = std::max(total, done_);
}

int ProgressModel::Percent() const {
  if (counting_ || total_ <= 0) return 0;
  return static_cast<int>(done_ * 100 / total_);
}

std::string ProgressModel::CountText() const {
  if (counting_) return "Counting files: " + GroupedNumber(total_);
  if (total_ <= 0) return {};
  return GroupedNumber(done_) + " of " + Counted(total_, "file");
}

std::string ProgressModel::TimeLeftText(long long nowMs) const {
  if (counting_ || walkMs_ < 0) return {};
  return ::TimeLeftText(nowMs - walkMs_, done_, total_);
}

std::string TimeLeftText(long long elapsedMs, long long done, long long total) {
  if (done <= 0 || total <= done || elapsedMs < 1000) return {};
  const double leftSeconds = static_cast<double>(elapsedMs) / done * (total - done) / 1000.0;
  if (leftSeconds < 60) {
    const int s = std::max(5, static_cast<int>(std::ceil(leftSeconds / 5.0)) * 5);
    return "about " + std::to_string(s) + " s left";
  }
  const long long minutes = std::llround(leftSeconds / 60.0);
  if (minutes < 90) return "about " + std::to_string(minutes) + " min left";
  return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min left";
}

namespace {

std::string TwoDigits(long long n) {
  std::string text(n < 10 ? "0" : "");
  return text.append(std::to_string(n));
}

}  // namespace

std::string DurationText(long long ms) {
  const long long s = (std::max(0LL, ms) + 500) / 1000;
  if (s < 60) return std::to_string(s) + " s";
  if (s < 3600) return std::to_string(s / 60) + " min " + TwoDigits(s % 60) + " s";
  return std::to_string(s / 3600) + " h " + TwoDigits(s / 60 % 60) + " min";
}

std::string RunTitle(int percent) { return std::to_string(percent) + "% - " + kAppTitle; }

std::string RunSummaryText(const RunOutcome& o, long long elapsedMs) {
  std::string how;
  switch (o.status) {
    case RunOutcome::Status::Completed: how = "Done"; break;
    case RunOutcome::Status::Stopped: how = "Stopped"; break;
    case RunOutcome::Status::Refused:
    case RunOutcome::Status::Ignored: return {};
  }
  std::string text = how + ": " + Counted(o.files, "file");
  std::string besides;
  auto add = [&besides](long long n, const std::string& what) {
    if (n > 0) besides += (besides.empty() ? "" : ", ") + GroupedNumber(n) + " " + what;
  };
  add(o.unchanged, "unchanged");
  add(o.excluded, "excluded");
  add(o.deleted, "deleted");
  add(o.notFromSource, "not from the source");
  if (!besides.empty()) text += " (" + besides + ")";
  const long long failedFiles = std::max(0LL, o.failed - o.failedFolders);
  text += ", " + GroupedNumber(failedFiles) + " failed";
  if (o.failedFolders > 0) text += ", " + Counted(o.failedFolders, "folder") + " failed";
  if (o.leftPlain > 0) text += ", " + GroupedNumber(o.leftPlain) + " not encoded";
  return text + ", in " + DurationText(elapsedMs);
}

bool RunEndedBadly(const RunOutcome& o) { return o.failed > 0 || o.leftPlain > 0; }

long long FilesAccountedFor(const RunOutcome& o) {
  return o.files + o.unchanged + o.excluded;
}

namespace {

const std::string kPlainHead = "Warning: ";
const std::string kPlainMiddle = " files that hold script ";
const std::string kPlainTail = " copied unencoded, their type being off in Options: ";

// What the run names a kind by, and the kind in words, singular and plural.
struct KindWords {
  std::string key, singular, plural;
};
const KindWords kKinds[] = {
    {"\"Active Server Page (*.ASP) Files\" (chkASP)", "Active Server Page", "Active Server Pages"},
    {"\"Standard HTML (*.HTML, HTM) files\" (chkHTML)", "HTML page", "HTML pages"},
    {"\"Javascript (*.JS) files\" (chkJS)", "JScript file", "JScript files"},
    {"\"VBScript (*.VBS) Files\" (Check2)", "VBScript file", "VBScript files"},
    {".inc not in \"Other File Extensions that are ASP\" (txtDefxt)", "include file (.inc) not listed as ASP",
     "include files (.inc) not listed as ASP"},
};

}  // namespace

namespace {

bool IsSeparatorChar(char c) { return c == '/' || c == '\\'; }

// The name at `at` in `entry`: up to a blank, a colon or the end.
size_t NameEnd(const std::string& entry, size_t at) {
  size_t end = at;
  while (end < entry.size() && entry[end] != ' ' && entry[end] != ':' && entry[end] != '\'') ++end;
  return end;
}

}  // namespace

std::string WithFileNames(const std::string& entry) {
  std::string out = entry;
  for (size_t from = 0;;) {
    // A name that begins right after a separator and starts with a dot.
    size_t at = std::string::npos;
    for (size_t i = from; i + 1 < out.size(); ++i) {
      if (IsSeparatorChar(out[i]) && out[i + 1] == '.') {
        at = i + 1;
        break;
      }
    }
    if (at == std::string::npos) return out;
    const size_t end = NameEnd(out, at);
    unsigned long pid = 0;
    const size_t dash = out.rfind(" - ", at);
    if (dash == std::string::npos || !IsLeftoverTemporaryName(std::string_view(out).substr(at, end - at), pid)) {
      from = at;
      continue;
    }
    size_t name = dash;
    while (name > 0 && !IsSeparatorChar(out[name - 1])) --name;
    const std::string fileName = out.substr(name, dash - name);
    out.replace(at, end - at, fileName);
    from = at + fileName.size();
  }
}

bool IsLeftPlainWarning(const std::string& entry) {
  return entry.rfind(kPlainHead, 0) == 0 &&
         (entry.find(kPlainTail) != std::string::npos ||
          (entry.find(" copied as ") != std::string::npos && entry.find(", not encoded: ") != std::string::npos));
}

std::string LeftPlainInWords(const std::string& entry) {
  const size_t tail = entry.find(kPlainTail);
  if (entry.rfind(kPlainHead, 0) != 0 || tail == std::string::npos) return entry;
  const size_t middle = entry.find(kPlainMiddle);
  if (middle == std::string::npos) return entry;
  const std::string total = entry.substr(kPlainHead.size(), middle - kPlainHead.size());
  const bool would = entry.compare(middle + kPlainMiddle.size(), 8, "would be") == 0;
  std::string parts;
  std::string rest = entry.substr(tail + kPlainTail.size());
  while (!rest.empty()) {
    const size_t blank = rest.find(' ');
    if (blank == std::string::npos) return entry;
    const std::string count = rest.substr(0, blank);
    rest = rest.substr(blank + 1);
    const KindWords* kind = nullptr;
    for (const KindWords& k : kKinds) {
      if (rest.rfind(k.key, 0) == 0) kind = &k;
    }
    if (!kind) return entry;
    rest = rest.substr(kind->key.size());
    if (rest.rfind(", ", 0) == 0) rest = rest.substr(2);
    parts += (parts.empty() ? "" : ", ") + count + " " + (count == "1" ? kind->singular : kind->plural);
  }
  const bool one = total == "1";
  return kPlainHead + total + (one ? " script file " : " script files ") + (would ? "would be" : (one ? "was" : "were")) +
         " copied as " + (one ? "it is" : "they are") + ", not encoded: " + parts +
         ". Choose their kinds in File, Options.";
}
