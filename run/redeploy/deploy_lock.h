#pragma once
// One run at a time into a destination: a lock on a file beside the destination's
// manifest ("<manifest>.lock"), held for the whole run by every run that writes (a dry
// run takes none). The system's advisory lock, which ends with the process however it
// ends (flock on POSIX, LockFileEx on Windows), so a killed run never leaves a stale lock;
// the file itself stays, holding the last holder's process id, for the message of a run
// that finds it taken. One implementation per platform (deploy_lock_posix.cpp,
// deploy_lock_win.cpp); the waiting is common (deploy_lock.cpp).

#include "run/util/status.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

class DeployLock {
public:
  ~DeployLock();
  DeployLock(const DeployLock&) = delete;
  DeployLock& operator=(const DeployLock&) = delete;

  enum class Result {
    Held,         // taken: released when the lock object goes
    Busy,         // another process holds it
    Unavailable,  // no lock could be made there (a read-only state folder, say)
  };
  struct Attempt {
    Result result = Result::Unavailable;
    std::unique_ptr<DeployLock> lock;  // when Held
    unsigned long holder = 0;          // when Busy: the holder's process id, 0 when not known yet
    Status problem = Status::Ok();     // when Unavailable
  };

  // One try, never waiting.
  static Attempt TryTake(const std::filesystem::path& file);

  // Tries until it is taken, no lock can be made, `wait` has passed, or `stop` says so
  // (asked between tries, every 50 ms): then the last attempt.
  static Attempt Take(const std::filesystem::path& file, std::chrono::milliseconds wait,
                      const std::function<bool()>& stop);

private:
  explicit DeployLock(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// The lock file of the destination whose manifest is `manifestFile`.
std::filesystem::path LockFileFor(const std::filesystem::path& manifestFile);
