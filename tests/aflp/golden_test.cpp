// The simple and bootstrap computations against golden files worked out
// independently (tests/golden/make_golden.py, from the formulas, not from the
// program's code), byte for byte; and the pieces they are made of against
// single values of the same script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sstream>

#include "../testutil.h"
#include "aflp/bootstrap.h"
#include "aflp/formulas.h"
#include "aflp/random.h"

namespace lorvane {
namespace {

// Each case of cases.txt: its band file and answers, then every file it
// writes against the case's folder. The bootstrap seeds of the Dice cases
// are the script's choice: each run holds a corrected value so near a
// rounding boundary that a correction off by 1e-7 shows in the text.
TEST(GoldenTables, EveryComputationAndFormMatchesTheIndependentFiles) {
  const std::string golden = LORVANE_GOLDEN;
  std::istringstream cases(test::readfile(golden + "/cases.txt"));
  int checked = 0;
  for (std::string line; std::getline(cases, line);) {
    if (line.starts_with("#")) continue;
    SCOPED_TRACE(line);
    std::istringstream in(line);
    std::string name, input;
    test::Computation c;
    std::uint32_t seed = 0;
    ASSERT_TRUE(in >> name >> input >> c.option >> c.r >> c.k >> c.index >> c.jukescantor >> c.last >> seed);
    ++checked;
    test::TempDir dir;
    test::writefile(dir / "bands.txt", test::readfile(golden + "/" + input));
    test::RecordingWindowSystem ws;
    CFile report(std::fopen((dir / "report").c_str(), "wb"));
    RunContext ctx{ws, report};
    ctx.settings.seed = seed;
    ASSERT_EQ(test::errorstopof([&] { test::compute(ctx, dir / "bands.txt", c); }), "");
    std::vector<std::string> expected = test::listfolder(golden + "/" + name);
    for (const std::string& file : expected)
      EXPECT_TRUE(test::readfile(dir / file) == test::readfile(golden + "/" + name + "/" + file)) << file;
    expected.push_back("bands.txt");
    expected.push_back("report");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::listfolder(dir.path()), expected);
  }
  EXPECT_EQ(checked, 10);
}

// Each line of formulas.txt: what is computed, its arguments, the value.
TEST(GoldenTables, GeneratorDrawsAndCorrectionsMatchTheIndependentValues) {
  std::istringstream lines(test::readfile(std::string(LORVANE_GOLDEN) + "/formulas.txt"));
  int checked = 0;
  for (std::string line; std::getline(lines, line); ++checked) {
    SCOPED_TRACE(line);
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind == "generator") {
      std::uint32_t seed = 0;
      in >> seed;
      Rng15 rng(seed);
      for (int v; in >> v;) EXPECT_EQ(rng.next(), v);
    } else if (kind == "draw" || kind == "drawwide") {
      int v1 = 0, v2 = 0, m = 0, column = 0;
      in >> v1;
      if (kind == "drawwide") in >> v2;
      in >> m >> column;
      EXPECT_EQ(kind == "draw" ? drawcolumn(v1, m) : drawwidecolumn(v1, v2, m), column);
    } else if (kind == "jukescantor" || kind == "neili") {
      double x = 0, value = 0;
      int r = 0;
      in >> x;
      if (kind == "neili") in >> r;
      in >> value;
      EXPECT_NEAR(kind == "neili" ? neili(x, r) : jukescantorcorrection(x), value, 1e-12);
    } else {
      ADD_FAILURE() << "unknown line";
    }
  }
  EXPECT_EQ(checked, 25);
}

}  // namespace
}  // namespace lorvane
