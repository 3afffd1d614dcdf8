#include "stop_signals.h"

#include "run/encoder/basShell.h"

#include <atomic>
#include <csignal>

namespace {

// Set by the handler, on whichever thread the signal lands (a worker's, say), and read by
// the walk's thread: an atomic both may touch, lock-free so that the handler may.
std::atomic<bool> g_signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

extern "C" void OnStopSignal(int sig) {
  if (g_signalled.load() && sig == SIGINT) {
    KillRunningEncoder();  // async-signal-safe: one kill(2)
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  g_signalled.store(true);
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action{};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

bool StopSignalled() { return g_signalled.load(); }
