#include "core/computesettings.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace lorvane {

int ComputeSettings::threadcount() const {
  if (threads >= 1) return std::min(threads, 1024);
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(std::min(cores, 1024u)) : 1;
}

std::uint32_t ComputeSettings::seedvalue() const {
  if (seed) return *seed;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

int ComputeSettings::rowsperblock(int n) const {
  if (rowblock > 0) return (rowblock + 3) / 4 * 4;
  const int rows = (1 << 18) / (n > 0 ? n : 1);
  return std::clamp(rows / 4 * 4, 4, 1024);
}

int ComputeSettings::replicatesperbatch(long long cells) const {
  if (replicatebatch > 0) return replicatebatch;
  // At most 8 for each thread: a batch's trees wait in memory for their turn.
  const long long most = std::min(64LL, 8LL * std::max(threadcount(), 1));
  return static_cast<int>(std::clamp((1LL << 19) / std::max(cells, 1LL), 1LL, most));
}

std::string seedproblem(const char* seed) {
  if (!seed || !*seed) return {};
  const std::string_view text(seed);
  const bool digits = text.size() <= 10 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits && std::strtoull(seed, nullptr, 10) <= 4294967295ULL) return {};
  return "Error: LORVANE_SEED=" + std::string(text) + ": expected a whole number from 0 to 4294967295";
}

ComputeSettings computesettings(const char* threads, const char* seed, const char* kernel) {
  ComputeSettings s;
  if (threads) {
    char* end = nullptr;
    const long v = std::strtol(threads, &end, 10);
    if (end != threads && *end == '\0' && v >= 1) s.threads = static_cast<int>(std::min(v, 1024L));
  }
  if (seed && *seed && seedproblem(seed).empty()) s.seed = static_cast<std::uint32_t>(std::strtoull(seed, nullptr, 10));
  if (kernel) s.kernel = kernel;
  return s;
}

}  // namespace lorvane
