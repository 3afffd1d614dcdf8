#pragma once
// One file through the encoder, with every check of what it left behind.
//
// The encoder gets absolute paths, so that no path can be read as one of its switches.
// A link at the destination is removed first, never written through. An empty script
// file (no bytes, or a byte-order mark alone) is copied as it is: there is nothing to
// encode. After the encoder: a failure, a missing, unchanged or empty output for a
// non-empty source all fail the file, and leave no file at the destination, neither a
// half-written one nor one from an earlier run that would ship an old page as current.

#include "basShell.h"
#include "encoder_session.h"
#include "file_kind.h"
#include "fs_ops.h"
#include "run_settings.h"

#include <filesystem>
#include <optional>
#include <string>

struct FileOutcome {
  std::string reason;    // empty when the file was encoded
  bool stopped = false;  // the encoder was ended on a stop request
  bool copied = false;   // it held no text and was copied as it is
};

// An encode begun (BeginEncode): settled when its outcome is known already (a check
// failed, or an empty script file was copied); else the encoder has it, or will have it
// in FinishEncode.
struct EncodeStart {
  bool settled = false;
  FileOutcome outcome;
  std::filesystem::path destination;
  std::optional<FileStamp> before;  // what was at the destination before
  EncoderCommand command;
  bool sent = false;  // with a serving encoder, which answers in FinishEncode
  bool verify = false;
  std::filesystem::path source;
  FileKind kind = FileKind::Copy;
  char family = 0;  // the language of script that names none ('J', 'V')
  std::optional<FileStamp> sourceStamp;  // taken before the encoder ran: the page's time
};

// The checks before the encoder, then the request sent when the session serves; with
// FinishEncode, what EncodeFile does, split so that a worker can send the next file's
// request before this one is answered. Each start is finished in the order begun.
EncodeStart BeginEncode(FileKind kind, const std::filesystem::path& appDir, const RunSettings& settings,
                        const std::filesystem::path& source, const std::filesystem::path& destination,
                        EncoderSession& encoder);
// The encoder's answer and the checks after it; no outcome when the file was dropped
// unbegun (a stop ended the server that held it).
std::optional<FileOutcome> FinishEncode(EncodeStart& start, const WaitControl& control, EncoderSession& encoder);

FileOutcome EncodeFile(FileKind kind, const std::filesystem::path& appDir, const RunSettings& settings,
                       const std::filesystem::path& source,
                       const std::filesystem::path& destination, const WaitControl& control,
                       EncoderSession& encoder);

// Whether `path` holds no text: no bytes, or only a UTF-8 or UTF-16 byte-order mark.
bool HoldsNoText(const std::filesystem::path& path);
