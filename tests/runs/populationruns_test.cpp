// Options 10 to 12 through lorvane-cli: genotypes with missing scores, the
// faults of a groups file, a table that is not Euclidean, and AMOVA files
// that do not depend on the threads.
#include <gtest/gtest.h>

#include "../testutil.h"

namespace lorvane {
namespace {

struct Folder {
  test::TempDir dir;
  test::Run cli(const std::string& args) { return test::runprogram(std::string(LORVANE_CLI) + " " + args, dir.path()); }
  // The report files of the runs so far, joined.
  std::string reports() const {
    std::string all;
    for (const auto& name : test::listfolder(dir.datafolder()))
      if (name.starts_with("l-")) all += test::readfile(dir.datafolder() + "/" + name);
    return all;
  }
};

TEST(PopulationRuns, GenotypesWithMissingScoresJoinTheFirstGenotypeThatMatches) {
  Folder f;
  // B matches A where both are scored; C differs from A on band 2; D matches
  // C (not A); E matches both A and C and joins A's, the first.
  test::writefile(f.dir / "g.csv",
                  "name,pop,b1,b2,b3\nA,X,1,0,1\nB,X,1,?,1\nC,Y,?,1,1\nD,Y,1,1,?\nE,X,?,?,1\nF,Y,0,0,0\n");
  const test::Run r = f.cli("genotypes g.csv");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::readfile(f.dir / "g.csv.mlg.csv"),
            "strain,genotype,pop\r\nA,1,X\r\nB,1,X\r\nC,2,Y\r\nD,2,Y\r\nE,1,X\r\nF,3,Y\r\n");
  EXPECT_NE(f.reports().find("Multilocus genotypes: 3 among 6 strains\r\n--- A strain joins the first genotype "
                             "whose first strain has its scores on every band scored in both\r\n"
                             "--- Genotypes by pop: X (1), Y (2)\r\n"),
            std::string::npos)
      << f.reports();
}

TEST(PopulationRuns, AGroupsFileThatDoesNotFitStopsTheRunWithNothingWritten) {
  const struct {
    std::string groups, levels, error;
  } cases[] = {
      {"name,R,P\nA,r1,p1\nA,r1,p1\nB,r1,p2\nC,r2,p3\nD,r2,p4\n", "R,P", "the strain \"A\" is named twice"},
      {"name,R,P\nA,r1,p1\nB,r1,p2\nC,r2,p3\n", "R,P", "no row for the strain \"D\""},
      {"name,R,P\nA,r1,p1\nB,r1,p2\nC,r2,p2\nD,r2,p4\n", "R,P", "give the P \"p2\" in two R groups, \"r1\" and \"r2\""},
      {"name,R,P\nA,r1,p1\nB,r1,p2\nC,r2,p3\nD,r2,p4\n", "R,Q", "give no level \"Q\" (levels: R, P)"},
  };
  for (const auto& c : cases) {
    Folder f;
    test::writefile(f.dir / "b.txt", "4 3\nA         110\nB         011\nC         100\nD         001\n");
    test::writefile(f.dir / "g.csv", c.groups);
    const test::Run r = f.cli("amova --groups g.csv --levels " + c.levels + " b.txt");
    EXPECT_EQ(r.status, 1) << c.error;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_FALSE(test::exists(f.dir / "b.txt.amova.csv"));
  }
}

TEST(PopulationRuns, ATableThatIsNotEuclideanIsReportedAndCorrected) {
  Folder f;
  test::writefile(f.dir / "t.csv", ",P,Q,R,S\nP,0,1,3,2\nQ,1,0,1,2\nR,3,1,0,2\nS,2,2,2,0\n");
  test::writefile(f.dir / "g.csv", "name,pop\nP,a\nQ,a\nR,b\nS,b\n");
  const test::Run r = f.cli("amova --distance table --correction lingoes --groups g.csv --levels pop --permutations 0 t.csv");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string report = f.reports();
  EXPECT_NE(report.find("Negative eigenvalues: 1 (the table is not Euclidean)\r\nCorrection: Lingoes, constant "),
            std::string::npos) << report;
  EXPECT_NE(report.find("negative eigenvalues after it: 0\r\n"), std::string::npos) << report;
  EXPECT_TRUE(test::exists(f.dir / "t.csv.amova.csv"));
}

TEST(PopulationRuns, AmovaFilesDoNotDependOnTheThreadsAndTheReportEndsWithTheSeed) {
  Folder f;
  std::string bands = "40 30\n", groups = "name,Region,Pop\n";
  std::uint32_t state = 7;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "S" + std::to_string(i);
    bands += name + std::string(10 - name.size(), ' ');
    for (int b = 0; b < 30; ++b) bands += ((state = state * 1103515245u + 12345u) >> 16) % 3 < (i % 2 ? 1u : 2u) ? '1' : '0';
    bands += "\n";
    groups += name + ",R" + std::to_string(i % 2) + ",P" + std::to_string(i % 6) + "\n";
  }
  test::writefile(f.dir / "b.txt", bands);
  test::writefile(f.dir / "g.csv", groups);
  std::string first;
  for (const char* threads : {"1", "2"}) {
    const test::Run r = f.cli(std::string("amova --groups g.csv --levels Region,Pop --seed 11 --threads ") + threads + " b.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = test::readfile(f.dir / "b.txt.amova.csv");
    if (first.empty()) first = csv;
    EXPECT_EQ(csv, first);
  }
  EXPECT_TRUE(first.starts_with("source,df,SS,MS,sigma2,percent,phi,p\r\nBetween Region,1,")) << first;
  EXPECT_TRUE(f.reports().ends_with("\r\nRandom number seed: 11\r\n"));
}

}  // namespace
}  // namespace lorvane
