#pragma once
// The console's Stop button: Ctrl-C, SIGTERM and SIGHUP (Ctrl-C, Ctrl-Break and closing
// the console on Windows) ask the run to stop after the current file. A second Ctrl-C
// ends the program at once, and ends the encoder first, so that none outlives it.
// A closed stdout never ends the program: writing the log fails, the work goes on.

void InstallStopSignals();

// Whether a stop signal has arrived since the program started; any thread may ask.
bool StopSignalled();
