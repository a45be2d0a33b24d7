// The band reader and the two computations, checked against values worked
// out by hand and against the exact bytes of their output files.
#include <gtest/gtest.h>

#include <csignal>

#include "../testutil.h"
#include "aflp/bands.h"
#include "core/interrupt.h"
#include "core/messages.h"
#include "tables.h"

namespace lorvane {
namespace {

using test::exists;
using test::readfile;
using test::TempDir;
using test::writefile;

// Runs a computation on a band file and keeps what it showed and reported.
struct Harness {
  TempDir dir;
  test::RecordingWindowSystem ws;
  std::string input = dir / "bands.txt";
  std::string error;
  ComputeSettings settings;

  std::string run(const std::function<void(RunContext&)>& computation) {
    CFile report(std::fopen((dir / "report").c_str(), "wb"));
    RunContext ctx{ws, report, settings};
    try {
      computation(ctx);
    } catch (const ErrorStop& e) {
      error = e.what();
    }
    report.close();
    return readfile(dir / "report");
  }
  std::string simple(const std::string& bands, int r, float k, int index, int jc = 0, int package = 0) {
    writefile(input, bands);
    return run([&](RunContext& ctx) { test::compute(ctx, input, {1, r, k, index, jc, package}); });
  }
  std::string boot(const std::string& bands, int r, float k, int index, int repetitions) {
    writefile(input, bands);
    return run([&](RunContext& ctx) { test::compute(ctx, input, {2, r, k, index, 0, repetitions}); });
  }
  std::string out(const std::string& extension) { return readfile(input + extension); }
};

const char* const kThree =
    "3 5\n"
    "S1        11010\n"
    "S2        11000\n"
    "S3        00101\n";

TEST(SimpleComputation, JaccardFilesHoldTheHandWorkedValuesInTriangleForm) {
  Harness h;
  const std::string report = h.simple(kThree, 1, 1.0f, 1);
  ASSERT_EQ(h.error, "");
  // Pairs: (1,2) a=2 of 3 and 2 bands; (1,3) and (2,3) share none and count as sharing one.
  EXPECT_EQ(h.out(".matJ"),
            "3\r\n"
            "S1        0.333 0.750 \r\n"
            "S2              0.667 \r\n"
            "S3                    \r\n");
  EXPECT_EQ(h.out(".matJP"),
            "3\r\n"
            "S1        0.667 0.250 \r\n"
            "S2              0.333 \r\n"
            "S3                    \r\n");
  EXPECT_EQ(h.out(".nxy"),
            "3\r\n"
            "S1            3     2     1 \r\n"
            "S2                  2     1 \r\n"
            "S3                        2 \r\n");
  EXPECT_EQ(report,
            "Lorvane: Reading input file\r\n"
            "Input file: " + h.input + "\r\n"
            "--- Number of rows: 3, columns: 5\r\n"
            "Souche 1 : S1        \r\n"
            "Souche 2 : S2        \r\n"
            "Souche 3 : S3        \r\n"
            "Lorvane: Computing distances\r\n"
            "\r\nDistance = Jaccard\r\n"
            "Output file: " + h.input + ".matJ\r\n--- Number of rows: 3, columns: 3\r\n"
            "Output file: " + h.input + ".matJP\r\n--- Number of rows: 3, columns: 3\r\n"
            "Output file: " + h.input + ".nxy\r\n--- Number of rows: 3, columns: 3\r\n");
  EXPECT_FALSE(exists(h.input + ".provi"));
  EXPECT_FALSE(exists(h.input + ".matD"));
  EXPECT_EQ(h.ws.progress, (std::vector<std::string>{"open Computing distances", "1/3", "2/3", "3/3", "close"}));
}

TEST(SimpleComputation, KWeighsTheUnsharedBands) {
  // K = 0.5 turns the Jaccard form into the Dice index.
  Harness j, d;
  j.simple(kThree, 1, 0.5f, 1);
  d.simple(kThree, 1, 1.0f, 2);
  EXPECT_EQ(j.out(".matJP"), d.out(".matDP"));
  EXPECT_FALSE(exists(d.input + ".matDJC"));  // Dice without the correction
  // Identical strains are at distance 0 whatever K and r.
  Harness same;
  same.simple("2 4\nA         1011\nB         1011\n", 3, 0.3f, 1);
  EXPECT_EQ(same.out(".matJ"), "2\r\nA         0.000 \r\nB               \r\n");
}

TEST(SimpleComputation, DistanceOfThreeQuartersHasNoCorrectedValue) {
  Harness h;
  h.simple("2 8\nA         11110000\nB         00001111\n", 1, 1.0f, 2, 1);
  ASSERT_EQ(h.error, "");
  EXPECT_EQ(h.ws.infos, (std::vector<std::string>{"Erreur : dist[2][1] = 0.7500 "}));
  EXPECT_EQ(h.out(".matDJC"), "2\r\nA         999.000 \r\nB               \r\n");
}

TEST(SimpleComputation, StrainsWithoutBandsAreWarnedAndNeverGiveNan) {
  Harness h;
  const std::string report = h.simple("3 4\nA         1100\nB         0000\nC         0000\n", 1, 1.0f, 2, 1);
  ASSERT_EQ(h.error, "");
  EXPECT_NE(report.find("nsou1 = 2, nsou2 = 1, b = 0, c = 2\r\n"), std::string::npos);
  EXPECT_NE(report.find("nsou1 = 3, nsou2 = 2, b = 0, c = 0\r\n"), std::string::npos);
  for (const char* ext : {".matD", ".matDP", ".matDJC"}) {
    EXPECT_EQ(h.out(ext).find("nan"), std::string::npos) << ext;
    EXPECT_EQ(h.out(ext).find("inf"), std::string::npos) << ext;
  }
  // A strain without bands against one with two: a is taken as 1 and the
  // Dice form gives 1. Two strains without bands: the denominator is 0 and
  // the similarity 0.
  EXPECT_EQ(h.out(".matDP"), "3\r\nA         1.000 1.000 \r\nB               0.000 \r\nC                     \r\n");
}

TEST(SimpleComputation, NeiLiAndUnknownIndicesWriteOnlyWhatTheyShould) {
  Harness nl;
  const std::string report = nl.simple(kThree, 1, 1.0f, 3, 1);
  EXPECT_TRUE(exists(nl.input + ".matNL"));
  for (const char* ext : {".matJ", ".matD", ".matJP", ".matDP", ".nxy", ".matDJC"})
    EXPECT_FALSE(exists(nl.input + ext)) << ext;
  EXPECT_NE(report.find("\r\nDistance = Dice corrigee Nei & Li (79)\r\nOutput file: " + nl.input + ".matNL\r\n"),
            std::string::npos);

  Harness other;
  const std::string r4 = other.simple(kThree, 1, 1.0f, 4);
  EXPECT_EQ(test::listfolder(other.dir.path()), (std::vector<std::string>{"bands.txt", "report"}));
  EXPECT_TRUE(r4.ends_with("Lorvane: Computing distances\r\n"));
}

TEST(SimpleComputation, ParametersNoComputationCanUseStopBeforeAnyFileIsTouched) {
  for (auto [r, k] : {std::pair{0, 1.0f}, std::pair{-2, 1.0f}, std::pair{1, -0.5f}}) {
    Harness h;
    writefile(h.input + ".matJ", "earlier");
    const std::string report = h.simple(kThree, r, k, 1);
    EXPECT_NE(h.error.find("(calcdist)"), std::string::npos) << h.error;
    EXPECT_EQ(report, "");
    EXPECT_EQ(h.out(".matJ"), "earlier");
    EXPECT_FALSE(exists(h.input + ".provi"));
  }
}

TEST(BandReader, NamesKeepTheirBlanksAndOnlyDigitsAboveZeroArePresent) {
  Harness h;
  const std::string report = h.simple(
      "2 12\n"
      "Strain7   101010000000\n"
      "Other     923456789-+.\n",
      1, 1.0f, 1);
  ASSERT_EQ(h.error, "");
  EXPECT_NE(report.find("Souche 1 : Strain7   \r\n"), std::string::npos);
  // Diagonal band counts: 3 for the first strain, 9 digits above 0 for the second.
  EXPECT_EQ(h.out(".nxy"), "2\r\nStrain7       3     3 \r\nOther               9 \r\n");
}

TEST(BandReader, EveryByteReadsAsItsDigitInBothStores) {
  // Long lines read many codes at a time: every byte value but the line
  // ends, at every position, on lines of 300 codes (and a short one).
  std::string bands = "4 300\n";
  std::vector<std::string> codes;
  for (int i = 0; i < 4; ++i) {
    std::string line;
    for (int k = 0; k < (i == 3 ? 137 : 300); ++k) {
      const int c = (k * 7 + i * 101 + k / 13) % 256;
      line.push_back(c == '\n' || c == '\r' || c == 0 ? '1' : static_cast<char>(c));
    }
    codes.push_back(line);
    bands += "Strain" + std::to_string(i) + "   " + line + "\n";  // a 10-character name
  }
  TempDir dir;
  writefile(dir / "bands.txt", bands);
  for (const bool values : {true, false}) {  // the values of the scratch file, then the bits
    test::RecordingWindowSystem ws;
    CFile report(std::fopen((dir / "report").c_str(), "wb"));
    RunContext ctx{ws, report};
    SilentBands silent;
    BandData d = readbands(dir / "bands.txt", ReadMode::Bootstrap, silent);
    const RealTable presence = values ? readbandvalues(dir / "bands.txt") : RealTable();
    ASSERT_EQ(d.n, 4);
    for (int i = 1; i <= 4; ++i)
      for (int k = 1; k <= 300; ++k) {
        const auto at = static_cast<std::size_t>(k - 1);
        const int value = at < codes[static_cast<std::size_t>(i - 1)].size()
                              ? bandvalue(codes[static_cast<std::size_t>(i - 1)][at])
                              : 0;
        if (values)
          ASSERT_EQ(presence(i, k), value) << "strain " << i << " band " << k;
        else
          ASSERT_EQ(d.bits.test(i - 1, k - 1), value > 0) << "strain " << i << " band " << k;
      }
  }
}

TEST(BandReader, LineLengthsFollowTheReadCapacity) {
  // A line with 9 characters after its codes spills its line end into the
  // next strain; a short line's missing codes are absent, even after a
  // longer line.
  Harness spill;
  const std::string report = spill.simple("3 2\nAAAAAAAAAA11123456789\nB         11\n", 1, 1.0f, 1);
  ASSERT_EQ(spill.error, "");
  EXPECT_NE(report.find("Souche 2 : \r\nSouche 3 : B         \r\n"), std::string::npos);

  Harness shortline;
  shortline.simple("2 3\nLong      111\nShort     1\nignored line\n", 1, 1.0f, 1);
  EXPECT_EQ(shortline.out(".nxy"), "2\r\nLong          3     1 \r\nShort               1 \r\n");
}

TEST(BandReader, FaultsStopTheRunWithAClearMessageAndNoScratchFile) {
  struct Case {
    const char* content;
    const char* message;
  };
  for (const Case& c : {Case{"3 5\nS1        11010\n", "Error : End of file"},
                        Case{"3\t5\nS1        11010\n", "must give the number of strains and the number of bands"},
                        Case{"0 5\n", "must give the number of strains"}, Case{"", "must give the number of strains"},
                        Case{"2 -4\nA\nB\n", "must give the number of strains"}}) {
    Harness h;
    h.simple(c.content, 1, 1.0f, 1);
    EXPECT_NE(h.error.find(c.message), std::string::npos) << c.content << " -> " << h.error;
    EXPECT_FALSE(exists(h.input + ".provi"));
    EXPECT_FALSE(exists(h.input + ".matJ"));
  }
  Harness missing;
  missing.run([&](RunContext& ctx) { test::compute(ctx, missing.dir / "none.txt", {}); });
  EXPECT_EQ(missing.error, "Error: can't open input file " + (missing.dir / "none.txt") +
                               " (readbands): No such file or directory");
  EXPECT_EQ(test::listfolder(missing.dir.path()), (std::vector<std::string>{"report"}));

  Harness huge;
  huge.simple("999999999 999999999\nA         1\n", 1, 1.0f, 1);
  EXPECT_NE(huge.error.find("announces more than 999999 strains or bands"), std::string::npos) << huge.error;
}

// Asks the run to stop at a given progress step, as a signal would.
class StopAtStep : public test::RecordingWindowSystem {
 public:
  explicit StopAtStep(int at) : at_(at) {}
  void progressStep(int step, int total) override {
    RecordingWindowSystem::progressStep(step, total);
    if (step == at_) setinterrupt(SIGINT);
  }

