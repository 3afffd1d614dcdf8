#include "options_model.h"

#include "run/walk/ignore_rules.h"
#include "run/settings/run_settings.h"
#include "run/settings/settings_keys.h"
#include "run/settings/settings_store.h"

#include <cctype>
#include <climits>
#include <string_view>

namespace {

using K = OptionsKind;
namespace key = setting_keys;
namespace def = setting_defaults;

// A stored check-box text as the box's value: "2" greys it, any other text the run takes
// as set sets it, everything else clears it.
int CheckValueOf(std::string stored) {
  while (!stored.empty() && std::isspace(static_cast<unsigned char>(stored.back()))) stored.pop_back();
  while (!stored.empty() && std::isspace(static_cast<unsigned char>(stored.front()))) stored.erase(0, 1);
  if (stored == "2") return 2;
  return SettingIsSet(stored) ? 1 : 0;
}

std::string Read(const SettingsStore& store, const std::string& key, const std::string& def) {
  return store.Read(kSettingsSection, key, def);
}

// The stored number of files at once, when it is one the run takes as it is.
bool StoredJobsIsNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  size_t digits = i;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == i || digits - i > 9) return false;
  for (size_t j = digits; j < text.size(); ++j) {
    if (!std::isspace(static_cast<unsigned char>(text[j]))) return false;
  }
  return std::stoi(text.substr(i, digits - i)) >= 1;
}

struct CheckField {
  const char* key;
  int OptionsValues::*value;
};
const CheckField kChecks[] = {
    {key::kNoLanguageDirective, &OptionsValues::chkLangDirect}, {key::kEncodeAsp, &OptionsValues::chkASP},
    {key::kEncodeJs, &OptionsValues::chkJS},                    {key::kEncodeHtml, &OptionsValues::chkHTML},
    {key::kEncodeVbs, &OptionsValues::Check2},                  {key::kChanged, &OptionsValues::chkChanged},
    {key::kDelete, &OptionsValues::chkDelete},                  {key::kVerify, &OptionsValues::chkVerify},
};

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == ';'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string PatternAsLine(const std::string& pattern) {
  std::string line;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '\\' || i + 1 == pattern.size()) {
      line += c;
      continue;
    }
    const char next = pattern[++i];
    const bool inside = i >= 2 && i + 1 < pattern.size();
    if (!(inside && IsSeparator(next))) line += '\\';
    line += next;
  }
  return line;
}

std::string LineAsPattern(std::string_view line) {
  std::string pattern;
  size_t kept = 0;  // the pattern's length up to its last character that is not a blank
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\') {
      if (i + 1 == line.size()) break;
      pattern += c;
      pattern += line[++i];
      kept = pattern.size();
    } else if (IsSeparator(c)) {
      pattern += '\\';
      pattern += c;
      if (!IsBlank(c)) kept = pattern.size();
    } else {
      pattern += c;
      kept = pattern.size();
    }
  }
  pattern.resize(kept);
  return pattern;
}

}  // namespace

const std::vector<OptionsControl>& OptionsControls() {
  static const std::vector<OptionsControl> controls = {
      {"Label1", K::Label, "Default Language for ASP files", "", 45, 120, 2520, 240, false},
      {"Combo1", K::Combo, "", "", 2505, 75, 1845, 315, true},
      {"Label3", K::Label, "Default Language for HTML files", "", 45, 510, 2520, 240, false},
      {"Combo2", K::Combo, "", "", 2505, 465, 1845, 315, true},
      {"Label2", K::Label, "Script blocks with no language defined are assumed to be these languages", "", 330, 960,
       5370, 240, false},
      {"chkLangDirect", K::Check, "Don't add the '@language' directive to the top of all ASP Pages", "", 60, 1245, 5940,
       345, true},
      {"Line1", K::Line, "", "", -60, 1680, 6030, 0, false},
      {"Frame1", K::Frame, "File Types", "", 30, 1785, 5970, 2100, false},
      {"chkASP", K::Check, "Active Server Page (*.ASP) Files", "Frame1", 300, 300, 2715, 240, true},
      {"Label4", K::Label,
       "All these file types will be encoded. Other files will be copied to the same relative path in the target "
       "directory unchanged.",
       "Frame1", 3420, 555, 2505, 840, false},
      {"chkJS", K::Check, "Javascript (*.JS) files", "Frame1", 300, 645, 2715, 240, true},
      {"chkHTML", K::Check, "Standard HTML (*.HTML, HTM) files", "Frame1", 300, 990, 2985, 240, true},
      {"Check2", K::Check, "VBScript (*.VBS) Files", "Frame1", 300, 1335, 1950, 240, true},
      {"txtDefxt", K::Text, "", "Frame1", 300, 1680, 2745, 285, true},
      {"Label5", K::Label, "Other File Extensions that are ASP", "Frame1", 3105, 1725, 2715, 180, false},
      {"Frame2", K::Frame, "Runs", "", 30, 3960, 5970, 3210, false},
      {"chkChanged", K::Check, "Only &redo files that changed since the last run", "Frame2", 300, 300, 5550, 240, true},
      {"chkDelete", K::Check, "Re&move files this tool wrote earlier whose source is gone", "Frame2", 300, 600, 5550,
       240, true},
      {"chkVerify", K::Check, "&Verify each encoded file by decoding it", "Frame2", 300, 900, 5550, 240, true},
      {"lblTimeout", K::Label, "Encoder &time limit per file (s, 0 = none)", "Frame2", 300, 1290, 3780, 240, false},
      {"spnTimeout", K::Spin, "", "Frame2", 4140, 1245, 1530, 285, true},
      {"lblJobs", K::Label, "&Files at once", "Frame2", 300, 1650, 3780, 240, false},
      {"spnJobs", K::Spin, "", "Frame2", 4140, 1605, 1530, 285, true},
      {"lblExclude", K::Label, "&Leave out (ignore patterns, one per line, for every site)", "Frame2", 300, 2010, 5550,
       240, false},
      {"txtExclude", K::Lines, "", "Frame2", 300, 2295, 5370, 780, true},
      {"OKButton", K::Button, "OK", "", 4755, 75, 1215, 375, true},
      {"CancelButton", K::Button, "Cancel", "", 4755, 525, 1215, 375, true},
  };
  return controls;
}

