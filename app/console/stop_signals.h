// SIGINT, SIGTERM and SIGHUP as a request to stop. The first one is recorded for the
// program to act on at its next safe point (a run stops like a cancel, the window
// closes as its quit button closes it); a second one ends the program at once (the
// default action is restored when the first arrives).
#pragma once

// Installs the handlers; before anything else (SDL, for one) can install its own.
void CatchStopSignals();
// Whether a stop signal has arrived, and which (0: none).
bool StopSignalArrived();
int StopSignalNumber();
// A descriptor that becomes readable when a stop signal arrives, for event loops
// that wait on descriptors; -1 before CatchStopSignals.
int StopSignalDescriptor();
