#include "stop_signals.h"

#include "run/encoder/basShell.h"

#include <atomic>
#include <cstdio>
#include <windows.h>

namespace {

std::atomic<bool> g_signalled{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT && g_signalled.exchange(true)) {
    // The second Ctrl-C ends the program at once, with the status of a stopped run (the
    // default handler's would be 0 under Wine).
    KillRunningEncoder();
    std::fflush(stdout);
    ExitProcess(130);
  }
  g_signalled = true;
  // Closing the console gives a few seconds; the job object ends the encoder after that.
  return TRUE;
}

}  // namespace

void InstallStopSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool StopSignalled() { return g_signalled.load(); }
