#include "run/redeploy/deploy_lock.h"

#include <thread>

namespace fs = std::filesystem;

fs::path LockFileFor(const fs::path& manifestFile) {
  fs::path file = manifestFile;
  file += ".lock";
  return file;
}

DeployLock::Attempt DeployLock::Take(const fs::path& file, std::chrono::milliseconds wait,
                                     const std::function<bool()>& stop) {
  const auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
    Attempt attempt = TryTake(file);
    if (attempt.result != Result::Busy || std::chrono::steady_clock::now() >= until || (stop && stop())) {
      return attempt;
    }
    // The system offers no wait with a time limit on these locks: a try every 50 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}
