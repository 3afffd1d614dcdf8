#include "run/report/report.h"

#include "run/encoder/encoder_session.h"
#include "run/util/fs_ops.h"
#include "run/util/json_writer.h"
#include "run/util/native_path.h"
#include "run/util/non_regular.h"
#include "run/util/text.h"

#include <cstdio>
#include <iterator>

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

#ifndef QW_VERSION
#define QW_VERSION "0.0.0"
#endif

std::string Base64(std::string_view bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - at);
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      group = (group << 8) | (i < n ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    }
    for (std::size_t i = 0; i < 4; ++i) out += i <= n ? digits[(group >> (18 - 6 * i)) & 63] : '=';
  }
  return out;
}

std::string LostBytesOf(const fs::path& path) {
  const fs::path::string_type& native = path.native();
  if (NativeOfText(TextOfNative(native)) == native) return {};
  return Base64(std::string_view(reinterpret_cast<const char*>(native.data()),
                                 native.size() * sizeof(fs::path::value_type)));
}

std::string IsoUtc(Clock::time_point time) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(time);
  const auto day = floor<days>(ms);
  const year_month_day date{day};
  const hh_mm_ss clock{ms - day};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

EncoderIdentity IdentifyEncoder(const fs::path& program, bool ask) {
  EncoderIdentity id;
  id.path = program;
  if (const auto stamp = StampOf(program)) {
    id.size = stamp->size;
    id.modifiedNs = stamp->modifiedNs;
    if (ask && EncoderServes(program)) id.serveVersion = std::string(kServeHello, kServeHelloSize - 1);
  }
  return id;
}

std::string ReportPlaceProblem(const fs::path& report, const fs::path& source) {
  const fs::path folder = ParentFolder(PlainPath(report));
  const PathRelation relation = folder.empty() ? PathRelation::Apart : RelatePaths(folder, source);
  if (relation == PathRelation::Same || relation == PathRelation::FirstInsideSecond) {
    return "Report file can not be inside the Source Path: " + ToDisplayPath(report);
  }
  return {};
}

Status WriteReportFile(const fs::path& file, const std::string& document) {
  // A device, a FIFO or standard output is written into, never renamed over.
  if (IsStreamTarget(file)) return WriteIntoStream(file, document);
  return ReplaceFileWith(file, document);
}

void WriteRunningReport(const fs::path& file, const fs::path& source, const RunReport& report) {
  std::error_code ec;
  const fs::file_status there = fs::status(file, ec);
  if (!ReportPlaceProblem(file, source).empty() || (fs::exists(there) && !fs::is_regular_file(there))) return;
  WriteReportFile(file, report.Document(ReportStatus::Running, {}));  // the end's report tells a failure
}

namespace {

// Names in the order of the enumerations' members.
constexpr const char* kActionNames[] = {"folder",  "encoded", "copied",  "unchanged", "excluded",
                                        "deleted", "failed",  "stopped", "kept"};
constexpr const char* kKindNames[] = {"copy", "script", "html", "asp", "asp-extension"};
constexpr const char* kStatusNames[] = {"completed", "stopped", "refused", "running"};
static_assert(std::size(kActionNames) == static_cast<std::size_t>(EntryAction::Kept) + 1);
static_assert(std::size(kKindNames) == static_cast<std::size_t>(FileKind::EncodeAspByExtension) + 1);
static_assert(std::size(kStatusNames) == static_cast<std::size_t>(ReportStatus::Running) + 1);

const char* ActionName(EntryAction action) { return kActionNames[static_cast<std::size_t>(action)]; }
const char* KindName(FileKind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }
const char* StatusName(ReportStatus status) { return kStatusNames[static_cast<std::size_t>(status)]; }

// A path as text, and its native form beside it when the text lost something.
void PathMember(JsonWriter& json, const char* name, const fs::path& path) {
  json.Key(name);
  if (path.empty()) return json.Null();
  json.String(ToDisplayPath(path));
  if (const std::string lost = LostBytesOf(path); !lost.empty()) {
    json.Key(std::string(name) + "_bytes");
    json.String(lost);
  }
}

void TextOrNull(JsonWriter& json, const char* name, const std::string& text) {
  json.Key(name);
  if (text.empty()) json.Null();
  else json.String(text);
}

void Strings(JsonWriter& json, const char* name, const std::vector<std::string>& list) {
  json.Key(name);
  json.BeginArray();
  for (const std::string& s : list) json.String(s);
  json.EndArray();
}

void Options(JsonWriter& json, const RunSettings& s) {
  json.Key("options");
  json.BeginObject();
  const auto flag = [&json](const char* name, bool value) { json.Key(name); json.Bool(value); };
  const auto text = [&json](const char* name, const std::string& value) { json.Key(name); json.String(value); };
  const auto number = [&json](const char* name, int value) { json.Key(name); json.Integer(value); };
  flag("encode_asp", s.EncodeAsp);
  flag("encode_html", s.EncodeHtml);
  flag("encode_js", s.EncodeJs);
  flag("encode_vbs", s.EncodeVbs);
  text("asp_language", s.AspLanguage);
  text("html_language", s.HtmlLanguage);
  text("asp_extensions", s.AspExtensions);
  flag("no_language_directive", !s.AspSwitch.empty());
  number("timeout_seconds", s.TimeoutSeconds);
  number("jobs", s.Jobs);
  flag("verify", s.Verify);
  flag("changed", s.Changed);
  flag("checksum", s.Checksum);
  flag("delete", s.Delete);
  flag("delete_excluded", s.DeleteExcluded);
  number("max_delete", s.MaxDelete);
  flag("dry_run", s.DryRun);
  flag("strict", s.Strict);
  flag("verbose", s.Verbose);
  Strings(json, "site_excludes", s.SiteExcludes);
  Strings(json, "excludes", s.CommandExcludes);
  json.EndObject();
}

void Encoder(JsonWriter& json, const std::optional<EncoderIdentity>& encoder) {
  json.Key("encoder");
  if (!encoder) return json.Null();
  json.BeginObject();
  PathMember(json, "path", encoder->path);
  json.Key("size");
  if (encoder->size) json.Unsigned(*encoder->size);
  else json.Null();
  json.Key("modified");
  if (encoder->modifiedNs) json.String(IsoUtc(Clock::time_point(std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::nanoseconds(*encoder->modifiedNs)))));
  else json.Null();
  TextOrNull(json, "serve_version", encoder->serveVersion);
  json.EndObject();
}

