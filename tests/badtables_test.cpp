// lorvane-cli against hostile distance tables: one test per row of the
// "Distance tables" section of docs/bad-input.md. A refused table stops
// the run with its message and status, writing nothing; a table at the
// edge of the numbers gives the right answer, and no file holds inf or nan.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "testutil.h"

namespace lorvane {
namespace {

using test::listfolder;
using test::readfile;
using test::writefile;

// A CSV table of n strains S0.. whose distances are `scale` times a fixed
// pattern (a proportional copy of the same table at another scale).
std::string scaledtable(int n, double scale) {
  std::string text;
  char cell[40];
  for (int j = 0; j < n; ++j) {
    std::snprintf(cell, sizeof cell, ",S%d", j);
    text += cell;
  }
  text += "\n";
  for (int i = 0; i < n; ++i) {
    std::snprintf(cell, sizeof cell, "S%d", i);
    text += cell;
    for (int j = 0; j < n; ++j) {
      const int a = std::min(i, j), b = std::max(i, j);
      std::snprintf(cell, sizeof cell, ",%.17g", i == j ? 0.0 : scale * (1 + (a * 7 + b * 3) % 11) / 11.0);
      text += cell;
    }
    text += "\n";
  }
  return text;
}

struct TableCase {
  const char* name;
  std::string table;
  std::string args;  // "@" stands for the table's path
  int status;
  std::string message;  // on standard error; "@" stands for the table's path
};

void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

class BadTable : public ::testing::TestWithParam<TableCase> {};

std::string placed(std::string text, const std::string& path) {
  for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
    text.replace(at, 1, path);
  return text;
}

TEST_P(BadTable, IsRefusedWithItsMessageAndWritesNothing) {
  const TableCase& c = GetParam();
  test::TempDir dir;
  const std::string table = dir / "t.csv";
  writefile(table, c.table);
  const test::Run r = test::runprogram(std::string(LORVANE_CLI) + " " + placed(c.args, table), dir.path());
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_NE(r.err.find(placed(c.message, table) + "\n"), std::string::npos) << r.err;
  // Nothing beside the table but the report's folder (none for a usage error).
  const std::vector<std::string> left =
      c.status == 64 ? std::vector<std::string>{"t.csv"} : std::vector<std::string>{"t.csv", "xdg"};
  EXPECT_EQ(listfolder(dir.path()), left);
}

std::string wideheader(int names) {
  std::string text;
  for (int k = 0; k < names; ++k) text += ",n" + std::to_string(k);
  return text + "\nn0,0\n";
}

const std::string kDuplicate = ",A,B,A\nA,0,1,2\nB,1,0,3\nA,2,3,0\n";
const char* const kDuplicateMessage =
    "Error: @, line 1: strains 1 and 3 have the same name \"A\": every strain needs a name of its own (readtables)";
const std::string kSecondBad = "2\nA         0.1\nB\n2\nA         x\nB\n";
const char* const kSecondBadMessage = "Error: @, line 5: \"x\" is not a number (readtables)";

INSTANTIATE_TEST_SUITE_P(
    Rows, BadTable,
    ::testing::Values(
        TableCase{"WideHeaderInASmallFile", wideheader(20000), "pcoa @", 1,
                  "Error: @, line 1: a table of 20000 strains cannot fit in the 5 bytes left in the file (readtables)"},
        TableCase{"HugeCount", "999999999\nA 0\n", "tree @", 1,
                  "Error: @, line 1: a table of 999999999 strains cannot fit in the 4 bytes left in the file "
                  "(readtables)"},
        TableCase{"DistancesNear1e307", scaledtable(40, 1e307), "tree @", 1,
                  "Error: the distances of the table reach 1e+307: with 40 strains the tree's lengths would go beyond "
                  "the largest number (treefromtable)"},
        TableCase{"DistancesOf1e308", ",A,B,C\nA,0,1e308,1e308\nB,1e308,0,1e308\nC,1e308,1e308,0\n", "tree @", 1,
                  "Error: the distances of the table reach 1e+308: with 3 strains the tree's lengths would go beyond "
                  "the largest number (treefromtable)"},
        TableCase{"EigenvaluesBeyondTheNumbers", scaledtable(12, 1e300), "pcoa @", 1,
                  "Error: the largest distance of the table is 1e+300: its eigenvalues, squared distances, lie beyond "
                  "the range of numbers (pcoa)"},
        TableCase{"DuplicateNamesTree", kDuplicate, "tree @", 1, kDuplicateMessage},
        TableCase{"DuplicateNamesPcoa", kDuplicate, "pcoa @", 1, kDuplicateMessage},
        TableCase{"DuplicateNamesConvert", kDuplicate, "convert @", 1, kDuplicateMessage},
        TableCase{"SecondTableTree", kSecondBad, "tree @", 1, kSecondBadMessage},
        TableCase{"SecondTablePcoa", kSecondBad, "pcoa --axes 1 @", 1, kSecondBadMessage},
        TableCase{"SecondTableMantel", kSecondBad, "mantel @ @", 1, kSecondBadMessage},
        TableCase{"NulInAName", std::string(",A,B\nA,0,1\nB\0x,1,0\n", 20), "convert @", 1,
                  "Error: @, line 3: the row of \"B\\x00x\" stands where the header puts \"B\" (readtables)"},
        TableCase{"NanOnAContinuationLine", "3\nA         0 0.1\n  nan\nB         0.1 0 0.3\nC         0.2 0.3 0\n",
                  "convert @", 1, "Error: @, line 3: \"nan\" is not a number (readtables)"},
        TableCase{"NoValueInASquareTable", "3\nA         0 0.1 999\nB         0.1 0 0.3\nC         999 0.3 0\n",
                  "tree @", 1, "Error: @, line 2: strains 1 and 3 have no value (999) (readtables)"},
        TableCase{"NamesThatClashInRelaxedPhylip", ",a b,a_b,long name x\na b,0,1,2\na_b,1,0,3\nlong name x,2,3,0\n",
                  "convert @", 1,
                  "Error: strains 1 and 2 of @ would have the same name in PHYLIP, whose long names hold no blanks "
                  "(each becomes _); the CSV form keeps names whole (convert)"},
        TableCase{"AxesAboveTheStrains", ",A,B\nA,0,1\nB,1,0\n", "pcoa --axes 3 @", 64,
                  "lorvane-cli pcoa: --axes 3: expected a whole number from 1 to 2, the number of strains of @"}),
    [](const ::testing::TestParamInfo<TableCase>& row) { return std::string(row.param.name); });

// An endless line (a device of zeros) is refused after a few kilobytes.
TEST(BadTables, AnEndlessLineIsRefusedAtOnce) {
  test::TempDir dir;
  const test::Run r = test::runprogram(std::string(LORVANE_CLI) + " pcoa /dev/zero", dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: /dev/zero, line 1: a field goes on for more than 4096 characters"), std::string::npos)
      << r.err;
}

// Tables at the edges of the numbers: proportional tables correlate with
// r = 1 at any scale; equal distances have principal axes; a table read
// from a pipe in every text form; no file holds inf or nan.
TEST(BadTables, EdgesOfTheNumbersGiveTheRightAnswers) {
  test::TempDir dir;
  writefile(dir / "unit.csv", scaledtable(12, 1));
  for (const double scale : {1e-170, 1e-160, 1e154, 1e300}) {
    writefile(dir / "s.csv", scaledtable(12, scale));
    const test::Run r = test::runprogram(std::string(LORVANE_CLI) + " mantel --seed 3 s.csv unit.csv", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readfile(dir / "s.csv.mantel.csv").substr(0, 32), "r,p,permutations,seed,method\r\n1,") << scale;
  }
  writefile(dir / "equal.csv", ",A,B,C\nA,0,1,1\nB,1,0,1\nC,1,1,0\n");
  writefile(dir / "two.csv", ",A,B\nA,0,2\nB,2,0\n");
  for (const char* name : {"equal.csv", "two.csv"}) {
    const test::Run r = test::runprogram(std::string(LORVANE_CLI) + " pcoa " + name, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
  }
  EXPECT_EQ(readfile(dir / "equal.csv.eig.csv"), "axis,eigenvalue,share,cumulative\r\n1,0.5,0.5,0.5\r\n2,0.5,0.5,1\r\n3,0,0,1\r\n");
  EXPECT_EQ(readfile(dir / "two.csv.pcoa.csv"), "name,axis1\r\nA,1\r\nB,-1\r\n");
  writefile(dir / "tiny.csv", scaledtable(6, 1e-170));
  const test::Run p = test::runprogram(std::string("sh -c \"cat tiny.csv | '") + LORVANE_CLI +
                                           "' tree --output-dir . /dev/stdin\"",
                                       dir.path());
  ASSERT_EQ(p.status, 0) << p.err;
  for (const char* name : {"s.csv.mantel.csv", "equal.csv.pcoa.csv", "stdin.nwk"}) {
    const std::string text = readfile(dir / name);
    EXPECT_EQ(text.find("inf"), std::string::npos) << name;
    EXPECT_EQ(text.find("nan"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace lorvane
