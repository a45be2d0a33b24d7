#include "core/interrupt.h"

#include <signal.h>

#include <atomic>
#include <string>

#include "core/messages.h"

namespace lorvane {

namespace {
std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void onsignal(int signal) { requested.store(signal, std::memory_order_relaxed); }
}  // namespace

void catchinterrupts() {
  struct sigaction action {};
  action.sa_handler = onsignal;
  sigemptyset(&action.sa_mask);
  // System calls go on after the handler (the run stops at its next step),
  // and the handler is taken away after its first call.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

int interruptsignal() { return requested.load(std::memory_order_relaxed); }

std::string interruptreason() {
  const int signal = interruptsignal();
  return signal == kCancelledByUser ? "cancelled by the user" : "interrupted by signal " + std::to_string(signal);
}

void checkinterrupt() {
  if (interruptsignal() != 0) errorstop("Error: " + interruptreason());
}

void setinterrupt(int signal) { requested.store(signal, std::memory_order_relaxed); }

}  // namespace lorvane
