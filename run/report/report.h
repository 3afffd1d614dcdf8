#pragma once
// The run's report (RunSettings::ReportPath, quillward-batch --report FILE): one JSON
// document written when the run ends, however it ends (completed, stopped, refused), for
// deploy scripts. docs/report.md describes it field by field; docs/report.schema.json is
// its JSON Schema.
//
// The report is told every entry as the walk logs it (an EntryObserver), keeps the
// records, and writes the whole document at the end: to a temporary file beside FILE,
// then renamed over it, so that a reader never sees half a report; a FILE that is a
// device, a FIFO or standard output is written into instead. FILE may not lie inside the
// source tree (the next run would deploy it).
//
// Paths go out as UTF-8 text. One whose native form is not valid text (bytes that are not
// UTF-8 on POSIX, an unpaired surrogate on Windows) is written with U+FFFD in their place,
// and beside it a member "<name>_bytes" with the native form in base64 (the bytes on
// POSIX, UTF-16LE on Windows), so that nothing is lost.

#include "run/walk/entry_record.h"
#include "run/settings/run_settings.h"
#include "run/util/status.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The encoder a run used: what the report says about it.
struct EncoderIdentity {
  std::filesystem::path path;
  std::optional<std::uint64_t> size;              // nothing when it is not there
  std::optional<std::int64_t> modifiedNs;         // since the epoch
  std::string serveVersion;                       // its answer to the serving handshake
                                                  // ("screnc-serve 1"); empty when none
};
// `ask`: start it once to shake hands (never in a dry run).
EncoderIdentity IdentifyEncoder(const std::filesystem::path& program, bool ask);

enum class ReportStatus { Completed, Stopped, Refused, Running };

// A warning about what the run keeps beside the destination (its manifest, journal, lock).
struct ReportWarning {
  std::filesystem::path path;
  std::string problem;  // "not read", "not saved", "not written", "not taken"
  std::string reason;
  std::string effect;
};

class RunReport : public EntryObserver {
public:
  RunReport(const RunSettings& settings, std::filesystem::path source, std::filesystem::path destination);
  void Entry(const EntryRecord& record) override;

  void SetEncoder(EncoderIdentity encoder) { encoder_ = std::move(encoder); }
  void AddWarning(ReportWarning warning) { warnings_.push_back(std::move(warning)); }
  // The whole document, the run having ended now; `message`: why it was refused.
  std::string Document(ReportStatus status, const std::string& message) const;

private:
  RunSettings settings_;
  std::filesystem::path source_, destination_;
  std::optional<EncoderIdentity> encoder_;
  std::chrono::system_clock::time_point started_;
  std::vector<EntryRecord> records_;
  std::vector<ReportWarning> warnings_;
};

// The report's file must not be `source` or inside it; the refusal's text, else empty.
std::string ReportPlaceProblem(const std::filesystem::path& report, const std::filesystem::path& source);

// `document` written to `file` through a temporary file beside it renamed into place; into
// `file` itself when it is a device, a FIFO or standard output (non_regular.h).
Status WriteReportFile(const std::filesystem::path& file, const std::string& document);

// The document of a run that has begun (status "running", no end), written to `file` in
// place of an older run's report, so that a run killed before its end never leaves one
// that is not its own. Not where the report may not go, and not onto a file that is not
// a regular one (a stream gets the one document at the end).
void WriteRunningReport(const std::filesystem::path& file, const std::filesystem::path& source,
                        const RunReport& report);

// A time as ISO 8601 in UTC with milliseconds: "2025-01-31T09:05:02.123Z".
std::string IsoUtc(std::chrono::system_clock::time_point time);
// The native form of `path` in base64 when it is not valid text; empty when it is.
std::string LostBytesOf(const std::filesystem::path& path);
std::string Base64(std::string_view bytes);
