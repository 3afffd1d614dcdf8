#pragma once
// The check of an encoded page: the destination decoded again and its script text set
// against the source's. The comparison leaves out what an encoder changes on purpose: a
// "<%@ LANGUAGE = ... %>" line added at the top of a page, a LANGUAGE attribute added
// to a directive or a <script> tag, and script language names (`JScript.Encode`,
// `javascript`, `VBScript`) wherever they stand as a LANGUAGE value.

#include <filesystem>
#include <string>
#include <string_view>

// Empty when `encoded` decodes back to `source`; else the first difference, with the
// line and byte offset in the source and a short excerpt of each side.
std::string CompareDecoded(std::string_view source, std::string_view encoded);

// The same for two files; an unreadable file is a difference with the system's reason.
// The result is "verification failed: ..." or empty.
std::string VerifyEncodedFile(const std::filesystem::path& source, const std::filesystem::path& destination);
