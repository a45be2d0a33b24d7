#pragma once
// Stopping a run from outside: a program without a window catches SIGINT,
// SIGTERM and SIGHUP, and the run in progress stops at its next step as at
// an error, so its temporary files and scratch file go as at any failed run
// and earlier outputs stay whole.
namespace lorvane {

// Catch the three signals. The first one asks the run to stop; a second of
// the same kind ends the program at once, as the signal would have.
void catchinterrupts();
// The signal that asked to stop, or 0.
int interruptsignal();
// Error stop "Error: interrupted by signal N" when a stop was asked for.
void checkinterrupt();
// Ask to stop (signal > 0) or withdraw the request (0), as a signal would.
void setinterrupt(int signal);

}  // namespace lorvane
