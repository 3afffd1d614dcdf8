#pragma once
// The encoder's command line for one file.
//
// As one text (what Windows is given):
//   "<AppDir>screnc.exe"<switch part> "<source>" "<destination>"
// Switch part by kind:
//   EncodePlain           " /s"
//   EncodeHtml            " /s /l <Combo2>"
//   EncodeAspPage         <AspSwitch> " /s /l <Combo1>"
//   EncodeAspByExtension  " /s /e asp /xl /l <Combo1>"
// (" /l <language>" is left out when the language setting is empty.)
// On POSIX the same pieces become an argument vector, never a shell string: a POSIX
// name may hold quotes, blanks and newlines, and is passed through byte for byte.

#include "run/walk/file_kind.h"
#include "run/settings/run_settings.h"

#include <filesystem>
#include <string>
#include <vector>

struct EncoderCommand {
  std::string text;                    // the command line as one text, UTF-8
  std::filesystem::path::string_type nativeText;  // the same from the native paths (Windows)
  std::filesystem::path program;       // <AppDir><encoder file name>
  std::vector<std::filesystem::path::string_type> arguments;  // argv[1..]
  // What a serving encoder is sent for this file: the pieces of argv[1..] as bytes, POSIX
  // names exactly as they are, Windows ones as the UTF-8 of the command text's pieces.
  std::vector<std::string> requestArguments;
};

struct SwitchPart {
  std::string text;                 // exactly as placed in the command text, blanks included
  std::vector<std::string> tokens;  // the same switches as separate arguments
};

SwitchPart SwitchPartFor(FileKind kind, const RunSettings& settings);
// The second pass over an included HTML document (include_client.h):
// " /s /e html /l <Combo2>" (" /l <language>" left out as above).
SwitchPart ClientPassSwitchPart(const RunSettings& settings);

// `kind` must be one of the Encode kinds. `appDir` ends in a separator.
EncoderCommand BuildEncoderCommand(FileKind kind, const std::filesystem::path& appDir,
                                   const RunSettings& settings,
                                   const std::filesystem::path& source,
                                   const std::filesystem::path& destination);
// The same with the switches given.
EncoderCommand BuildEncoderCommand(const SwitchPart& part, const std::filesystem::path& appDir,
                                   const std::filesystem::path& source,
                                   const std::filesystem::path& destination);
