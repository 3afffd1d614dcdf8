#pragma once
// The check of an encoded page: the destination decoded again and set against the source,
// block by block. It passes when
//   - the output decodes to the source's text, leaving out what an encoder changes on
//     purpose: a "<%@ LANGUAGE = ... %>" line added at the top of an ASP page whose
//     first <% %> block is no directive, a LANGUAGE attribute added to a directive or a
//     <script> tag, and script language names
//     (`JScript.Encode`, `javascript`, `VBScript`) wherever they stand as a LANGUAGE value;
//   - every script language it names is of the family the source's script is in: the one
//     the source names, else the page's (its directive's), else the run's default;
//   - every piece of the source that holds script an encoder must encode (script_regions.h)
//     reads back from an encoded block: none of it is readable in the output, blanks
//     aside.

#include "run/walk/file_kind.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// Empty when `encoded` passes for `source` of this kind; else the first fault, with the
// line and byte offset in the source and a short excerpt of each side. `defaultFamily`:
// 'J' or 'V', the language of script that names none (script_regions.h), 0 when any will do.
// `clientFamily`, for an included HTML document whose client script a second pass encodes
// (include_client.h): the language of its client script that names none; that script
// must then read back from blocks too.
std::string CompareDecoded(std::string_view source, std::string_view encoded, FileKind kind, char defaultFamily,
                           char clientFamily = 0);

// The same for two files; an unreadable file is a difference with the system's reason.
// The result is "verification failed: ...", kVerificationStopped, or empty. `stop`, when
// given, is asked about every 50 ms on the calling thread (the one-worker run serves its
// window in it); when it answers yes the check ends at once.
std::string VerifyEncodedFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                              FileKind kind, char defaultFamily, const std::function<bool()>& stop = {},
                              char clientFamily = 0);

inline const std::string kVerificationStopped = "stopped: verification ended";
