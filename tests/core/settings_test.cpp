// The compute settings the programs take from their environment at start.
#include <gtest/gtest.h>

#include "core/computesettings.h"

namespace lorvane {
namespace {

TEST(ComputeSettings, TextsThatAreNotNumbersLeaveTheDefaults) {
  // A seed text that is no seed is also a fault the programs stop on.
  struct Case {
    const char *threads, *seed;
    int wantthreads;
    std::optional<std::uint32_t> wantseed;
    bool seedfault;
  };
  for (const Case& c : {Case{nullptr, nullptr, 0, std::nullopt, false}, Case{"3", "42", 3, 42u, false},
                        Case{"0", "", 0, std::nullopt, false}, Case{"2x", "-5", 0, std::nullopt, true},
                        Case{"5000", "4294967297", 1024, std::nullopt, true}, Case{"", "12 ", 0, std::nullopt, true},
                        Case{nullptr, "4294967295", 0, 4294967295u, false}, Case{nullptr, "abc", 0, std::nullopt, true},
                        Case{nullptr, "99999999999999999999", 0, std::nullopt, true}}) {
    const ComputeSettings s = computesettings(c.threads, c.seed, "popcnt");
    EXPECT_EQ(s.threads, c.wantthreads) << (c.threads ? c.threads : "null");
    EXPECT_EQ(s.seed, c.wantseed) << (c.seed ? c.seed : "null");
    EXPECT_EQ(seedproblem(c.seed).empty(), !c.seedfault) << (c.seed ? c.seed : "null");
    EXPECT_EQ(s.kernel, "popcnt");
  }
  ComputeSettings blocks;
  blocks.rowblock = 5;
  EXPECT_EQ(blocks.rowsperblock(100), 8);  // a multiple of 4
  EXPECT_EQ(ComputeSettings().rowsperblock(5000), 52);
  // Replicates of 200 strains side by side: 26, and 8 for each thread at most.
  for (const auto& [threads, batch] : {std::pair{4, 26}, std::pair{1, 8}}) {
    ComputeSettings side;
    side.threads = threads;
    EXPECT_EQ(side.replicatesperbatch(19900), batch) << threads << " threads";
  }
}

}  // namespace
}  // namespace lorvane
