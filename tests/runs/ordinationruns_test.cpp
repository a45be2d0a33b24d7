// Options 6 and 7 through the option runner's entry: their files on tables
// whose results are known by hand, and the runs that stop with nothing written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <tuple>

#include "../testutil.h"
#include "runs/tableruns.h"
#include "core/interrupt.h"
#include "tables/distancetable.h"

namespace lorvane {
namespace {

using test::readfile;
using test::writefile;

struct Options : test::OptionRunner {
  std::string run(int option, const std::vector<std::string>& answers) {
    return OptionRunner::run(option, answers);
  }
};

// Points (3, 0), (-1, 2), (-1, -1) twice: centred and uncorrelated, so the
// axes are x (eigenvalue 12) and y (6), each with one largest coordinate.
std::string planetable() {
  const std::string r20 = shortestnumber(std::sqrt(20.0), false), r17 = shortestnumber(std::sqrt(17.0), false);
  return ",A,B b,\"C,c\",\"D\"\"d\"\nA,0," + r20 + "," + r17 + "," + r17 + "\nB b," + r20 + ",0,3,3\n\"C,c\"," + r17 +
         ",3,0,0\n\"D\"\"d\"," + r17 + ",3,0,0\n";
}

// A CSV output's lines, each checked to end in CR LF, with the numbers of
// column `first` on (below the header) rounded to 1e-9 and written as n()
// writes them; they are the last fields, so a quoted name may hold commas.
std::vector<std::string> rows(const std::string& path, std::size_t first) {
  std::vector<std::string> out;
  const std::string text = readfile(path);
  for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::string line = text.substr(at, end - at), numbers;
    const auto columns = static_cast<std::size_t>(std::count(out.empty() ? line.begin() : out[0].begin(),
                                                              out.empty() ? line.end() : out[0].end(), ',')) + 1;
    for (std::size_t k = first; !out.empty() && k < columns; ++k) {
      const std::size_t comma = line.rfind(',');
      numbers.insert(0, std::to_string(std::round(std::stod(line.substr(comma + 1)) * 1e9) / 1e9 + 0.0));
      numbers.insert(0, 1, ',');
      line.resize(comma);
    }
    out.push_back(line + numbers);
  }
  EXPECT_TRUE(text.ends_with("\r\n")) << path;
  return out;
}

std::string n(double v) { return std::to_string(v); }

TEST(OrdinationOptions, PrincipalCoordinatesFilesAndReport) {
  Options o;
  const std::string plane = o.dir / "plane.csv", bent = o.dir / "bent.csv";
  writefile(plane, planetable());
  writefile(bent, ",P,Q,R\nP,0,1,3\nQ,1,0,1\nR,3,1,0\n");  // not Euclidean: 1 + 1 < 3

  std::string report = o.run(6, {plane});
  ASSERT_EQ(o.error, "");
  // The third eigenvalue is 0: no coordinates for it. Names quoted as in the CSV tables.
  EXPECT_EQ(rows(plane + ".pcoa.csv", 1),
            (std::vector<std::string>{"name,axis1,axis2", "A," + n(3) + "," + n(0), "B b," + n(-1) + "," + n(2),
                                      "\"C,c\"," + n(-1) + "," + n(-1), "\"D\"\"d\"," + n(-1) + "," + n(-1)}));
  EXPECT_EQ(rows(plane + ".eig.csv", 1),
            (std::vector<std::string>{"axis,eigenvalue,share,cumulative", "1," + n(12) + "," + n(2.0 / 3) + "," + n(2.0 / 3),
                                      "2," + n(6) + "," + n(1.0 / 3) + "," + n(1), "3," + n(0) + "," + n(0) + "," + n(1)}));
  EXPECT_NE(report.find("Strains: 4\r\nCorrection: none\r\n--- Axis 1: eigenvalue 12, share 66.67 %, cumulative 66.67 %"),
            std::string::npos) << report;
  EXPECT_NE(report.find("Negative eigenvalues: 0\r\nAxes with a positive eigenvalue: 2"), std::string::npos);
  EXPECT_EQ(o.ws.progress, (std::vector<std::string>{"open Principal coordinates", "1/2", "2/2", "close"}));

  const struct {
    std::string axes, correction, line;
    std::size_t eigenrows;
  } cases[] = {
      {"2", "", "Negative eigenvalues: 1\r\nThe table is not Euclidean", 2},
      {"1", "1", "Correction: Lingoes, constant 0.833333\r\n", 1},  // 5/6: collinear then too
      {"", "2", "Correction: Cailliez, constant 1\r\n", 3},  // then collinear
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    report = o.run(6, {bent, c.axes, c.correction});
    ASSERT_EQ(o.error, "");
    EXPECT_NE(report.find(c.line), std::string::npos) << report;
    EXPECT_EQ(c.correction.empty(), report.find("after the correction: 0\r\n") == std::string::npos);
    EXPECT_EQ(rows(bent + ".pcoa.csv", 1)[0], "name,axis1");
    EXPECT_EQ(rows(bent + ".eig.csv", 1).size(), 1 + c.eigenrows);
  }
  EXPECT_NE(o.run(6, {plane, "2", "2"}).find("Correction: none needed"), std::string::npos);
}

TEST(OrdinationOptions, MantelMatchesTheStrainsByName) {
  Options o;
  o.settings.seed = 42;
  // Pairs PQ PR PS QR QS RS: 1 2 3 4 5 6 in table A; 2 4 7 1 9 9 in table
  // B, a PHYLIP table in the order S R Q P. r from scipy.
  const std::string a = o.dir / "a.csv", b = o.dir / "b.phy";
  writefile(a, ",P,Q,R,S\nP,0,1,2,3\nQ,1,0,4,5\nR,2,4,0,6\nS,3,5,6,0\n");
  writefile(b, "4\nS 0 9 9 7\nR 9 0 1 4\nQ 9 1 0 2\nP 7 4 2 0\n");
  for (const auto& [method, r, name] : {std::tuple{"", 0.6715144652340956, "pearson"}, {"2", 0.6377481392176932, "spearman"}}) {
    const std::string report = o.run(7, {a, b, "99", method});
    ASSERT_EQ(o.error, "");
    const std::string text = readfile(a + ".mantel.csv");
    ASSERT_TRUE(text.starts_with("r,p,permutations,seed,method\r\n")) << text;
    const std::string line = text.substr(30);
    const std::size_t c1 = line.find(','), c2 = line.find(',', c1 + 1);
    EXPECT_NEAR(std::stod(line), r, 1e-12);
    const std::string p = line.substr(c1 + 1, c2 - c1 - 1);
    EXPECT_NEAR(std::stod(p) * 100, std::round(std::stod(p) * 100), 1e-9);  // (1 + k) / (1 + 99)
    EXPECT_EQ(line.substr(c2), std::string(",99,42,") + name + "\r\n");
    EXPECT_NE(report.find("p = " + p + "\r\nPermutations: 99"), std::string::npos) << report;
    EXPECT_TRUE(report.ends_with(".mantel.csv\r\nRandom number seed: 42\r\n")) << report;
    EXPECT_EQ(o.ws.progress[o.ws.progress.size() - 2], "99/99");
  }
}

TEST(OrdinationOptions, FaultsStopTheRunWithEarlierFilesKept) {
  Options o;
  const std::string plane = o.dir / "plane.csv", same = o.dir / "same.csv", other = o.dir / "other.csv";
  writefile(plane, planetable());
  writefile(same, ",A,B,C\nA,0,0,0\nB,0,0,0\nC,0,0,0\n");
  writefile(other, ",A,B b,\"C,c\",E\nA,0,1,1,1\nB b,1,0,1,1\n\"C,c\",1,1,0,1\nE,1,1,1,0\n");
  o.run(6, {plane});
  o.run(7, {plane, plane, "9"});
  const auto before = test::listfolder(o.dir.path());
  const std::string files = readfile(plane + ".pcoa.csv") + readfile(plane + ".eig.csv") + readfile(plane + ".mantel.csv");

  const struct {
    int option;
    std::vector<std::string> answers;
    std::string error;
    bool interrupt = false;
  } cases[] = {
      {6, {plane, "", "3"}, "the correction must be 0, 1 or 2 (pcoa)"},
      {6, {plane, "5"}, "the number of axes must be from 1 to 4, the number of strains (pcoa)"},
      {6, {same}, "every distance in the table is 0: the strains have no principal axes (pcoa)"},
      {7, {plane, other}, "the strain D\"d of table A is not in table B: the Mantel test needs the same strains in both (mantel)"},
      {7, {plane, same}, "table A holds 4 strains and table B 3: the Mantel test needs the same strains in both (mantel)"},
      {7, {plane, plane, "9", "3"}, "the correlation must be 1 or 2 (mantel)"},
      {7, {plane, plane}, "interrupted by signal 15", true},
      {6, {plane}, "interrupted by signal 15", true},
  };
  for (const auto& c : cases) {
    if (c.interrupt) setinterrupt(SIGTERM);
    o.run(c.option, c.answers);
    setinterrupt(0);
    EXPECT_EQ(o.error, "Error: " + c.error);
    EXPECT_EQ(test::listfolder(o.dir.path()), before) << c.error;
  }
  EXPECT_EQ(readfile(plane + ".pcoa.csv") + readfile(plane + ".eig.csv") + readfile(plane + ".mantel.csv"), files);
  EXPECT_EQ(o.run(7, {plane}), "");  // table B left empty: nothing runs
}

}  // namespace
}  // namespace lorvane
