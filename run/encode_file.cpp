#include "encode_file.h"

#include "fs_ops.h"
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

FileOutcome EncodeFile(FileKind kind, const fs::path& appDir, const RunSettings& settings,
                       const fs::path& source, const fs::path& destination,
                       const WaitControl& control, EncoderSession& encoder) {
  FileOutcome result;
  if (Status unlinked = RemoveIfLink(destination); !unlinked.ok()) {
    result.reason = unlinked.reason();
    return result;
  }
  // Another name of the source itself (a hard link, or a link the system does not show
  // as one): the name is replaced, never written or removed through.
  if (const std::optional<FileId> id = IdentityOf(source); id && IdentityOf(destination) == id) {
    if (Status removed = RemoveName(destination); !removed.ok()) {
      result.reason = removed.reason();
      return result;
    }
  }
  if (HoldsNoText(source)) {
    result.copied = true;
    result.reason = CopyFileAtomic(source, destination).reason();
    return result;
  }
  const std::optional<FileStamp> before = StampOf(destination);
  const ProcessOutcome outcome = encoder.Run(
      BuildEncoderCommand(kind, appDir, settings, AbsolutePath(source), AbsolutePath(destination)), control);
  result.stopped = outcome.how == ProcessOutcome::How::Stopped;
  result.reason = outcome.Succeeded() ? CheckOutput(before, destination) : outcome.Explained();
  if (result.reason.empty() && settings.Verify) result.reason = VerifyEncodedFile(source, destination, kind);
  // The page keeps its source's time, as a copy does; a file system that keeps none is no failure.
  if (result.reason.empty()) CopyModifiedTime(source, destination);
  if (result.reason.empty()) return result;

  // Nothing may ship in place of a page that failed.
  if (Exists(destination)) {
    if (Status removed = RemoveName(destination); !removed.ok()) {
      result.reason += "; the file left there could not be removed: " + removed.reason();
    } else if (before) {
      result.reason += "; the earlier output was removed";
    }
  }
  return result;
}
