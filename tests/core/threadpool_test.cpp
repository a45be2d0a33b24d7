// The thread pool: every index once, a failing call ends the loop, a loop
// inside a loop, and a team of distinct threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/threadpool.h"

namespace lorvane {
namespace {

TEST(ThreadPool, EveryIndexOnceWhateverTheThreads) {
  for (int threads : {1, 2, 5})
    for (int count : {0, 1, 7, 1000}) {
      std::vector<std::atomic<int>> calls(static_cast<std::size_t>(count));
      parallelfor(count, threads, [&](int i) { ++calls[static_cast<std::size_t>(i)]; });
      for (const auto& c : calls) EXPECT_EQ(c.load(), 1) << threads << " threads, " << count;
    }
}

TEST(ThreadPool, AFailingCallEndsTheLoopAndALoopInsideALoopRunsInPlace) {
  // The calls after the failing one take a millisecond each, so that the
  // other thread cannot finish the loop while the failing one is held back
  // by the machine (a loop that did not stop would take two seconds).
  std::atomic<int> calls{0};
  EXPECT_THROW(parallelfor(4000, 2,
                           [&](int i) {
                             ++calls;
                             if (i == 10) throw std::runtime_error("stop");
                             if (i > 10) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                           }),
               std::runtime_error);
  EXPECT_LT(calls.load(), 4000);
  std::atomic<int> inner{0};
  parallelfor(4, 2, [&](int) { parallelfor(3, 2, [&](int) { ++inner; }); });
  EXPECT_EQ(inner.load(), 12);
}

TEST(ThreadPool, ATeamOfDistinctThreads) {
  std::mutex lock;
  std::set<std::thread::id> seen;
  std::vector<int> members;
  eachthread(3, [&](int t) {
    std::lock_guard hold(lock);
    seen.insert(std::this_thread::get_id());
    members.push_back(t);
  });
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_EQ(std::set<int>(members.begin(), members.end()), (std::set<int>{0, 1, 2}));
}

}  // namespace
}  // namespace lorvane
