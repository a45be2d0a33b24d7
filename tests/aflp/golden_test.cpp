// Every output form of the simple computation against golden files worked
// out independently (tests/golden/make_golden.py, from the formulas, not
// from the program's code), byte for byte.
#include <gtest/gtest.h>

#include <cstdio>

#include "../testutil.h"
#include "aflp/distance.h"
#include "core/messages.h"

namespace lorvane {
namespace {

struct GoldenCase {
  const char* name;
  int r;
  float k;
  int index, jukescantor, package;
};

// The same cases as make_golden.py.
constexpr GoldenCase kCases[] = {
    {"jaccard-text", 1, 1.0f, 1, 0, 0},   {"dice-jc-text", 2, 0.3f, 2, 1, 0}, {"dice-jc-binary", 1, 1.0f, 2, 1, 1},
    {"jaccard-binary", 3, 0.3f, 1, 0, 1}, {"neili-text", 3, 2.0f, 3, 0, 0},   {"neili-binary", 1, 0.7f, 3, 1, 1},
};

TEST(GoldenTables, EveryIndexAndFormMatchesTheIndependentFiles) {
  const std::string golden = LORVANE_GOLDEN;
  for (const GoldenCase& c : kCases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::writefile(dir / "bands.txt", test::readfile(golden + "/bands.txt"));
    test::RecordingWindowSystem ws;
    CFile report(std::fopen((dir / "report").c_str(), "wb"));
    RunContext ctx{ws, report};
    ASSERT_EQ(test::errorstopof([&] { test::calcdist(ctx, dir / "bands.txt", c.r, c.k, c.index, c.jukescantor, c.package); }),
              "");
    std::vector<std::string> expected = test::listfolder(golden + "/" + c.name);
    for (const std::string& file : expected)
      EXPECT_TRUE(test::readfile(dir / file) == test::readfile(golden + "/" + c.name + "/" + file)) << file;
    expected.push_back("bands.txt");
    expected.push_back("report");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::listfolder(dir.path()), expected);
  }
}

}  // namespace
}  // namespace lorvane
