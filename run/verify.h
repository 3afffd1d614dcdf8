#pragma once
// The check of an encoded page: the destination decoded again and its script text set
// against the source's. The comparison leaves out what an encoder changes on purpose: a
// "<%@ LANGUAGE = ... %>" line added at the top of a page, a LANGUAGE attribute added
// to a directive or a <script> tag, and script language names (`JScript.Encode`,
// `javascript`, `VBScript`) wherever they stand as a LANGUAGE value.

#include "file_kind.h"

#include <filesystem>
#include <string>
#include <string_view>

// Empty when `encoded` decodes back to `source`; else the first difference, with the
// line and byte offset in the source and a short excerpt of each side. A script language
// named in the source must be of the same family in the output (JScript and JavaScript,
// or VBScript); the output may name one where the source named none. `needsBlock`: an
// output without any encoded block fails, however well it reads back.
std::string CompareDecoded(std::string_view source, std::string_view encoded, bool needsBlock = false);

// Whether an encoder's output for `source` of this kind must hold an encoded block: a
// plain script file always; an ASP page or include when it holds server script ("<%"
// that is not a "<%@" directive, or a <script> tag with RUNAT); an HTML document when a
// <script> tag names a script language. An output without one left the script readable
// (an encoder that copies, say).
bool NeedsEncodedBlock(FileKind kind, std::string_view source);

// The same for two files; an unreadable file is a difference with the system's reason.
// The result is "verification failed: ..." or empty.
std::string VerifyEncodedFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                              FileKind kind);
