#include "batch_args.h"

#include "run/settings/run_settings.h"
#include "run/settings/settings_keys.h"
#include "run/util/text.h"

#include <algorithm>

namespace {

namespace key = setting_keys;

// The keys --set takes, in the order the errors list them.
struct KnownKey {
  const char* name;
  bool checkBox;
};
const KnownKey kKnownKeys[] = {
    {key::kEncodeAsp, true},           {key::kEncodeHtml, true},    {key::kEncodeJs, true},
    {key::kEncodeVbs, true},           {key::kNoLanguageDirective, true},
    {key::kAspLanguage, false},        {key::kHtmlLanguage, false}, {key::kAspExtensions, false},
    {key::kVerify, true},              {key::kChanged, true},       {key::kDelete, true},
    {key::kDeleteExcluded, true},      {key::kSiteExcludes, false},
};

// A check box's value as stored ("1" or "0"); empty when `value` is not one.
std::string CheckBoxValue(const std::string& value) {
  const std::string v = FoldCase(Trimmed(value));
  for (const char* yes : {"1", "true", "yes", "on"}) {
    if (v == yes) return "1";
  }
  for (const char* no : {"0", "false", "no", "off"}) {
    if (v == no) return "0";
  }
  return {};
}

std::string KnownKeyList() {
  std::string list;
  for (const KnownKey& k : kKnownKeys) list += (list.empty() ? "" : ", ") + std::string(k.name);
  return list;
}

// "KEY=VALUE" into the overrides; an error text when it is not one of the known keys,
// or a check box's value is not one a check box can have.
std::string AddOverride(const std::string& assignment, std::map<std::string, std::string>& overrides) {
  const std::size_t eq = assignment.find('=');
  if (eq == 0 || eq == std::string::npos) return "--set needs KEY=VALUE, got \"" + assignment + "\"";
  const std::string key = assignment.substr(0, eq);
  std::string value = assignment.substr(eq + 1);
  for (const KnownKey& k : kKnownKeys) {
    const std::string known = k.name;
    if (!EqualIgnoringCase(known, key)) continue;
    if (k.checkBox) {
      const std::string stored = CheckBoxValue(value);
      if (stored.empty()) {
        return "--set " + known + ": \"" + value +
               "\" is not a check box value (1/0, true/false, yes/no, on/off)";
      }
      value = stored;
    }
    overrides[known] = value;
    return {};
  }
  return "unknown settings key \"" + key + "\" (known: " + KnownKeyList() + ")";
}

// An argument as text. Only paths keep their native form.
std::string Text(const std::filesystem::path& arg) { return TextOfNative(arg.native()); }

}  // namespace

