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

// The temporary-file table: each slot free, being filled, or holding a path
// the handler may read. The states lie together and the paths apart, and
// both are zero-initialised at compile time, so that a look at the table
// touches one page and a path written one more.
enum SlotState : int { kFree, kFilling, kInUse };
constinit std::array<std::atomic<int>, kTemporarySlots> states{};
constinit std::array<std::array<char, PATH_MAX>, kTemporarySlots> paths{};
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
  for (int k = 0; k < kTemporarySlots; ++k)
    if (states[k].load() == kInUse) ::unlink(paths[k].data());
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
  for (int k = 0; k < kTemporarySlots; ++k)
    if (states[k].load() == kInUse && full == paths[k].data()) return;  // a file opened again
  for (int k = 0; k < kTemporarySlots; ++k) {
    int expected = kFree;
    if (!states[k].compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(paths[k].data(), full.c_str(), full.size() + 1);
    states[k].store(kInUse);
    return;
  }
}

void forgettemporary(const std::string& path) {
  const std::string full = absolute(path);
  for (int k = 0; k < kTemporarySlots; ++k)
    if (states[k].load() == kInUse && full == paths[k].data()) {
      states[k].store(kFree);
      return;
    }
}

int registeredtemporaries() {
  int count = 0;
  for (const std::atomic<int>& state : states) count += state.load() == kInUse;
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
