// The band reader and the two computations, checked against values worked
// out by hand and against the exact bytes of their output files.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "../testutil.h"
#include "aflp/bands.h"
#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "aflp/paircount.h"
#include "aflp/random.h"
#include "core/datafile.h"
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
    return run([&](RunContext& ctx) { test::calcdist(ctx, input, r, k, index, jc, package); });
  }
  std::string boot(const std::string& bands, int r, float k, int index, int repetitions) {
    writefile(input, bands);
    return run([&](RunContext& ctx) { test::calcboot(ctx, input, r, k, index, 0, repetitions); });
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

TEST(SimpleComputation, DiceWithJukesCantorAndTheSiteLength) {
  Harness h;
  h.simple(kThree, 1, 1.0f, 2, 1);
  ASSERT_EQ(h.error, "");
  // Dice 2a/(b+c): 4/5, 2/5, 2/4.
  EXPECT_EQ(h.out(".matD"), "3\r\nS1        0.200 0.600 \r\nS2              0.500 \r\nS3                    \r\n");
  EXPECT_EQ(h.out(".matDJC"), "3\r\nS1        0.233 1.207 \r\nS2              0.824 \r\nS3                    \r\n");
  EXPECT_TRUE(h.ws.infos.empty());

  // With r = 2 the distance is 1 - sqrt(S): 1 - sqrt(0.8) = 0.106.
  Harness h2;
  h2.simple(kThree, 2, 1.0f, 2);
  EXPECT_EQ(h2.out(".matD").substr(3, 16), "S1        0.106 ");
  EXPECT_FALSE(exists(h2.input + ".matDJC"));
}

TEST(SimpleComputation, KWeighsTheUnsharedBands) {
  // K = 0.5 turns the Jaccard form into the Dice index.
  Harness j, d;
  j.simple(kThree, 1, 0.5f, 1);
  d.simple(kThree, 1, 1.0f, 2);
  EXPECT_EQ(j.out(".matJP"), d.out(".matDP"));
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

TEST(SimpleComputation, BinaryOutputsHoldTheWholeSquareTable) {
  Harness h;
  h.simple(kThree, 1, 1.0f, 1, 0, 1);
  ASSERT_EQ(h.error, "");
  for (const char* ext : {".matJ", ".matJP", ".nxy"}) {
    int l = 0, c = 0;
    readdims(h.input + ext, l, c);
    EXPECT_EQ(l, 3);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(h.out(ext).size(), 3u * 3u * 4u + 18u);
  }
  RealTable s = taballoc(3, 3), n = taballoc(3, 3);
  lecmat(s, h.input + ".matJP");
  lecmat(n, h.input + ".nxy");
  EXPECT_EQ(s(1, 1), 0.0);  // no similarity on the diagonal
  EXPECT_EQ(s(2, 1), s(1, 2));
  EXPECT_EQ(s(1, 2), static_cast<double>(static_cast<float>(2.0 / 3.0)));
  EXPECT_EQ(n(1, 1), 3.0);
  EXPECT_EQ(n(3, 1), 1.0);
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
  missing.run([&](RunContext& ctx) { test::calcdist(ctx, missing.dir / "none.txt", 1, 1.0f, 1, 0, 0); });
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
    const std::string error = test::errorstopof([&] {
      if (bootstrap)
        test::calcboot(ctx, input, 1, 1.0f, 2, 1, 20);
      else
        test::calcdist(ctx, input, 1, 1.0f, 2, 1, 0);
    });
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
  const std::string error = test::errorstopof([&] { test::calcdist(ctx, dir / "bands.txt", 1, 1.0f, 1, 0, 0); });
  setinterrupt(0);
  EXPECT_EQ(error, "Error: interrupted by signal " + std::to_string(SIGHUP));
  EXPECT_EQ(test::listfolder(dir.path()), (std::vector<std::string>{"bands.txt", "report"}));
}

TEST(Generator, FifteenBitSequenceAndColumnDraws) {
  Rng15 rng(1);
  EXPECT_EQ(rng.next(), 41);
  EXPECT_EQ(rng.next(), 18467);
  EXPECT_EQ(rng.next(), 6334);
  EXPECT_EQ(rng.next(), 26500);
  for (int m : {1, 2, 41, 1000, 32767, 32768, 100000}) {
    EXPECT_EQ(drawcolumn(0, m), 1);
    EXPECT_EQ(drawcolumn(32767, m), m) << m;
  }
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

TEST_F(Bootstrap, SameSeedSameReplicatesAndOneBlockPerReplicate) {
  Harness first, second;
  const std::string report = first.boot(bands, 1, 1.0f, 2, 3);
  second.boot(bands, 1, 1.0f, 2, 3);
  ASSERT_EQ(first.error, "");
  EXPECT_EQ(first.out(".matD"), second.out(".matD"));
  EXPECT_EQ(first.out(".matDJC"), second.out(".matDJC"));
  const std::string d = first.out(".matD");
  std::size_t blocks = 0;
  for (std::size_t at = d.find("4\r\nA "); at != std::string::npos; at = d.find("4\r\nA ", at + 1)) ++blocks;
  EXPECT_EQ(blocks, 3u);
  EXPECT_EQ(d.size(), 3u * (3 + 4 * (10 + 3 * 6 + 2)));  // count line, 4 lines of name, 3 fields, CR LF
  EXPECT_EQ(first.ws.progress,
            (std::vector<std::string>{"open Computing bootstraps", "1/3", "2/3", "3/3", "close"}));
  EXPECT_EQ(report.find("Souche"), std::string::npos);
  EXPECT_TRUE(report.ends_with("\r\nDistance = Dice\r\nOutput file: " + first.input +
                               ".matD\r\nOutput file for Jukes-Cantor correction: " + first.input +
                               ".matDJC\r\nRandom number seed: 1234\r\n"));
  EXPECT_FALSE(exists(first.input + ".provi"));

  Harness other;
  other.settings.seed = 99;
  other.boot(bands, 1, 1.0f, 2, 3);
  EXPECT_NE(other.out(".matD"), first.out(".matD"));
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

TEST_F(Bootstrap, CorrectedDistancesBeyondThreeQuartersAre999) {
  Harness h;
  h.boot("2 8\nA         11110000\nB         00001111\n", 1, 1.0f, 2, 4);
  const std::string c = h.out(".matDJC");
  EXPECT_EQ(c.find("nan"), std::string::npos);
  EXPECT_EQ(c.find("inf"), std::string::npos);
  // Every replicate holds a value; those of distance 0.75 or more are 999.
  const std::string d = h.out(".matD");
  for (std::size_t at = 0, cat = 0; (at = d.find("A         ", at)) != std::string::npos; at += 10, cat += 10) {
    cat = c.find("A         ", cat);
    const double dist = std::atof(d.c_str() + at + 10);
    const double corr = std::atof(c.c_str() + cat + 10);
    if (dist >= 0.75) {
      EXPECT_EQ(corr, 999.0);
    }
  }
}

}  // namespace
}  // namespace lorvane
