#include "stop_signals.h"

#include "basShell.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_signalled = 0;

extern "C" void OnStopSignal(int sig) {
  if (g_signalled && sig == SIGINT) {
    KillRunningEncoder();  // async-signal-safe: one kill(2)
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  g_signalled = 1;
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action{};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

bool StopSignalled() { return g_signalled != 0; }