 private:
  int at_;
};

TEST(Interrupt, AStopMidRunEndsItAsAnErrorAndLeavesOnlyEarlierFiles) {
  std::string bands = "40 90\n";
  for (int i = 0; i < 40; ++i) {
    std::string codes;
    for (int k = 0; k < 90; ++k) codes.push_back((i * 31 + k * 7) % 5 < 2 ? '1' : '0');
    char name[16];
    std::snprintf(name, sizeof name, "S%-9d", i + 10);
    bands.append(name).append(codes).append("\n");
  }
  ComputeSettings blocks;
  blocks.rowblock = 4;  // several blocks, so that the stop comes with writes under way
  for (const bool bootstrap : {false, true}) {
    TempDir dir;
    const std::string input = dir / "bands.txt";
    writefile(input, bands);
    writefile(input + ".matD", "earlier");
    StopAtStep ws(bootstrap ? 3 : 12);
    CFile report(std::fopen((dir / "report").c_str(), "wb"));
    RunContext ctx{ws, report, blocks};
    const std::string error =
        test::errorstopof([&] { test::compute(ctx, input, {bootstrap ? 2 : 1, 1, 1.0f, 2, 1, bootstrap ? 20 : 0}); });
    setinterrupt(0);
    EXPECT_EQ(error, "Error: interrupted by signal " + std::to_string(SIGINT)) << bootstrap;
    EXPECT_EQ(ws.progress.back(), "close");
    EXPECT_EQ(readfile(input + ".matD"), "earlier");
    EXPECT_EQ(test::listfolder(dir.path()), (std::vector<std::string>{"bands.txt", "bands.txt.matD", "report"}));
  }

  // Asked before the run: it stops while reading, before any output exists.
  TempDir dir;
  writefile(dir / "bands.txt", bands);
  test::RecordingWindowSystem ws;
  CFile report(std::fopen((dir / "report").c_str(), "wb"));
  RunContext ctx{ws, report};
  setinterrupt(SIGHUP);
  const std::string error = test::errorstopof([&] { test::compute(ctx, dir / "bands.txt", {}); });
  setinterrupt(0);
  EXPECT_EQ(error, "Error: interrupted by signal " + std::to_string(SIGHUP));
  EXPECT_EQ(test::listfolder(dir.path()), (std::vector<std::string>{"bands.txt", "report"}));
}

class Bootstrap : public ::testing::Test {
 protected:
  // Runs seeded with 1234.
  struct Harness : lorvane::Harness {
    Harness() { settings.seed = 1234; }
  };
  const std::string bands =
      "4 10\nA         1101001011\nB         1100001011\nC         0010110100\nD         1111111111\n";
};

// The replicates themselves are the golden files' (golden_test.cpp).
TEST_F(Bootstrap, ReportAndProgressNameTheFilesAndTheSeed) {
  Harness first;
  const std::string report = first.boot(bands, 1, 1.0f, 2, 3);
  ASSERT_EQ(first.error, "");
  EXPECT_EQ(first.ws.progress,
            (std::vector<std::string>{"open Computing bootstraps", "1/3", "2/3", "3/3", "close"}));
  EXPECT_EQ(report.find("Souche"), std::string::npos);
  EXPECT_TRUE(report.ends_with("\r\nDistance = Dice\r\nOutput file: " + first.input +
                               ".matD\r\nOutput file for Jukes-Cantor correction: " + first.input +
                               ".matDJC\r\nRandom number seed: 1234\r\n"));
  EXPECT_FALSE(exists(first.input + ".provi"));
}

TEST_F(Bootstrap, NoRepetitionsGivesEmptyFilesAndNoColumnsGivesZeroDistances) {
  Harness none;
  none.boot(bands, 1, 1.0f, 2, 0);
  EXPECT_EQ(none.out(".matD"), "");
  EXPECT_EQ(none.out(".matDJC"), "");

  Harness jaccard;
  jaccard.boot(bands, 1, 1.0f, 1, 1);
  EXPECT_FALSE(exists(jaccard.input + ".matDJC"));

  // K = 0 draws no column: every pair is warned about and at distance 0.
  Harness zero;
  const std::string report = zero.boot(bands, 1, 0.0f, 1, 1);
  EXPECT_NE(report.find("nsou1 = 4, nsou2 = 3, b = 0, c = 0\r\n"), std::string::npos);
  EXPECT_EQ(zero.out(".matJ").substr(3, 28), "A         0.000 0.000 0.000 ");
}

}  // namespace
}  // namespace lorvane
