// SIGINT, SIGTERM and SIGHUP as a request to stop: the first one is recorded for the
// program to act on at its next safe point; a second one ends the program at once
// (the default action is restored when the first arrives).
#pragma once

void CatchStopSignals();
// Whether a stop signal has arrived.
bool StopSignalArrived();