BatchArgs ParseBatchArgs(const std::vector<std::filesystem::path>& args) {
  BatchArgs out;
  std::vector<std::filesystem::path> positional;
  bool switches = true;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = Text(args[i]);
    if (switches && arg == "--") {
      switches = false;
    } else if (switches && (arg == "--help" || arg == "-h")) {
      out.help = true;
    } else if (switches && arg == "--set") {
      if (i + 1 == args.size()) {
        out.error = "--set needs KEY=VALUE";
        return out;
      }
      out.error = AddOverride(Text(args[++i]), out.overrides);
    } else if (switches && arg.starts_with("--set=")) {
      out.error = AddOverride(arg.substr(6), out.overrides);
    } else if (switches && (arg == "--timeout" || arg.starts_with("--timeout="))) {
      std::string value;
      if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = Text(args[++i]);
      }
      int seconds = 0;
      if (!ParseInt(value, seconds) || seconds < 0) {
        out.error = "--timeout needs a number of seconds (0: no limit), got \"" + value + "\"";
      } else {
        out.overrides[key::kEncoderTimeout] = std::to_string(seconds);
      }
    } else if (switches && (arg == "--jobs" || arg.starts_with("--jobs=") || arg == "-j")) {
      std::string value;
      if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = Text(args[++i]);
      }
      int jobs = 0;
      if (!ParseInt(value, jobs) || jobs < 1 || jobs > kMaxJobs) {
        out.error = "--jobs needs a number of workers from 1 to " + std::to_string(kMaxJobs) + ", got \"" + value + "\"";
      } else {
        out.overrides[key::kJobs] = std::to_string(jobs);
      }
    } else if (switches && arg == "--verify") {
      out.overrides[key::kVerify] = setting_defaults::kSet;
    } else if (switches && (arg == "--exclude" || arg.starts_with("--exclude="))) {
      std::string pattern;
      if (arg.size() > 9) {
        pattern = arg.substr(10);
      } else if (i + 1 < args.size()) {
        pattern = Text(args[++i]);
      }
      if (pattern.empty()) out.error = "--exclude needs a PATTERN";
      out.excludes.push_back(pattern);
    } else if (switches && (arg == "--verbose" || arg == "-v")) {
      out.verbose = true;
    } else if (switches && arg == "--changed") {
      out.overrides[key::kChanged] = setting_defaults::kSet;
    } else if (switches && arg == "--checksum") {
      out.checksum = true;
    } else if (switches && arg == "--delete") {
      out.overrides[key::kDelete] = setting_defaults::kSet;
    } else if (switches && arg == "--delete-excluded") {  // as mirror tools have it: --delete too
      out.overrides[key::kDelete] = setting_defaults::kSet;
      out.overrides[key::kDeleteExcluded] = setting_defaults::kSet;
    } else if (switches && (arg == "--max-delete" || arg.starts_with("--max-delete="))) {
      std::string value;
      if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = Text(args[++i]);
      }
      if (!ParseInt(value, out.maxDelete) || out.maxDelete < 0) {
        out.error = "--max-delete needs a number of files (0 or more), got \"" + value + "\"";
      }
    } else if (switches && arg == "--strict") {
      out.strict = true;
    } else if (switches && arg == "--dry-run") {
      out.dryRun = true;
    } else if (switches && (arg == "--report" || arg.starts_with("--report="))) {
      if (arg.size() > 8) {
        out.report = std::filesystem::path(args[i].native().substr(9));
      } else if (i + 1 < args.size()) {
        out.report = args[++i];
      }
      const auto& native = out.report.native();
      if (out.report.empty()) out.error = "--report needs a FILE";
      else if (NativeOfText(TextOfNative(native)) != native) out.error = "--report: FILE's name is not valid text";
    } else if (switches && arg.starts_with('-') && arg.size() > 1) {
      out.error = "unknown option \"" + arg + "\" (a path that begins with \"-\" goes after \"--\")";
    } else {
      positional.push_back(args[i]);
    }
    if (!out.error.empty()) return out;
  }
  if (out.help) return out;
  if (positional.size() != 2) {
    out.error = "expected SOURCE and DESTINATION, got " + std::to_string(positional.size()) + " path(s)";
    return out;
  }
  out.source = positional[0];
  out.destination = positional[1];
  return out;
}

