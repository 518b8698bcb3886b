#include "stop_signals.h"

#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gStopSignal = 0;
int gPipe[2] = {-1, -1};

void OnStopSignal(int signal) {
  gStopSignal = signal;
  // Only async-signal-safe calls here; the pipe is non-blocking, so a full pipe
  // (a signal already waiting to be read) loses nothing that matters.
  if (gPipe[1] >= 0) {
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
  }
}

}  // namespace

void CatchStopSignals() {
  if (gPipe[0] < 0 && ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) gPipe[0] = gPipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = &OnStopSignal;
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool StopSignalArrived() { return gStopSignal != 0; }

int StopSignalNumber() { return gStopSignal; }

int StopSignalDescriptor() { return gPipe[0]; }
