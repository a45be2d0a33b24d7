// The population analyses against golden files made once by ade4
// (tests/population/make_golden.R) on simulated band data of two designs:
// df, sums of squares, mean squares, variance components, percentages and
// Φ statistics to 12 significant digits; p-values of 999 permutations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "../testutil.h"

namespace lorvane {
namespace {

const std::string kGolden = LORVANE_GOLDEN_POPULATION;

// The lines of a text (CR LF or LF) split at commas (no quoted field here).
std::vector<std::vector<std::string>> fields(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::string line;
  for (char c : text + "\n") {
    if (c == '\r') continue;
    if (c != '\n') {
      line += c;
      continue;
    }
    if (!line.empty()) {
      rows.emplace_back();
      std::size_t at = 0;
      for (std::size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1)
        rows.back().push_back(line.substr(at, comma - at));
      rows.back().push_back(line.substr(at));
    }
    line.clear();
  }
  return rows;
}

void expectnear(const std::string& ours, const std::string& golden, double relative, const std::string& where) {
  ASSERT_EQ(ours.empty(), golden.empty()) << where;
  if (golden.empty()) return;
  const double a = std::stod(ours), b = std::stod(golden);
  EXPECT_LE(std::fabs(a - b), relative * std::max(std::fabs(b), 1e-300)) << where << ": " << ours << " against " << golden;
}

// DATA.amova.csv (source,df,SS,MS,sigma2,percent,phi,p) against ade4's table (df,SS,MS,sigma2,percent,phi).
void expectgolden(const std::string& csv, const std::string& golden, double relative) {
  const auto ours = fields(test::readfile(csv)), theirs = fields(test::readfile(kGolden + "/" + golden));
  ASSERT_EQ(ours.size(), theirs.size()) << golden;
  for (std::size_t r = 1; r < ours.size(); ++r) {
    EXPECT_EQ(ours[r][1], theirs[r][0]) << golden << " df of " << ours[r][0];
    for (std::size_t k = 1; k < 6; ++k) expectnear(ours[r][k + 1], theirs[r][k], relative, golden + ", " + ours[r][0]);
  }
}

struct Folder {
  test::TempDir dir;
  Folder() {
    for (const char* f : {"published.txt", "published.groups.csv", "unbalanced.txt", "unbalanced.groups.csv"})
      test::writefile(dir / f, test::readfile(kGolden + "/" + f));
  }
  test::Run cli(const std::string& args) { return test::runprogram(std::string(LORVANE_CLI) + " " + args, dir.path()); }
};

TEST(PopulationGolden, AmovaOfBothDesignsIsAde4sAndItsPermutationsAgree) {
  std::map<std::string, std::vector<std::string>> ade4p;
  for (auto& row : fields(test::readfile(kGolden + "/ade4-pvalues.csv")))
    ade4p[row[0]] = std::vector<std::string>(row.begin() + 1, row.end());
  const struct {
    std::string data, levels, more, golden;
  } cases[] = {
      {"published", "Region,Pop", "", "published-2"},
      {"published", "Pop", "", "published-1"},
      {"unbalanced", "Region,Pop", "", "unbalanced-2"},
      {"unbalanced", "Pop", "", "unbalanced-1"},
      {"published", "Region,Pop", "--clone-correct Pop", "published-clonecorrected"},
  };
  Folder f;
  for (const auto& c : cases) {
    const test::Run r = f.cli("amova --groups " + c.data + ".groups.csv --levels " + c.levels + " --seed 2026 " +
                              c.more + " " + c.data + ".txt");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = f.dir / (c.data + ".txt.amova.csv");
    expectgolden(csv, c.golden + ".amova.csv", 1e-12);
    if (!ade4p.count(c.golden)) continue;
    const auto ours = fields(test::readfile(csv));
    for (std::size_t k = 0; k < ade4p[c.golden].size(); ++k) {
      const double p = std::stod(ours[k + 1][7]), theirs = std::stod(ade4p[c.golden][k]);
      // Strongly structured: no permutation reaches the observed value.
      if (c.data == "published") {
        EXPECT_EQ(p, 0.001) << c.golden << " row " << k;
      }
      // Other draws of the same null distribution: within 4 standard errors.
      EXPECT_NEAR(p, theirs, 4 * std::sqrt(2 * theirs * (1 - theirs) / 999) + 0.002) << c.golden << " row " << k;
    }
  }
}

// δ of every pair of strains of a band file (the fixed layout, no missing
// score), as a CSV table: the square root of the bands that differ, or
// that number itself.
std::string deltatable(const std::string& bandfile, bool squared) {
  std::vector<std::string> names, bands;
  std::FILE* in = std::fopen(bandfile.c_str(), "r");
  char buffer[512];
  for (bool header = true; std::fgets(buffer, sizeof buffer, in); header = false) {
    if (header) continue;
    std::string text(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::string name = text.substr(0, 10);
    name.erase(name.find_last_not_of(' ') + 1);
    names.push_back(name);
    bands.push_back(text.substr(10));
  }
  std::fclose(in);
  std::string csv;
  for (const std::string& n : names) csv += "," + n;
  csv += "\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    csv += names[i];
    for (std::size_t j = 0; j < names.size(); ++j) {
      int differ = 0;
      for (std::size_t k = 0; k < bands[i].size(); ++k) differ += bands[i][k] != bands[j][k];
      char value[32];
      std::snprintf(value, sizeof value, ",%.17g", squared ? differ : std::sqrt(static_cast<double>(differ)));
      csv += value;
    }
    csv += "\n";
  }
  return csv;
}

TEST(PopulationGolden, ATableOfTheDistancesGivesTheAnalysisOfTheBands) {
  Folder f;
  for (const bool squared : {false, true}) {
    test::writefile(f.dir / "delta.csv", deltatable(f.dir / "unbalanced.txt", squared));
    const test::Run r = f.cli(std::string("amova --distance table ") + (squared ? "--squared " : "") +
                              "--groups unbalanced.groups.csv --levels Region,Pop --permutations 0 delta.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    expectgolden(f.dir / "delta.csv.amova.csv", "unbalanced-2.amova.csv", 1e-12);
  }
}

TEST(PopulationGolden, PairwisePhiPTIsTheOneLevelAnalysisOfEachPairAndMakesATree) {
  Folder f;
  const test::Run r = f.cli("phipt --groups unbalanced.groups.csv --level Pop --permutations 99 --seed 7 unbalanced.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto ours = fields(test::readfile(f.dir / "unbalanced.txt.phipt.csv"));
  const auto theirs = fields(test::readfile(kGolden + "/unbalanced-phipt.csv"));
  ASSERT_EQ(ours.size(), theirs.size());
  for (std::size_t i = 1; i < ours.size(); ++i)
    for (std::size_t j = 1; j < ours[i].size(); ++j) {
      // A negative estimate is written as 0.
      const double phi = std::max(std::stod(theirs[i][j]), 0.0), got = std::stod(ours[i][j]);
      EXPECT_NEAR(got, phi, 1e-12 * std::max(phi, 1.0)) << ours[i][0] << " - " << ours[0][j];
    }
  const test::Run tree = f.cli("tree unbalanced.txt.phipt.csv");
  ASSERT_EQ(tree.status, 0) << tree.err;
  const std::string newick = test::readfile(f.dir / "unbalanced.txt.phipt.csv.nwk");
  for (std::size_t j = 1; j < ours[0].size(); ++j) EXPECT_NE(newick.find(ours[0][j]), std::string::npos) << ours[0][j];
}

}  // namespace
}  // namespace lorvane
