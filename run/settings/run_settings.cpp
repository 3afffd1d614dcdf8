#include "run/settings/run_settings.h"

#include "run/walk/ignore_rules.h"
#include "run/util/text.h"

#include <algorithm>
#include <thread>

bool SettingIsSet(const std::string& stored) {
  double value = 0;
  return ParseNumber(stored, value) && value != 0.0;
}

RunSettings LoadRunSettings(const SettingsStore& store) {
  const auto read = [&store](const char* key, const char* def) { return store.Read(kSettingsSection, key, def); };

  RunSettings s;
  s.EncodeAsp = SettingIsSet(read("chkASP", "0"));
  s.EncodeHtml = SettingIsSet(read("chkHTML", "0"));
  s.EncodeJs = SettingIsSet(read("chkJS", "0"));
  s.EncodeVbs = SettingIsSet(read("check2", "0"));
  s.AspLanguage = read("Combo1", "VBScript");
  s.HtmlLanguage = read("Combo2", "JScript");
  s.AspExtensions = read("txtDefxt", "*.inc");
  // The box reads "Dont add the '@language' directive": set means the /xl switch.
  s.AspSwitch = SettingIsSet(read("chkLangDirect", "0")) ? " /xl " : "";
  int timeout = 0;
  const bool isNumber = ParseInt(Trimmed(read("EncoderTimeout", "300")), timeout);
  s.TimeoutSeconds = isNumber && timeout >= 0 ? timeout : 300;
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  int jobs = 0;
  s.Jobs = ParseInt(Trimmed(read("Jobs", "")), jobs) && jobs >= 1 ? std::min(jobs, kMaxJobs) : std::min(cores, kMaxJobs);
  s.Verify = SettingIsSet(read("chkVerify", "0"));
  s.SiteExcludes = SplitPatternList(read("txtExclude", ""));
  s.Changed = SettingIsSet(read("chkChanged", "0"));
  s.Delete = SettingIsSet(read("chkDelete", "0"));
  s.DeleteExcluded = SettingIsSet(read("chkDeleteExcluded", "0"));
  const std::string once = store.Read(kThisRunSection, "Exclude", "");
  for (std::size_t at = 0; at < once.size();) {
    const std::size_t end = std::min(once.find('\n', at), once.size());
    if (end > at) s.CommandExcludes.push_back(once.substr(at, end - at));
    at = end + 1;
  }
  const auto thisRun = [&store](const char* key, const char* def) { return store.Read(kThisRunSection, key, def); };
  s.Verbose = SettingIsSet(thisRun("Verbose", "0"));
  s.Checksum = SettingIsSet(thisRun("Checksum", "0"));
  int maxDelete = 0;
  s.MaxDelete = ParseInt(Trimmed(thisRun("MaxDelete", "100")), maxDelete) && maxDelete >= 0 ? maxDelete : 100;
  s.DryRun = SettingIsSet(thisRun("DryRun", "0"));
  s.ReportPath = thisRun("Report", "");
  s.Strict = SettingIsSet(thisRun("Strict", "0"));
  return s;
}
