#pragma once
// The fixed words of the windows, shared by every face: titles, messages, captions that
// carry a rule, and counted nouns. Text is UTF-8.

#include <string>

// The application title: the main window's caption, the settings' name, the title of a
// message box that names none.
inline const std::string kAppTitle = "Quillward";
inline const std::string kMakerName = "Quillward Works";
inline const std::string kCopyright = "Copyright (c) Quillward Works";
inline const std::string kDescription = "Quillward - Encodes ASP, vbs, js, HTML code";

// The two titles of the main window's message boxes: what Start refuses, and everything
// else the window asks or says.
inline const std::string kSourceEncodeTitle = "Source Encode";
inline const std::string kEncodeWebsiteTitle = "Encode Website";

inline const std::string kDeviceUnavailable = "Device Unavailable!";
inline const std::string kCancelQuestion = "Cancel current Action?";
inline const std::string kPausedForQuestion = "Paused until the question is answered";
inline const std::string kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// "Version 1.0.5": the three numbers as plain decimal text.
std::string VersionText(int major, int minor, int revision);
// This program's version text.
std::string VersionText();

// "1 file", "2 files", "1,234 files": a count with its noun, singular for one, digits
// grouped by thousands with a comma. `plural` defaults to `singular` + "s".
std::string Counted(long long count, const std::string& singular, const std::string& plural = {});
// 1234567 as "1,234,567".
std::string GroupedNumber(long long n);
