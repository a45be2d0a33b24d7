// The simple and bootstrap computations against golden files worked out
// independently (tests/golden/make_golden.py, from the formulas, not from the
// program's code), byte for byte; and the pieces they are made of against
// single values of the same script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "../testutil.h"
#include "aflp/bootstrap.h"
#include "aflp/formulas.h"
#include "aflp/random.h"

namespace lorvane {
namespace {

// A case of cases.txt: its band file and answers, and the folder of the
// files it writes. The bootstrap seeds of the Dice cases are the script's
// choice: each run holds a corrected value so near a rounding boundary that
// a correction off by 1e-7 shows in the text.
struct GoldenCase {
  std::string name, input;
  test::Computation run;
  std::uint32_t seed = 0;
  bool read = false;
};
void PrintTo(const GoldenCase& c, std::ostream* out) { *out << c.name; }

std::vector<GoldenCase> goldencases() {
  std::vector<GoldenCase> cases;
  std::string text;  // none when unreadable: GoogleTest reports a suite without cases
  readwhole(std::string(LORVANE_GOLDEN) + "/cases.txt", text);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("#")) continue;
    GoldenCase c;
    std::istringstream in(line);
    c.read = static_cast<bool>(in >> c.name >> c.input >> c.run.option >> c.run.r >> c.run.k >> c.run.index >>
                               c.run.jukescantor >> c.run.last >> c.seed);
    cases.push_back(c);
  }
  return cases;
}

class GoldenFiles : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFiles, AreWrittenByteForByte) {
  const GoldenCase& c = GetParam();
  ASSERT_TRUE(c.read) << "unreadable line in cases.txt";
  const std::string golden = LORVANE_GOLDEN;
  test::TempDir dir;
  test::writefile(dir / "bands.txt", test::readfile(golden + "/" + c.input));
  test::RecordingWindowSystem ws;
  CFile report(std::fopen((dir / "report").c_str(), "wb"));
  RunContext ctx{ws, report};
  ctx.settings.seed = c.seed;
  ASSERT_EQ(test::errorstopof([&] { test::compute(ctx, dir / "bands.txt", c.run); }), "");
  std::vector<std::string> expected = test::listfolder(golden + "/" + c.name);
  for (const std::string& file : expected)
    EXPECT_TRUE(test::readfile(dir / file) == test::readfile(golden + "/" + c.name + "/" + file)) << file;
  expected.push_back("bands.txt");
  expected.push_back("report");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::listfolder(dir.path()), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenFiles, ::testing::ValuesIn(goldencases()), [](const auto& param) {
  std::string name = param.param.name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name.empty() ? "unreadable" + std::to_string(param.index) : name;
});

// Each line of formulas.txt: what is computed, its arguments, the value.
TEST(GoldenValues, GeneratorDrawsAndCorrectionsMatchTheIndependentOnes) {
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
