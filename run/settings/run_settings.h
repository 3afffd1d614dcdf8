#pragma once
// The settings one encoding run uses, read once when it starts.

#include "run/settings/settings_keys.h"
#include "run/settings/settings_store.h"

#include <string>
#include <vector>

inline constexpr int kMaxJobs = 64;

struct RunSettings {
  bool EncodeAsp = false;    // "chkASP"
  bool EncodeHtml = false;   // "chkHTML"
  bool EncodeJs = false;     // "chkJS"
  bool EncodeVbs = false;    // "check2"
  std::string AspLanguage;   // "Combo1": default language of ASP pages and ASP-by-extension files
  std::string HtmlLanguage;  // "Combo2": default language of HTML documents
  std::string AspExtensions; // "txtDefxt": unparsed, searched as text
  std::string AspSwitch;     // from "chkLangDirect": " /xl " when set, empty when cleared
  int TimeoutSeconds = setting_defaults::kEncoderTimeoutSeconds;  // "EncoderTimeout": an encoder working longer on one file is
                             // ended and the file fails; 0: no limit
  std::vector<std::string> SiteExcludes;     // "txtExclude": patterns for every site
  std::vector<std::string> CommandExcludes;  // [ThisRun] "Exclude": --exclude, one a line
  bool Verbose = false;                      // [ThisRun] "Verbose": excluded entries logged
  int Jobs = 1;              // "Jobs": files copied or encoded at once (default: the cores)
  bool Verify = false;       // "chkVerify": each encoded file decoded and compared with its source
  bool Changed = false;      // "chkChanged": files whose result is already at the destination
                             // (by the manifest of the last run) are skipped
  bool Delete = false;       // "chkDelete": files this tool wrote earlier whose source is gone
                             // are removed from the destination
  bool DeleteExcluded = false;  // "chkDeleteExcluded": with Delete, so are those the ignore
                                // rules now leave out
  // For one run only, from the [ThisRun] section (quillward-batch's options):
  bool Checksum = false;     // "Checksum": --changed compares content hashes, not size and time
  int MaxDelete = setting_defaults::kMaxDelete;  // "MaxDelete": more removals than this stop the run before any
  bool DryRun = false;       // "DryRun": decide and log, write nothing
  std::string ReportPath;    // "Report": where the run's JSON report is written (UTF-8 path)
  bool Strict = false;       // "Strict": include-audit findings are failures
};

// Reads the keys in the order "chkASP", "chkHTML", "chkJS", "check2", "Combo1", "Combo2",
// "txtDefxt", "chkLangDirect", each with its default (0, "VBScript", "JScript", "*.inc"),
// then "EncoderTimeout" (300), then "Jobs" (the number of cores; at least 1, at most 64), then
// "chkVerify" (0), then "txtExclude" (""), then "chkChanged" (0), then "chkDelete" (0), then
// "chkDeleteExcluded" (0); then the
// [ThisRun] keys "Exclude", "Verbose", "Checksum", "MaxDelete", "DryRun", "Report", "Strict".
RunSettings LoadRunSettings(const SettingsStore& store);

// A check-box value as the run reads it: numeric text that is not zero is true; text that
// is not a number counts as 0.
bool SettingIsSet(const std::string& stored);
