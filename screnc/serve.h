// Serving many files from one process (`screnc --serve`): after a handshake, each
// request is the argument vector of one per-file call, and each answer its exit status
// and the text that call would have written. All numbers are 32-bit little-endian.
//
//   client: "screnc-serve 1\n"          server: "screnc-serve 1\n"
//   request:  COUNT, then COUNT times (LENGTH, LENGTH bytes)   (the arguments)
//   answer:   STATUS, LENGTH, LENGTH bytes                     (stdout and stderr text)
//
// The end of input before a request ends the server with status 0; a wrong handshake or
// a request cut short or too large ends it with 255, with a line on stderr.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace screnc {

inline constexpr std::string_view kServeFlag = "--serve";
inline constexpr std::string_view kServeHello = "screnc-serve 1\n";

// Limits on one request, so that a stray byte stream cannot make the server allocate
// without end.
inline constexpr std::uint32_t kMaxArguments = 1u << 12;
inline constexpr std::uint32_t kMaxArgumentBytes = 1u << 20;

// Serves requests read from `in`, answering on `out`, until the end of `in`; returns the
// process's exit status.
int serve(std::FILE* in, std::FILE* out);

}  // namespace screnc
