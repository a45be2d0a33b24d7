// Options 6 and 7 through the option runner's entry: their files on tables
// whose results are known by hand, their report lines, and the runs that
// must stop with nothing written.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sstream>

#include "../testutil.h"
#include "aflp/ordinationoptions.h"
#include "core/interrupt.h"
#include "tables/distancetable.h"

namespace lorvane {
namespace {

using test::readfile;
using test::writefile;

struct Options : test::OptionRunner {
  std::string run(int option, const std::vector<std::string>& answers) {
    return OptionRunner::run(runordinationoption, option, answers);
  }
  std::string path(const std::string& name) const { return dir / name; }
};

// Points (3, 0), (-1, 2), (-1, -1) twice: centred, uncorrelated, so the
// axes are x (eigenvalue 12) and y (6), each with one largest coordinate.
// The names test the quoting of the coordinate file.
std::string planetable() {
  const std::string r20 = shortestnumber(std::sqrt(20.0), false), r17 = shortestnumber(std::sqrt(17.0), false);
  return ",A,B b,\"C,c\",\"D\"\"d\"\n"
         "A,0," + r20 + "," + r17 + "," + r17 + "\nB b," + r20 + ",0,3,3\n\"C,c\"," + r17 + ",3,0,0\n\"D\"\"d\"," + r17 +
         ",3,0,0\n";
}

// The lines of a file without their CR LF ends; a line without CR fails.
std::vector<std::string> crlflines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    EXPECT_TRUE(end > at && text[end - 1] == '\r') << text;
    out.push_back(text.substr(at, end > at ? end - at - 1 : 0));
  }
  return out;
}

// The line's first field as text (when `named`) then numbers, compared
// with `expected` within 1e-9.
void expectrow(const std::string& line, const std::string& name, const std::vector<double>& expected) {
  std::string rest = line;
  if (!name.empty()) {
    ASSERT_TRUE(line.starts_with(name + ",")) << line;
    rest = line.substr(name.size() + 1);
  }
  std::vector<double> values;
  std::istringstream in(rest);
  for (std::string field; std::getline(in, field, ',');) values.push_back(std::stod(field));
  ASSERT_EQ(values.size(), expected.size()) << line;
  for (std::size_t k = 0; k < values.size(); ++k) EXPECT_NEAR(values[k], expected[k], 1e-9) << line;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(OrdinationOptions, PrincipalCoordinatesFilesAndReport) {
  Options o;
  const std::string plane = o.path("plane.csv"), bent = o.path("bent.csv");
  writefile(plane, planetable());
  // A triangle that breaks the triangle inequality: not Euclidean.
  writefile(bent, ",P,Q,R\nP,0,1,3\nQ,1,0,1\nR,3,1,0\n");

  std::string report = o.run(6, {plane});
  ASSERT_EQ(o.error, "");
  const auto coordinates = crlflines(readfile(plane + ".pcoa.csv"));
  ASSERT_EQ(coordinates.size(), 5u);
  EXPECT_EQ(coordinates[0], "name,axis1,axis2");  // the third eigenvalue is 0: no coordinates
  expectrow(coordinates[1], "A", {3, 0});
  expectrow(coordinates[2], "B b", {-1, 2});
  expectrow(coordinates[3], "\"C,c\"", {-1, -1});
  expectrow(coordinates[4], "\"D\"\"d\"", {-1, -1});
  const auto eigen = crlflines(readfile(plane + ".eig.csv"));
  ASSERT_EQ(eigen.size(), 4u);
  EXPECT_EQ(eigen[0], "axis,eigenvalue,share,cumulative");
  expectrow(eigen[1], "", {1, 12, 2.0 / 3, 2.0 / 3});
  expectrow(eigen[2], "", {2, 6, 1.0 / 3, 1});
  EXPECT_EQ(eigen[3], "3,0,0,1");
  for (const std::string& line : std::vector<std::string>{"Lorvane: Principal coordinates\r\nInput file: ", "--- Format: CSV, number of rows: 4",
                                                             "Strains: 4\r\nCorrection: none\r\n--- Axis 1: eigenvalue 12, share 66.67 %, cumulative 66.67 %",
                           "Negative eigenvalues: 0\r\nAxes with a positive eigenvalue: 2",
                           ".pcoa.csv\r\nOutput file: " + plane + ".eig.csv\r\n"})
    EXPECT_TRUE(has(report, line)) << line << "\n" << report;
  EXPECT_FALSE(has(report, "not Euclidean"));
  EXPECT_EQ(o.ws.progress, (std::vector<std::string>{"open Principal coordinates", "1/2", "2/2", "close"}));

  struct Case {
    std::string axes, correction;
    std::vector<std::string> lines;  // in the report
    std::size_t columns;             // of the coordinate file's header
  };
  const std::vector<Case> cases{
      {"2", "", {"Correction: none\r\n", "Negative eigenvalues: 1\r\nThe table is not Euclidean"}, 1},
      {"1", "1", {"Correction: Lingoes, constant ", "not Euclidean", "after the correction: 0\r\n"}, 1},
      {"", "2", {"Correction: Cailliez, constant 1\r\n", "after the correction: 0\r\n"}, 1},  // collinear then
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.axes + "/" + c.correction);
    report = o.run(6, {bent, c.axes, c.correction});
    ASSERT_EQ(o.error, "");
    for (const std::string& line : c.lines) EXPECT_TRUE(has(report, line)) << line << "\n" << report;
    const auto header = crlflines(readfile(bent + ".pcoa.csv"))[0];
    EXPECT_EQ(std::count(header.begin(), header.end(), ','), static_cast<long>(c.columns)) << header;
    EXPECT_EQ(crlflines(readfile(bent + ".eig.csv")).size(), 1 + (c.axes.empty() ? 3u : std::stoul(c.axes)));
  }
  // A table that has no negative eigenvalue is never corrected.
  EXPECT_TRUE(has(o.run(6, {plane, "2", "2"}), "Correction: none needed"));
}

