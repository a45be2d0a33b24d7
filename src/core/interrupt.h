#pragma once
// Stopping a run from outside: a program without a window catches SIGINT,
// SIGTERM and SIGHUP, and the run in progress stops at its next step as at
// an error, so its temporary files and scratch file go as at any failed run
// and earlier outputs stay whole. A second signal ends the program at once:
// it removes the temporary files still in use, then exits with 128 + its
// number.
#include <signal.h>

#include <string>

namespace lorvane {

// Catch the three signals, without restarting the system call they break
// into (a blocking open of a FIFO gives up with EINTR), and ignore SIGPIPE:
// a write to a closed pipe fails like any other write.
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

// The temporary files in use, for the signal handler: a fixed table of
// kTemporarySlots paths (taken absolute). A path that does not fit, or finds
// the table full, is simply not removed by a signal.
inline constexpr int kTemporarySlots = 64;
void registertemporary(const std::string& path);
// The file was moved into place or removed: a signal leaves its name alone.
void forgettemporary(const std::string& path);
// Paths in the table now, for the tests.
int registeredtemporaries();

// While one lives, its thread defers the three signals, and a second signal
// taken by another thread waits for it to end before it removes the
// temporary files: the files it moves are never caught half moved.
class SignalHold {
 public:
  SignalHold();
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t saved_;  // the thread's earlier signal mask
};

}  // namespace lorvane
