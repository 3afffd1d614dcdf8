#pragma once
// One file through the encoder, with every check of what it left behind.
//
// The encoder gets absolute paths, so that no path can be read as one of its switches.
// A link at the destination is removed first, never written through. An empty script
// file (no bytes, or a byte-order mark alone) is copied as it is: there is nothing to
// encode. After the encoder: a failure, a missing, unchanged or empty output for a
// non-empty source all fail the file, and leave no file at the destination, neither a
// half-written one nor one from an earlier run that would ship an old page as current.

#include "run/encoder/basShell.h"
#include "run/encoder/encoder_session.h"
#include "run/walk/entry_record.h"
#include "run/walk/file_kind.h"
#include "run/util/fs_ops.h"
#include "run/settings/run_settings.h"

#include <filesystem>
#include <optional>
#include <string>

// An encode begun (BeginEncode): settled when the file's record holds its result already
// (a check failed, or an empty script file was copied); else the encoder has it, or will
// have it in FinishEncode.
struct EncodeStart {
  bool settled = false;
  std::optional<FileStamp> before;  // what was at the destination before
  EncoderCommand command;
  bool sent = false;  // with a serving encoder, which answers in FinishEncode
  bool verify = false;
  char family = 0;  // the language of script that names none ('J', 'V')
  std::optional<FileStamp> sourceStamp;  // taken before the encoder ran: the page's time
  // An included HTML document (EntryRecord::clientScript): its client script is encoded
  // by a second pass (include_client.h), in this language where it names none ('J', 'V'; 0
  // when the HTML language is none the encoder knows, which fails that pass as it fails
  // every HTML document).
  bool clientPass = false;
  char clientFamily = 0;
  std::filesystem::path appDir;
  const RunSettings* settings = nullptr;
};

// The checks before the encoder, then the request sent when the session serves; with
// FinishEncode, one page through the encoder, split so that a worker can send the next
// file's request before this one is answered. Each start is finished in the order begun.
// The result goes into `record` (its source, destination and kind say what to do): its
// action (Encoded, Copied when it held no text, Failed, Stopped) and reason.
EncodeStart BeginEncode(EntryRecord& record, const std::filesystem::path& appDir, const RunSettings& settings,
                        EncoderSession& encoder);
// The encoder's answer and the checks after it; false, and `record` untouched, when the
// file was dropped unbegun (a stop ended the server that held it).
bool FinishEncode(EncodeStart& start, EntryRecord& record, const WaitControl& control, EncoderSession& encoder);

// Whether `path` holds no text: no bytes, or only a UTF-8 or UTF-16 byte-order mark.
bool HoldsNoText(const std::filesystem::path& path);
