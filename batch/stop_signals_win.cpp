#include "stop_signals.h"

#include "basShell.h"

#include <atomic>
#include <windows.h>

namespace {

std::atomic<bool> g_signalled{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT && g_signalled.exchange(true)) {
    KillRunningEncoder();
    return FALSE;  // the second Ctrl-C: the default handler ends the program
  }
  g_signalled = true;
  // Closing the console gives a few seconds; the job object ends the encoder after that.
  return TRUE;
}

}  // namespace

void InstallStopSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool StopSignalled() { return g_signalled.load(); }
