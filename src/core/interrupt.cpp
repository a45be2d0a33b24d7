#include "core/interrupt.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>

#include "core/messages.h"

namespace lorvane {

namespace {
std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

// A slot of the temporary-file table: free, being filled, or holding a path
// the handler may read.
enum SlotState : int { kFree, kFilling, kInUse };
// Zero-initialised at compile time, so that the table costs no page until a
// path is written into it.
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX]{};
};
constinit std::array<Slot, kTemporarySlots> slots{};
// Signal holds alive in any thread.
std::atomic<int> holds{0};

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char here[PATH_MAX];
  if (!::getcwd(here, sizeof here)) return path;
  return std::string(here) + "/" + path;
}

extern "C" void onsignal(int signal) {
  int earlier = requested.load();
  while (earlier <= 0 && !requested.compare_exchange_weak(earlier, signal)) {
  }
  if (earlier <= 0) return;  // the first: the run stops at its next step
  // The second: end now, once files being moved in another thread are in place.
  while (holds.load() > 0) {
  }
  for (Slot& s : slots)
    if (s.state.load() == kInUse) ::unlink(s.path);
  ::_exit(128 + signal);
}
}  // namespace

void catchinterrupts() {
  struct sigaction action {};
  action.sa_handler = onsignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a system call the signal breaks into fails with EINTR,
  // and its caller looks at the flag.
  action.sa_flags = 0;
  for (int signal : kCaught) ::sigaction(signal, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
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

void registertemporary(const std::string& path) {
  const std::string full = absolute(path);
  if (full.empty() || full.size() >= PATH_MAX) return;
  for (const Slot& s : slots)
    if (s.state.load() == kInUse && full == s.path) return;  // a file opened again
  for (Slot& s : slots) {
    int expected = kFree;
    if (!s.state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(s.path, full.c_str(), full.size() + 1);
    s.state.store(kInUse);
    return;
  }
}

void forgettemporary(const std::string& path) {
  const std::string full = absolute(path);
  for (Slot& s : slots)
    if (s.state.load() == kInUse && full == s.path) {
      s.state.store(kFree);
      return;
    }
}

int registeredtemporaries() {
  int count = 0;
  for (const Slot& s : slots) count += s.state.load() == kInUse;
  return count;
}

SignalHold::SignalHold() {
  sigset_t caught;
  sigemptyset(&caught);
  for (int signal : kCaught) sigaddset(&caught, signal);
  ::pthread_sigmask(SIG_BLOCK, &caught, &saved_);
  holds.fetch_add(1);
}

SignalHold::~SignalHold() {
  holds.fetch_sub(1);
  ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace lorvane
