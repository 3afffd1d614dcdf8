#include "encode_file.h"

#include "fs_ops.h"
#include "paths.h"
#include "script_regions.h"
#include "verify.h"

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

EncodeStart BeginEncode(FileKind kind, const fs::path& appDir, const RunSettings& settings,
                        const fs::path& source, const fs::path& destination, EncoderSession& encoder) {
  EncodeStart start;
  start.settled = true;
  if (Status unlinked = RemoveIfLink(destination); !unlinked.ok()) {
    start.outcome.reason = unlinked.reason();
    return start;
  }
  // Another name of the source itself (a hard link, or a link the system does not show
  // as one): the name is replaced, never written or removed through. (Only a destination
  // that is there can be one; most are not, and cost one look then.)
  std::optional<FileStamp> before = StampOf(destination);
  if (const std::optional<FileId> id = before ? IdentityOf(source) : std::nullopt;
      id && IdentityOf(destination) == id) {
    if (Status removed = RemoveName(destination); !removed.ok()) {
      start.outcome.reason = removed.reason();
      return start;
    }
    before.reset();
  }
  // One look at the source: its time for the page, and whether it is long enough to
  // hold text (more than a byte-order mark) without reading it.
  const std::optional<FileStamp> sourceStamp = StampOf(source);
  if ((!sourceStamp || sourceStamp->size <= 3) && HoldsNoText(source)) {
    start.outcome.copied = true;
    start.outcome.reason = CopyFileAtomic(source, destination).reason();
    return start;
  }
  start.settled = false;
  start.destination = destination;
  start.before = before;
  start.command = BuildEncoderCommand(kind, appDir, settings, AbsolutePath(source), AbsolutePath(destination));
  start.verify = settings.Verify;
  start.source = source;
  start.kind = kind;
  start.family = DefaultFamily(kind, ToDisplayPath(source.filename()), settings);
  start.sourceStamp = sourceStamp;
  start.sent = encoder.Send(start.command);
  return start;
}

std::optional<FileOutcome> FinishEncode(EncodeStart& start, const WaitControl& control, EncoderSession& encoder) {
  if (start.settled) return start.outcome;
  std::optional<ProcessOutcome> answered =
      start.sent ? encoder.Receive(control) : std::optional<ProcessOutcome>(encoder.Run(start.command, control));
  if (!answered) return std::nullopt;
  const ProcessOutcome& outcome = *answered;
  const fs::path& destination = start.destination;
  FileOutcome result;
  result.stopped = outcome.how == ProcessOutcome::How::Stopped;
  result.reason = outcome.Succeeded() ? CheckOutput(start.before, destination) : outcome.Explained();
  if (result.reason.empty() && start.verify) {
    result.reason = VerifyEncodedFile(start.source, destination, start.kind, start.family, control.poll);
    result.stopped = result.reason == kVerificationStopped;
  }
  // The page keeps its source's time, as a copy does; a file system that keeps none is no failure.
  if (result.reason.empty() && start.sourceStamp) SetModifiedTime(destination, *start.sourceStamp);
  if (result.reason.empty()) return result;

  // Nothing may ship in place of a page that failed.
  if (Exists(destination)) {
    if (Status removed = RemoveName(destination); !removed.ok()) {
      result.reason += "; the file left there could not be removed: " + removed.reason();
    } else if (start.before) {
      result.reason += "; the earlier output was removed";
    }
  }
  return result;
}

FileOutcome EncodeFile(FileKind kind, const fs::path& appDir, const RunSettings& settings,
                       const fs::path& source, const fs::path& destination,
                       const WaitControl& control, EncoderSession& encoder) {
  // One file at a time: nothing else is in flight, so the answer is this file's.
  EncodeStart start = BeginEncode(kind, appDir, settings, source, destination, encoder);
  return FinishEncode(start, control, encoder).value_or(FileOutcome{});
}