OptionsValues DialogModel::Form_Load() const {
  OptionsValues v;
  for (const CheckField& c : kChecks) v.*c.value = CheckValueOf(Read(store_, c.key, def::kCleared));
  v.txtDefxt = Read(store_, key::kAspExtensions, def::kAspExtensions);
  v.Combo1 = Read(store_, key::kAspLanguage, def::kAspLanguage);
  v.Combo2 = Read(store_, key::kHtmlLanguage, def::kHtmlLanguage);
  // The numbers as a run would take them: a stored value out of range or not a number is
  // shown (and written back by OK) as what the run makes of it.
  const RunSettings run = LoadRunSettings(store_);
  v.spnTimeout = run.TimeoutSeconds;
  v.spnJobs = StoredJobsIsNumber(Read(store_, key::kJobs, "")) ? run.Jobs : 0;
  v.txtExclude = ExcludeLines(Read(store_, key::kSiteExcludes, ""));
  return v;
}

std::string DialogModel::Refusal(const OptionsValues& v) const {
  if (v.spnTimeout < 0 || v.spnTimeout > kMaxTimeoutSeconds) {
    return "The encoder's time limit must be between 0 (none) and " + std::to_string(kMaxTimeoutSeconds) + " seconds.";
  }
  if (v.spnJobs < 0 || v.spnJobs > kMaxJobs) {
    return "Files at once must be between 1 and " + std::to_string(kMaxJobs) + ", or All cores.";
  }
  for (const int* value : {&v.chkLangDirect, &v.chkASP, &v.chkJS, &v.chkHTML, &v.Check2, &v.chkChanged, &v.chkDelete,
                           &v.chkVerify}) {
    if (*value < 0 || *value > 2) return "A check box can only be cleared, set or greyed.";
  }
  return {};
}

bool DialogModel::OKButton_Click(const OptionsValues& v) {
  if (!Refusal(v).empty()) return false;
  for (const CheckField& c : kChecks) store_.Write(kSettingsSection, c.key, std::to_string(v.*c.value));
  store_.Write(kSettingsSection, key::kAspExtensions, v.txtDefxt);
  store_.Write(kSettingsSection, key::kAspLanguage, v.Combo1);
  store_.Write(kSettingsSection, key::kHtmlLanguage, v.Combo2);
  store_.Write(kSettingsSection, key::kEncoderTimeout, std::to_string(v.spnTimeout));
  store_.Write(kSettingsSection, key::kJobs, std::to_string(v.spnJobs));
  store_.Write(kSettingsSection, key::kSiteExcludes, StoredExcludes(v.txtExclude));
  return true;
}

std::string ExcludeLines(const std::string& stored) {
  std::string lines;
  bool first = true;
  for (const std::string& pattern : SplitPatternList(stored)) {
    if (!first) lines += '\n';
    lines += PatternAsLine(pattern);
    first = false;
  }
  return lines;
}

std::string StoredExcludes(const std::string& lines) {
  std::string stored;
  size_t begin = 0;
  while (begin <= lines.size()) {
    size_t end = lines.find('\n', begin);
    if (end == std::string::npos) end = lines.size();
    const std::string pattern = LineAsPattern(std::string_view(lines).substr(begin, end - begin));
    if (!pattern.empty()) stored += (stored.empty() ? "" : " ") + pattern;
    begin = end + 1;
  }
  return stored;
}
