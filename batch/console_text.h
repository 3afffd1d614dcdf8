#pragma once
// Text to the console. UTF-8 text goes out as it is, except where a stream is a Windows
// console window, which is given the text in UTF-16 so that every name shows whole
// whatever the console's code page. Each write is flushed at once.

#include <cstdio>
#include <string>

void WriteText(std::FILE* stream, const std::string& utf8);

// Whether what is written to `stream` may be read as it comes: a pipe, a socket or a
// terminal (a deploy script reading the log, a person watching it). Not a file, nor the
// null device.
bool ReadAsWritten(std::FILE* stream);
