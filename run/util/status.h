#pragma once
// Failures as values. A reason reads like "permission denied (open /out/a.gif)": what went
// wrong, then the system call and the path it was given. OS error codes become text here,
// once.

#include <filesystem>
#include <string>
#include <system_error>

class Status {
public:
  static Status Ok() { return Status(); }
  static Status Fail(std::string reason) { return Status(std::move(reason)); }
  // `error` from the system call `call` on `path`.
  static Status FromError(const std::error_code& error, const char* call,
                          const std::filesystem::path& path);
  // The POSIX `errno` value `err` (also meaningful on Windows' C runtime).
  static Status FromErrno(int err, const char* call, const std::filesystem::path& path) {
    return FromError(std::error_code(err, std::generic_category()), call, path);
  }

  bool ok() const { return reason_.empty(); }
  const std::string& reason() const { return reason_; }

private:
  Status() = default;
  explicit Status(std::string reason) : reason_(std::move(reason)) {}
  std::string reason_;
};

// The system's message for `error` in UTF-8, starting with a small letter and without a
// final full stop ("permission denied"). One implementation per platform.
std::string ErrorText(const std::error_code& error);

// A message as ErrorText gives it: trimmed, the full stop removed, the first letter small.
std::string AsReason(std::string_view message);