TEST(OrdinationOptions, MantelMatchesTheStrainsByName) {
  Options o;
  o.settings.seed = 42;
  o.settings.threads = 2;
  // Pairs PQ PR PS QR QS RS: 1 2 3 4 5 6 in table A; 2 4 7 1 9 9 in table
  // B, written in the order S R Q P as a PHYLIP square table.
  const std::string a = o.path("a.csv"), b = o.path("b.phy");
  writefile(a, ",P,Q,R,S\nP,0,1,2,3\nQ,1,0,4,5\nR,2,4,0,6\nS,3,5,6,0\n");
  writefile(b, "4\nS 0 9 9 7\nR 9 0 1 4\nQ 9 1 0 2\nP 7 4 2 0\n");
  const struct {
    std::string method;
    double r;
    const char* name;
  } cases[] = {{"", 0.6715144652340956, "pearson"}, {"2", 0.6377481392176932, "spearman"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    o.ws.progress.clear();
    const std::string report = o.run(7, {a, b, "99", c.method});
    ASSERT_EQ(o.error, "");
    const auto lines = crlflines(readfile(a + ".mantel.csv"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "r,p,permutations,seed,method");
    std::istringstream fields(lines[1]);
    double r = 0, p = 0;
    char comma = 0;
    std::string rest;
    fields >> r >> comma >> p >> comma >> rest;
    EXPECT_NEAR(r, c.r, 1e-12);
    // p = (1 + k) / 100 for k of the 99 permutations.
    EXPECT_NEAR(p * 100, std::round(p * 100), 1e-9);
    EXPECT_GT(p, 0.01);  // four strains: the permutations often match the observed order
    EXPECT_EQ(rest, std::string("99,42,") + c.name);
    EXPECT_TRUE(has(report, "Strains: 4\r\n")) << report;
    EXPECT_TRUE(has(report, "p = " + shortestnumber(p, false) + "\r\nPermutations: 99")) << report;
    EXPECT_TRUE(report.ends_with(".mantel.csv\r\nRandom number seed: 42\r\n")) << report;
    EXPECT_EQ(o.ws.progress.front(), "open Mantel test");
    EXPECT_EQ(o.ws.progress[o.ws.progress.size() - 2], "99/99");
  }
}

TEST(OrdinationOptions, FaultsStopTheRunWithEarlierFilesKept) {
  Options o;
  const std::string plane = o.path("plane.csv"), same = o.path("same.csv"), other = o.path("other.csv");
  writefile(plane, planetable());
  writefile(same, ",A,B,C\nA,0,2,2\nB,2,0,2\nC,2,2,0\n");
  writefile(other, ",A,B b,\"C,c\",E\nA,0,1,1,1\nB b,1,0,1,1\n\"C,c\",1,1,0,1\nE,1,1,1,0\n");
  ASSERT_EQ((o.run(6, {plane}), o.error), "");
  ASSERT_EQ((o.run(7, {plane, plane, "9"}), o.error), "");
  const auto before = test::listfolder(o.dir.path());
  const std::string coordinates = readfile(plane + ".pcoa.csv"), mantel = readfile(plane + ".mantel.csv");

  const struct {
    int option;
    std::vector<std::string> answers;
    std::string error;
    bool interrupt = false;
  } cases[] = {
      {6, {plane, "", "3"}, "Error: the correction must be 0, 1 or 2 (pcoa)"},
      {6, {plane, "5"}, "Error: the number of axes must be from 1 to 4, the number of strains (pcoa)"},
      {6, {same}, "Error: every distance in the table is the same: the strains have no principal axes (pcoa)"},
      {7, {plane, other},
       "Error: the strain D\"d of table A is not in table B: the Mantel test needs the same strains in both (mantel)"},
      {7, {plane, same}, "Error: table A holds 4 strains and table B 3: the Mantel test needs the same strains in both (mantel)"},
      {7, {plane, plane, "9", "3"}, "Error: the correlation must be 1 or 2 (mantel)"},
      {7, {plane, o.path("none.csv")}, "Error: can't open distance table " + o.path("none.csv") + " (readtables)"},
      {7, {plane, plane}, "Error: interrupted by signal 15", true},
      {6, {plane}, "Error: interrupted by signal 15", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    if (c.interrupt) setinterrupt(SIGTERM);
    o.run(c.option, c.answers);
    setinterrupt(0);
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(test::listfolder(o.dir.path()), before);
  }
  EXPECT_EQ(readfile(plane + ".pcoa.csv"), coordinates);
  EXPECT_EQ(readfile(plane + ".mantel.csv"), mantel);
  // Required answers left empty: nothing runs.
  EXPECT_EQ(o.run(7, {plane}), "");
  EXPECT_EQ(o.run(6, {""}), "");
}

}  // namespace
}  // namespace lorvane