std::string BatchUsage() {
  return std::string(
      "Usage: quillward-batch [--set KEY=VALUE]... [--timeout SECONDS] [--jobs N]\n"
      "                       [--verify] [--exclude PATTERN]... [--verbose] [--changed]\n"
      "                       [--checksum] [--delete] [--delete-excluded]\n"
      "                       [--max-delete N] [--dry-run] [--report FILE] [--strict]\n"
      "                       [--] SOURCE DESTINATION\n"
      "\n"
      "Makes an encoded copy of the folder tree SOURCE under DESTINATION, exactly as the\n"
      "Start button of Quillward does: script files of the kinds chosen in Options are\n"
      "passed through the encoder (screnc, beside this program), every other file is\n"
      "copied unchanged. The stored Quillward settings are used; --set overrides one\n"
      "key for this run only and saves nothing. Keys: chkASP, chkHTML, chkJS, Check2\n"
      "(1/0, true/false, yes/no, on/off), chkLangDirect (1: no @language directive),\n"
      "Combo1, Combo2 (VBScript or JScript), txtDefxt (extensions treated as ASP, e.g.\n"
      "\"*.inc *.lib\"), chkVerify, chkChanged, chkDelete, chkDeleteExcluded (as\n"
      "--verify, --changed, --delete, --delete-excluded), txtExclude (patterns for\n"
      "every site). --timeout ends an encoder that works longer than SECONDS on one\n"
      "file and fails that file (default 300; 0: no\n"
      "limit). --jobs copies and encodes up to N files at once (default: the stored\n"
      "\"Jobs\", else the number of cores); the log is the same, line for line,\n"
      "whatever N. --verify decodes each\n"
      "encoded file again and fails it when its script text differs from the source\n"
      "(the stored chkVerify, for this run only).\n"
      "\n"
      "Entries named in a folder's .quillwardignore (the .gitignore pattern language)\n"
      "or by the stored \"txtExclude\" (patterns for every site) are left out;\n"
      "--exclude adds a PATTERN, anchored at SOURCE, that wins over both. --verbose\n"
      "logs each entry left out as \"<path> - excluded\".\n"
      "\n"
      "--changed leaves a file alone when the destination already holds this tool's\n"
      "result of it: same source size and time (with --checksum: same SHA-256 of its\n"
      "content), same kind, switches and encoder, and the destination file as the last\n"
      "run left it; it is logged as \"<path> - unchanged\". What was written is kept in\n"
      "a manifest in the user's state folder ($XDG_STATE_HOME/Quillward/manifests),\n"
      "never in DESTINATION. --delete then removes the files and folders this tool\n"
      "wrote whose source is gone; anything else in DESTINATION is left and logged as\n"
      "\"<path> - not from the source\". Only what the walk saw gone is removed: under a\n"
      "source folder it could not read in full (unreadable, a link, a name too long)\n"
      "nothing is, and the log says \"<path> - not removed: its source folder could\n"
      "not be read\". --delete-excluded (implies --delete) also removes the files this\n"
      "tool wrote that the ignore rules now leave out; without it the log counts them\n"
      "(\"N deployed files are now excluded and were kept\"). When more than N files\n"
      "would go (--max-delete, default 100, both kinds counted) nothing is removed and\n"
      "the exit status is 1. (The stored chkChanged, chkDelete and chkDeleteExcluded,\n"
      "for this run only.)\n"
      "--dry-run walks and decides as a run would and writes nothing, not even\n"
      "DESTINATION: each entry's line says what the run would do (\"<path> - would\n"
      "encode (/s)\", \"- would copy\", \"- would exclude\"), then a summary.\n"
      "--report FILE writes a JSON document about the run to FILE when it ends, also\n"
      "when it was stopped or refused (not inside SOURCE; see docs/report.md). A report\n"
      "that cannot be written is an error on stderr and exit status 1.\n"
      "After the walk, the files that encoded ASP pages pull in with <!-- #include -->\n"
      "are checked: one that was copied unencoded, does not exist, is excluded, failed\n"
      "or differs in letter case is named on a \"Warning: ...\" line. --strict makes each\n"
      "such line a failure (counted in the summary, exit status 1).\n"
      "\n"
      "Each log entry is printed as a line, as soon as it is done; messages go to\n"
      "stderr. Ctrl-C, SIGTERM or SIGHUP stop after the current file (an encoder still\n"
      "busy 2 s later is ended); a second Ctrl-C ends the program at once.\n"
      "\n"
      "Exit status: 0 every file copied, encoded or unchanged, 1 some file failed,\n"
      "--max-delete refused the removals or (with --strict) an include was found\n"
      "wanting, 2 the run was\n"
      "refused (identical or nested folders, a missing source, bad arguments),\n"
      "130 stopped.\n");
}
