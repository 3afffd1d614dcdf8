#include "run/encoder/encode_page.h"

#include "run/includes/include_client.h"

#include "run/util/fs_ops.h"
#include "run/util/native_path.h"
#include "run/encoder/script_regions.h"
#include "run/encoder/verify.h"

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The encoder's result checked: what it left at `destination`, against what was there.
std::string CheckOutput(const std::optional<FileStamp>& before, const fs::path& destination) {
  const std::optional<FileStamp> after = StampOf(destination);
  if (!after) return "encoder wrote no output";
  if (before && *before == *after) return "encoder left the earlier output unchanged";
  if (after->size == 0) return "encoder wrote an empty file";
  return {};
}

}  // namespace

bool HoldsNoText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  char bytes[4] = {};
  in.read(bytes, sizeof bytes);
  const std::streamsize n = in.gcount();
  if (n == 0) return in.eof();
  const auto is = [&](const char* mark, std::streamsize size) {
    return n == size && std::equal(mark, mark + size, bytes);
  };
  return is("\xEF\xBB\xBF", 3) || is("\xFF\xFE", 2) || is("\xFE\xFF", 2);
}

namespace {

// A file settled before the encoder: failed, or copied as it is (`copied`).
void Settle(EntryRecord& record, std::string reason, bool copied = false) {
  record.reason = std::move(reason);
  record.action = !record.reason.empty() ? EntryAction::Failed : EntryAction::Copied;
  if (copied) record.switches.clear();
}

}  // namespace

EncodeStart BeginEncode(EntryRecord& record, const fs::path& appDir, const RunSettings& settings,
                        EncoderSession& encoder) {
  const fs::path& source = record.source;
  const fs::path& destination = record.destination;
  EncodeStart start;
  start.settled = true;
  if (Status unlinked = RemoveIfLink(destination); !unlinked.ok()) {
    Settle(record, unlinked.reason());
    return start;
  }
  // Another name of the source itself (a hard link, or a link the system does not show
  // as one): the name is replaced, never written or removed through. (Only a destination
  // that is there can be one; most are not, and cost one look then.)
  std::optional<FileStamp> before = StampOf(destination);
  if (const std::optional<FileId> id = before ? IdentityOf(source) : std::nullopt;
      id && IdentityOf(destination) == id) {
    if (Status removed = RemoveName(destination); !removed.ok()) {
      Settle(record, removed.reason());
      return start;
    }
    before.reset();
  }
  // One look at the source: its time for the page, and whether it is long enough to
  // hold text (more than a byte-order mark) without reading it.
  const std::optional<FileStamp> sourceStamp = StampOf(source);
  if ((!sourceStamp || sourceStamp->size <= 3) && HoldsNoText(source)) {
    Settle(record, CopyFileAtomic(source, destination).reason(), true);
    return start;
  }
  start.settled = false;
  start.before = before;
  start.command = BuildEncoderCommand(record.kind, appDir, settings, AbsolutePath(source), AbsolutePath(destination));
  start.verify = settings.Verify;
  start.family = DefaultFamily(record.kind, ToDisplayPath(source.filename()), settings);
  start.sourceStamp = sourceStamp;
  if (record.clientScript) {
    start.clientPass = true;
    start.clientFamily = DefaultFamily(FileKind::EncodeHtml, ToDisplayPath(source.filename()), settings);
    start.appDir = appDir;
    start.settings = &settings;
  }
  start.sent = encoder.Send(start.command);
  return start;
}

bool FinishEncode(EncodeStart& start, EntryRecord& record, const WaitControl& control, EncoderSession& encoder) {
  if (start.settled) return true;
  std::optional<ProcessOutcome> answered =
      start.sent ? encoder.Receive(control) : std::optional<ProcessOutcome>(encoder.Run(start.command, control));
  if (!answered) return false;
  const ProcessOutcome& outcome = *answered;
  const fs::path& destination = record.destination;
  std::string reason = outcome.Succeeded() ? CheckOutput(start.before, destination) : outcome.Explained();
  bool passStopped = false;
  if (reason.empty() && start.clientPass) {
    const ClientPass pass =
        EncodeIncludedClientScript(destination, start.appDir, *start.settings, start.clientFamily, control, encoder);
    reason = pass.reason;
    passStopped = pass.stopped;
  }
  const bool verifyStopped = reason.empty() && start.verify &&
                             (reason = VerifyEncodedFile(record.source, destination, record.kind, start.family,
                                                         control.poll, start.clientFamily)) == kVerificationStopped;
  // The page keeps its source's time, as a copy does; a file system that keeps none is no failure.
  if (reason.empty() && start.sourceStamp) SetModifiedTime(destination, *start.sourceStamp);
  // Nothing may ship in place of a page that failed.
  if (!reason.empty() && Exists(destination)) {
    if (Status removed = RemoveName(destination); !removed.ok()) {
      reason += "; the file left there could not be removed: " + removed.reason();
    } else if (start.before) {
      reason += "; the earlier output was removed";
    }
  }
  record.reason = std::move(reason);
  record.action = outcome.how == ProcessOutcome::How::Stopped || verifyStopped || passStopped ? EntryAction::Stopped
                  : !record.reason.empty()                    ? EntryAction::Failed
                                                              : EntryAction::Encoded;
  return true;
}
