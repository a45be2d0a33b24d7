// The in-memory road of the pair tables: the reference and replicate tables
// of the bootstrap in memory must be the tables the files hold, replicate
// for replicate with the same seed, and a pair without a value must show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "../tables.h"
#include "../testutil.h"
#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "core/messages.h"

namespace lorvane {
namespace {

// The triangle text of a table as the files hold it (999 where it has no value).
std::string triangle(const HalfTable& t, const CharTable& names) {
  std::string text = std::to_string(t.n) + "\r\n";
  for (int i = 1; i <= t.n; ++i) {
    text += names[i] + std::string(static_cast<std::size_t>(i - 1) * 6, ' ');
    for (int j = i + 1; j <= t.n; ++j) {
      char field[64];
      const double v = std::isnan(t.value(i, j)) ? 999.0 : t.value(i, j);
      std::snprintf(field, sizeof field, "%5.3f ", static_cast<double>(static_cast<float>(v)));
      text += field;
    }
    text += "\r\n";
  }
  return text;
}

// Five strains in a band file; strain E has few bands: some replicates give
// it a Dice distance of 0.75 or more.
struct FiveStrains {
  test::TempDir dir;
  std::string input = dir / "bands.txt";
  test::RecordingWindowSystem ws;
  CFile report{std::fopen((dir / "report").c_str(), "wb")};
  FiveStrains() {
    test::writefile(input,
                    "5 12\nA         110100101101\nB         110000101100\nC         001011010011\n"
                    "D         111111111111\nE         000000000001\n");
  }
};

TEST(MemoryTables, BootstrapTablesInMemoryAreTheFilesReplicateForReplicate) {
  FiveStrains f;
  const std::string& input = f.input;
  auto& ws = f.ws;
  CFile& report = f.report;
  for (const int index : {1, 2}) {
    SCOPED_TRACE(index);
    RunContext ctx{ws, report};
    ctx.settings.seed = 77;
    ctx.settings.rowblock = 4;  // two blocks of rows
    const std::string extension = index == 1 ? ".matJ" : ".matD";
    test::compute(ctx, input, {2, 1, 0.8f, index, 0, 4});
    const std::string replicates = test::readfile(input + extension);
    const std::string corrections = index == 1 ? "" : test::readfile(input + ".matDJC");
    test::compute(ctx, input, {1, 1, 0.8f, index, 0, 0});
    SilentBands silent;
    const BandData d = readbands(input, ReadMode::Bootstrap, silent);
    const DistanceOptions o = DistanceOptions::bootstrap(1, 0.8f, static_cast<DistanceIndex>(index));
    std::string distances, corrected, reference;
    bool missing = false;
    bootstraptables(ctx.settings, d, o, Figure::Distance, 4, [&](int k, HalfTable& t) {
      (k == 0 ? reference : distances) += triangle(t, d.names);
    });
    if (index == 2)
      bootstraptables(ctx.settings, d, o, Figure::Corrected, 4, [&](int k, HalfTable& t) {
        if (k > 0) corrected += triangle(t, d.names);
        missing |= t.firstmissing() != std::pair{0, 0};
      });
    EXPECT_EQ(reference, test::readfile(input + extension));
    EXPECT_EQ(distances, replicates);
    EXPECT_EQ(corrected, corrections);
    EXPECT_EQ(missing, index == 2);  // the file shows such a pair as 999.000
    EXPECT_EQ(corrections.find("999.000") != std::string::npos, index == 2);
  }
}

// Each pair's figure as the formulas give it, whichever road FigureTable
// takes: worked out, stored in its memo, read back from it, or without a memo.
TEST(MemoryTables, FigureTablesHoldEachPairsFigureWithOrWithoutTheMemo) {
  FiveStrains f;
  const std::string& input = f.input;
  SilentBands silent;
  const BandData d = readbands(input, ReadMode::Bootstrap, silent);
  const struct {
    int index, correction;
    Figure figure;
  } cases[] = {{1, 0, Figure::Distance}, {2, 1, Figure::Corrected}, {3, 0, Figure::NeiLi}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    const DistanceOptions o =
        DistanceOptions::simple(1, 0.8f, static_cast<DistanceIndex>(c.index), c.correction == 1, false);
    PairSource source(d.bits, ComputeSettings{}, 2);
    const PairFormulas formulas(o);
    for (const long long ceiling : {source.ceiling(), -1LL}) {  // -1: no memo
      const FigureTable table(o, c.figure, ceiling, "test");
      HalfTable t;
      for (int pass = 0; pass < 2; ++pass) {
        table.run(source, TableShape{RowSpan::Upper, 2, 2}, t);
        ASSERT_EQ(t.n, d.n);
        std::pair<int, int> first{0, 0};
        for (int i = 2; i <= d.n; ++i)
          for (int j = 1; j < i; ++j) {
            const PairFigures p = formulas(source.sharedpair(i, j), source.bands(i), source.bands(j));
            const double want = p.has(c.figure) ? p.value(c.figure) : std::nan("");
            if (std::isnan(want) && first == std::pair{0, 0}) first = {i, j};
            const double got = t.value(j, i);
            EXPECT_TRUE(got == want || (std::isnan(want) && std::isnan(got)))
                << i << "," << j << " pass " << pass << " ceiling " << ceiling;
          }
        EXPECT_EQ(t.firstmissing(), first);
      }
    }
  }
}

}  // namespace
}  // namespace lorvane
