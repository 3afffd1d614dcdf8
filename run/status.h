#pragma once
// Failures as values. A reason reads like "permission denied (open /out/a.gif)": what went
// wrong, then the system call and the path it was given. OS error codes become text here,
// once.

#include <QString>
#include <filesystem>
#include <system_error>

class Status {
public:
  static Status Ok() { return Status(); }
  static Status Fail(QString reason) { return Status(std::move(reason)); }
  // `error` from the system call `call` on `path`.
  static Status FromError(const std::error_code& error, const char* call,
                          const std::filesystem::path& path);
  // The POSIX `errno` value `err` (also meaningful on Windows' C runtime).
  static Status FromErrno(int err, const char* call, const std::filesystem::path& path) {
    return FromError(std::error_code(err, std::generic_category()), call, path);
  }

  bool ok() const { return reason_.isEmpty(); }
  const QString& reason() const { return reason_; }

private:
  Status() = default;
  explicit Status(QString reason) : reason_(std::move(reason)) {}
  QString reason_;
};

// The system's message for `error`, starting with a small letter ("permission denied").
QString ErrorText(const std::error_code& error);
