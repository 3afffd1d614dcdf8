#include "run/settings/run_settings.h"

#include "run/walk/ignore_rules.h"
#include "run/util/text.h"

#include <algorithm>
#include <string>
#include <thread>

bool SettingIsSet(const std::string& stored) {
  double value = 0;
  return ParseNumber(stored, value) && value != 0.0;
}

namespace key = setting_keys;
namespace def = setting_defaults;

RunSettings LoadRunSettings(const SettingsStore& store) {
  const auto read = [&store](const char* name, const std::string& fallback) {
    return store.Read(kSettingsSection, name, fallback);
  };

  RunSettings s;
  s.EncodeAsp = SettingIsSet(read(key::kEncodeAsp, def::kCleared));
  s.EncodeHtml = SettingIsSet(read(key::kEncodeHtml, def::kCleared));
  s.EncodeJs = SettingIsSet(read(key::kEncodeJs, def::kCleared));
  s.EncodeVbs = SettingIsSet(read(key::kEncodeVbsAsRead, def::kCleared));
  s.AspLanguage = read(key::kAspLanguage, def::kAspLanguage);
  s.HtmlLanguage = read(key::kHtmlLanguage, def::kHtmlLanguage);
  s.AspExtensions = read(key::kAspExtensions, def::kAspExtensions);
  // The box reads "Dont add the '@language' directive": set means the /xl switch.
  s.AspSwitch = SettingIsSet(read(key::kNoLanguageDirective, def::kCleared)) ? " /xl " : "";
  int timeout = 0;
  const std::string storedTimeout = read(key::kEncoderTimeout, std::to_string(def::kEncoderTimeoutSeconds));
  const bool isNumber = ParseInt(Trimmed(storedTimeout), timeout);
  s.TimeoutSeconds = isNumber && timeout >= 0 ? timeout : def::kEncoderTimeoutSeconds;
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  int jobs = 0;
  s.Jobs = ParseInt(Trimmed(read(key::kJobs, "")), jobs) && jobs >= 1 ? std::min(jobs, kMaxJobs) : std::min(cores, kMaxJobs);
  s.Verify = SettingIsSet(read(key::kVerify, def::kCleared));
  s.SiteExcludes = SplitPatternList(read(key::kSiteExcludes, ""));
  s.Changed = SettingIsSet(read(key::kChanged, def::kCleared));
  s.Delete = SettingIsSet(read(key::kDelete, def::kCleared));
  s.DeleteExcluded = SettingIsSet(read(key::kDeleteExcluded, def::kCleared));
  const std::string once = store.Read(kThisRunSection, key::kCommandExcludes, "");
  for (std::size_t at = 0; at < once.size();) {
    const std::size_t end = std::min(once.find('\n', at), once.size());
    if (end > at) s.CommandExcludes.push_back(once.substr(at, end - at));
    at = end + 1;
  }
  const auto thisRun = [&store](const char* name, const std::string& fallback) {
    return store.Read(kThisRunSection, name, fallback);
  };
  s.Verbose = SettingIsSet(thisRun(key::kVerbose, def::kCleared));
  s.Checksum = SettingIsSet(thisRun(key::kChecksum, def::kCleared));
  int maxDelete = 0;
  const std::string storedMaxDelete = thisRun(key::kMaxDelete, std::to_string(def::kMaxDelete));
  s.MaxDelete = ParseInt(Trimmed(storedMaxDelete), maxDelete) && maxDelete >= 0 ? maxDelete : def::kMaxDelete;
  s.DryRun = SettingIsSet(thisRun(key::kDryRun, def::kCleared));
  s.ReportPath = thisRun(key::kReport, "");
  s.Strict = SettingIsSet(thisRun(key::kStrict, def::kCleared));
  return s;
}
