#include "run/redeploy/deploy_lock.h"

#include "run/util/native_path.h"

#include <cstdlib>
#include <string>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

// The lock is one byte far past the text, so that the holder's id stays readable to the
// process that finds the lock taken (a locked range cannot be read by another handle).
constexpr DWORD kLockOffsetHigh = 1;

Status LastError(const char* call, const fs::path& path) {
  return Status::FromError(std::error_code(static_cast<int>(GetLastError()), std::system_category()), call, path);
}

unsigned long HolderOf(HANDLE h) {
  char text[32] = {};
  OVERLAPPED at = {};
  DWORD n = 0;
  if (!ReadFile(h, text, sizeof text - 1, &n, &at) || n == 0) return 0;
  return std::strtoul(text, nullptr, 10);
}

}  // namespace

DeployLock::~DeployLock() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }  // the lock goes with it

DeployLock::Attempt DeployLock::TryTake(const fs::path& file) {
  Attempt attempt;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    attempt.problem = LastError("CreateFileW", file);
    return attempt;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    attempt.problem = Status::Fail("not a regular file (CreateFileW " + ToDisplayPath(file) + ")");
    CloseHandle(h);
    return attempt;
  }
  OVERLAPPED range = {};
  range.OffsetHigh = kLockOffsetHigh;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
    if (GetLastError() == ERROR_LOCK_VIOLATION) {
      attempt.result = Result::Busy;
      attempt.holder = HolderOf(h);
    } else {
      attempt.problem = LastError("LockFileEx", file);
    }
    CloseHandle(h);
    return attempt;
  }
  const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
  OVERLAPPED at = {};
  DWORD written = 0;
  if (SetEndOfFile(h)) WriteFile(h, pid.data(), static_cast<DWORD>(pid.size()), &written, &at);
  attempt.result = Result::Held;
  attempt.lock.reset(new DeployLock(reinterpret_cast<std::intptr_t>(h)));
  return attempt;
}
