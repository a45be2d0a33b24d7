// The compute settings the programs take from their environment at start.
#include <gtest/gtest.h>

#include "core/computesettings.h"

namespace lorvane {
namespace {

TEST(ComputeSettings, TextsThatAreNotNumbersLeaveTheDefaults) {
  struct Case {
    const char *threads, *seed;
    int wantthreads;
    std::optional<std::uint32_t> wantseed;
  };
  for (const Case& c : {Case{nullptr, nullptr, 0, std::nullopt}, Case{"3", "42", 3, 42u},
                        Case{"0", "", 0, std::nullopt}, Case{"2x", "-5", 0, std::nullopt},
                        Case{"5000", "4294967297", 1024, 1u}, Case{"", "12 ", 0, std::nullopt}}) {
    const ComputeSettings s = computesettings(c.threads, c.seed, "popcnt");
    EXPECT_EQ(s.threads, c.wantthreads) << (c.threads ? c.threads : "null");
    EXPECT_EQ(s.seed, c.wantseed) << (c.seed ? c.seed : "null");
    EXPECT_EQ(s.kernel, "popcnt");
  }
  ComputeSettings blocks;
  blocks.rowblock = 5;
  EXPECT_EQ(blocks.rowsperblock(100), 8);  // a multiple of 4
  EXPECT_EQ(ComputeSettings().rowsperblock(5000), 52);
  EXPECT_EQ(ComputeSettings().replicatesperbatch(19900), 26);
}

}  // namespace
}  // namespace lorvane