void Record(JsonWriter& json, const EntryRecord& r) {
  json.BeginObject();
  json.Key("path");
  json.String(r.relative);
  json.Key("folder");
  json.Bool(r.folder);
  json.Key("action");
  json.String(ActionName(r.action));
  json.Key("kind");
  if (r.folder || r.action == EntryAction::Excluded || r.action == EntryAction::Kept) json.Null();
  else json.String(KindName(r.kind));
  json.Key("switches");
  json.String(r.switches);
  PathMember(json, "source", r.source);
  PathMember(json, "destination", r.destination);
  json.Key("bytes_in");
  json.Unsigned(r.bytesIn);
  json.Key("bytes_out");
  json.Unsigned(r.bytesOut);
  json.Key("milliseconds");
  json.Fixed(static_cast<double>(r.microseconds) / 1000.0, 3);
  TextOrNull(json, "reason", r.reason);
  json.EndObject();
}

void Totals(JsonWriter& json, const std::vector<EntryRecord>& records) {
  long long counts[std::size(kActionNames)] = {};
  std::uint64_t in = 0, out = 0;
  std::int64_t microseconds = 0;
  for (const EntryRecord& r : records) {
    ++counts[static_cast<int>(r.action)];
    in += r.bytesIn;
    out += r.bytesOut;
    microseconds += r.microseconds;
  }
  json.Key("totals");
  json.BeginObject();
  json.Key("entries");
  json.Integer(static_cast<std::int64_t>(records.size()));
  for (std::size_t a = 0; a < std::size(kActionNames); ++a) {
    json.Key(std::string(kActionNames[a]) + (a == static_cast<std::size_t>(EntryAction::Folder) ? "s" : ""));
    json.Integer(counts[a]);
  }
  json.Key("bytes_in");
  json.Unsigned(in);
  json.Key("bytes_out");
  json.Unsigned(out);
  json.Key("milliseconds");
  json.Fixed(static_cast<double>(microseconds) / 1000.0, 3);
  json.EndObject();
}

}  // namespace

RunReport::RunReport(const RunSettings& settings, fs::path source, fs::path destination)
    : settings_(settings), source_(std::move(source)), destination_(std::move(destination)),
      started_(Clock::now()) {}

void RunReport::Entry(const EntryRecord& record) { records_.push_back(record); }

std::string RunReport::Document(ReportStatus status, const std::string& message) const {
  JsonWriter json;
  json.BeginObject();
  json.Key("format");
  json.String("quillward-report");
  json.Key("format_version");
  json.Integer(1);
  json.Key("tool");
  json.BeginObject();
  json.Key("name");
  json.String("quillward");
  json.Key("version");
  json.String(QW_VERSION);
  json.EndObject();
  Encoder(json, encoder_);
  PathMember(json, "source", source_);
  PathMember(json, "destination", destination_);
  Options(json, settings_);
  json.Key("started");
  json.String(IsoUtc(started_));
  json.Key("ended");
  if (status == ReportStatus::Running) json.Null();
  else json.String(IsoUtc(Clock::now()));
  json.Key("status");
  json.String(StatusName(status));
  TextOrNull(json, "message", message);
  json.Key("entries");
  json.BeginArray();
  for (const EntryRecord& r : records_) Record(json, r);
  json.EndArray();
  Totals(json, records_);
  json.Key("manifest_warnings");
  json.BeginArray();
  for (const ReportWarning& w : warnings_) {
    json.BeginObject();
    PathMember(json, "path", w.path);
    TextOrNull(json, "problem", w.problem);
    TextOrNull(json, "reason", w.reason);
    TextOrNull(json, "effect", w.effect);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return json.Text();
}
