#pragma once
// Text in the run is UTF-8 in a std::string. Here: decoding and encoding, the repair of
// bytes that are not UTF-8, case folding, blanks, numbers as the settings hold them, and
// the conversions to and from the platform's own strings (bytes on POSIX, UTF-16 on
// Windows), which happen only at the edge.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point that starts at `at`, or nothing when the bytes there are not a whole,
// shortest, valid UTF-8 sequence of a scalar value. `length` is the sequence's length.
bool DecodeUtf8(std::string_view text, std::size_t at, char32_t& codePoint, std::size_t& length);
void AppendUtf8(std::string& out, char32_t codePoint);

// `bytes` with every byte that does not belong to a valid sequence replaced by U+FFFD,
// one replacement character for each such byte.
std::string ValidUtf8(std::string_view bytes);

// UTF-16 (also as wchar_t on Windows) and UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(std::u16string_view utf16);
std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);

// The platform's own string (the bytes of a POSIX name, the UTF-16 of a Windows one) as
// UTF-8 text, and back. Separators are left as they are.
std::string TextOfNative(const std::filesystem::path::string_type& native);
std::filesystem::path::string_type NativeOfText(std::string_view utf8);

// Simple Unicode case folding for Latin (Basic, Latin-1, Extended-A and B, Extended
// Additional), Greek, Cyrillic, Armenian and the full-width Latin letters; other code
// points are left as they are. Two names that differ only in letter case fold alike.
std::string FoldCase(std::string_view utf8);
char32_t FoldCase(char32_t codePoint);
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// Only the ASCII letters changed: for extensions and words compared with fixed ASCII text.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// White space as Unicode counts it (blank, tab, line ends, no-break space and the other
// separators).
bool IsSpace(char32_t codePoint);
// `text` without white space at either end.
std::string Trimmed(std::string_view text);

// A number as settings text holds it: optional white space, an optional sign, then
// decimal digits with an optional fraction and exponent, or "inf" or "nan".
bool ParseNumber(std::string_view text, double& value);
// A whole number in decimal, with optional ASCII white space and sign, that fits an int.
bool ParseInt(std::string_view text, int& value);
