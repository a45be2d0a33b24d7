#pragma once
// Stopping a run from outside: a program without a window catches SIGINT,
// SIGTERM and SIGHUP, and the run in progress stops at its next step as at
// an error, so its temporary files and scratch file go as at any failed run
// and earlier outputs stay whole.
#include <string>

namespace lorvane {

// Catch the three signals. The first one asks the run to stop; a second of
// the same kind ends the program at once, as the signal would have.
void catchinterrupts();
// What a person asked for with the Cancel button of the progress window,
// in place of a signal number.
inline constexpr int kCancelledByUser = -1;

// The signal that asked to stop, kCancelledByUser, or 0.
int interruptsignal();
// Why the run stopped: "interrupted by signal N" or "cancelled by the user".
std::string interruptreason();
// Error stop "Error: " + interruptreason() when a stop was asked for.
void checkinterrupt();
// Ask to stop (signal > 0) or withdraw the request (0), as a signal would.
void setinterrupt(int signal);

}  // namespace lorvane
