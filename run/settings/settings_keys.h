#pragma once
// The names under which settings are stored, and what each reads as when it is absent.
// Stated here once: the run reads them, the windows and quillward-batch write them. The
// names are the ones users' stores already hold; a name changed here would lose what
// they saved. Keys are matched without regard to case (settings_store.h).

#include <string>

// The section of everything that is kept.
inline const std::string kSettingsSection = "Settings";
// Not stored: what a front end sets for one run only (quillward-batch's --exclude, one
// pattern a line, --verbose and the like), read from the run's in-memory settings.
inline const std::string kThisRunSection = "ThisRun";

namespace setting_keys {

// [Settings], the options of a run.
inline constexpr char kEncodeAsp[] = "chkASP";            // check box: encode .asp, .asa
inline constexpr char kEncodeHtml[] = "chkHTML";          // check box: encode .htm, .html
inline constexpr char kEncodeJs[] = "chkJS";              // check box: encode .js
inline constexpr char kEncodeVbs[] = "Check2";            // check box: encode .vbs
// The run has always asked for that box as "check2"; the store matches either spelling.
inline constexpr char kEncodeVbsAsRead[] = "check2";
inline constexpr char kAspLanguage[] = "Combo1";          // default language of ASP pages
inline constexpr char kHtmlLanguage[] = "Combo2";         // default language of HTML documents
inline constexpr char kAspExtensions[] = "txtDefxt";      // other extensions taken as ASP
inline constexpr char kNoLanguageDirective[] = "chkLangDirect";  // check box: the /xl switch
inline constexpr char kEncoderTimeout[] = "EncoderTimeout";      // seconds; 0: no limit
inline constexpr char kJobs[] = "Jobs";                   // files at once; absent: the cores
inline constexpr char kVerify[] = "chkVerify";            // check box: decode and compare
inline constexpr char kSiteExcludes[] = "txtExclude";     // ignore patterns for every site
inline constexpr char kChanged[] = "chkChanged";          // check box: skip unchanged files
inline constexpr char kDelete[] = "chkDelete";            // check box: remove what lost its source
inline constexpr char kDeleteExcluded[] = "chkDeleteExcluded";  // check box: and what is now ignored

// [Settings], what the windows remember.
inline constexpr char kLastSource[] = "LastSource";
inline constexpr char kLastDestination[] = "LastDestination";
inline constexpr char kWindowPlace[] = "WindowPlace";     // "x y width height maximized"
inline constexpr char kSysInfoPath[] = "SysInfoPath";     // the system information viewer

// [ThisRun], set by a front end for one run.
inline constexpr char kCommandExcludes[] = "Exclude";     // --exclude, one pattern a line
inline constexpr char kVerbose[] = "Verbose";
inline constexpr char kChecksum[] = "Checksum";
inline constexpr char kMaxDelete[] = "MaxDelete";
inline constexpr char kDryRun[] = "DryRun";
inline constexpr char kReport[] = "Report";               // the report's path, UTF-8
inline constexpr char kStrict[] = "Strict";

}  // namespace setting_keys

namespace setting_defaults {

inline constexpr char kCleared[] = "0";                   // every check box
inline constexpr char kSet[] = "1";                       // a check box a front end sets
inline constexpr char kAspLanguage[] = "VBScript";
inline constexpr char kHtmlLanguage[] = "JScript";
inline constexpr char kAspExtensions[] = "*.inc";
inline constexpr int kEncoderTimeoutSeconds = 300;
inline constexpr int kMaxDelete = 100;

}  // namespace setting_defaults
