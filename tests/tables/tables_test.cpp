// Distance tables: every format reads to the same table, faults name the
// file and line, and each writer's output reads back whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "../tables.h"
#include "../testutil.h"
#include "core/datafile.h"
#include "tables/distancetable.h"

namespace lorvane {
namespace {

using test::errorstopof;
using test::TempDir;
using test::writefile;

// Four strains; one name with a blank, one of ten characters ending in a
// digit (its first value follows it without a blank), a minus zero and a
// value wider than five characters.
const std::vector<std::string> kNames = {"Strain A", "B", "LongName10", "D"};
const double kValues[4][4] = {
    {0, 0.125, -0.0, 12.345}, {0.125, 0, 0.5, 0.25}, {-0.0, 0.5, 0, 0.75}, {12.345, 0.25, 0.75, 0}};

void expectfour(const DistanceTable& t, const std::string& what) {
  ASSERT_EQ(t.names, kNames) << what;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(t(i, j), kValues[i][j]) << what << " " << i << "," << j;
}

struct FormatCase {
  const char* name;
  std::string text;
  TableFormat format;
};
const FormatCase kFormats[] = {
    {"triangle", "4\r\nStrain A  0.125 -0.000 12.345 \r\nB               0.500 0.250 \r\n"
                 "LongName10              0.750 \r\nD                             \r\n",
     TableFormat::Triangle},
    {"triangle with diagonal", "4\nStrain A   3 0.125 -0.000 12.345\nB            2 0.5 0.25\n"
                               "LongName10         1 0.75\nD                  4\n",
     TableFormat::Triangle},
    {"phylip square", "    4\nStrain A  0 0.125 -0 12.345\nB         0.125 0 0.5 0.25\n"
                      "LongName100 0.5 0 0.75\nD         12.345 0.25 0.75 0\n",
     TableFormat::PhylipSquare},
    {"phylip square, rows wrapped after n - 1 values",
     "4\nStrain A  0 0.125 -0\n 12.345\nB         0.125 0 0.5\n 0.25\nLongName100 0.5 0\n 0.75\n"
     "D         12.345 0.25 0.75\n 0\n",
     TableFormat::PhylipSquare},
    {"phylip square, rows over two lines", "4\nStrain A  0 0.125\n   -0 12.345\nB         0.125 0 0.5 0.25\n"
                                           "LongName100 0.5\n  0 0.75\nD         12.345 0.25 0.75 0\n",
     TableFormat::PhylipSquare},
    {"phylip lower, strict", "4\nStrain A\nB         0.125\nLongName10-0 0.5\nD         12.345 0.25 0.75\n",
     TableFormat::PhylipLower},
    {"csv", ",Strain A,B,LongName10,D\nStrain A,0,0.125,-0,12.345\nB,0.125,0,0.5,0.25\n"
            "LongName10,-0,0.5,0,0.75\n\"D\",12.345,0.25,0.75,0\n",
     TableFormat::Csv},
    {"tsv", "Strain A\tB\tLongName10\tD\nStrain A\t0\t0.125\t-0\t12.345\nB\t0.125\t0\t0.5\t0.25\n"
            "LongName10\t-0\t0.5\t0\t0.75\nD\t12.345\t0.25\t0.75\t0\n",
     TableFormat::Tsv},
};

TEST(TableReader, EveryFormatReadsToTheSameTable) {
  TempDir dir;
  for (const auto& c : kFormats) {
    const std::string path = dir / "table";
    writefile(path, c.text);
    TableReader reader(path);
    DistanceTable t;
    ASSERT_TRUE(reader.next(t)) << c.name;
    EXPECT_EQ(reader.format(), c.format) << c.name;
    expectfour(t, c.name);
    EXPECT_FALSE(reader.next(t)) << c.name;
  }
  // Relaxed PHYLIP: names of any length, ended by a blank.
  writefile(dir / "relaxed", "3\nAlpha 0 0.1 0.2\nBeta-longer-name 0.1 0 0.3\nG 0.2 0.3 0\n");
  const auto relaxed = readtables(dir / "relaxed");
  ASSERT_EQ(relaxed.size(), 1u);
  EXPECT_EQ(relaxed[0].names, (std::vector<std::string>{"Alpha", "Beta-longer-name", "G"}));
  EXPECT_EQ(relaxed[0](2, 1), 0.3);
}

// Names longer than 10 characters widen the name field of the triangle
// tables ("n w" on the count line); they read back whole, blanks and all.
TEST(TableReader, WideNameFieldsReadBackWhole) {
  TempDir dir;
  const std::vector<std::string> names{"A long name", "Twelve chars", "C"};
  for (const char* text : {"3 12\nA long name 0.5 1\nTwelve chars0.25\nC\n",              // a full name meets its value
                           "3 12\r\nA long name 2 0.5 1\r\nTwelve chars3 0.25\r\nC           1\r\n"}) {  // diagonal
    writefile(dir / "t", text);
    const auto t = readtables(dir / "t");
    ASSERT_EQ(t.size(), 1u) << text;
    EXPECT_EQ(t[0].names, names) << text;
    EXPECT_EQ(t[0](2, 1), 0.25) << text;
  }
  writefile(dir / "t", "2 9\nA 0.5\nB\n");  // a width under 10 is no name field
  EXPECT_NE(errorstopof([&] { readtables(dir / "t"); }), "");
}

// A FIFO or a pipe has no size: every text form is read as it comes.
TEST(TableReader, FifosGiveEveryTextForm) {
  TempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& c : kFormats) {
    std::thread writer([&] { writefile(fifo, c.text); });
    DistanceTable t;
    {
      TableReader reader(fifo);
      ASSERT_TRUE(reader.next(t)) << c.name;
      expectfour(t, c.name);
      EXPECT_FALSE(reader.next(t)) << c.name;
    }
    writer.join();
  }
}

TEST(TableReader, BinaryMatrixFilesAndSeveralTablesPerFile) {
  TempDir dir;
  RealTable m = taballoc(3, 3);
  m.row(1)[2] = m.row(2)[1] = 0.1;
  m.row(1)[3] = m.row(3)[1] = 0.7;
  m.row(2)[3] = m.row(3)[2] = 0.3;
  ecrmat(m, dir / "t.matD");
  const auto binary = readtables(dir / "t.matD");
  ASSERT_EQ(binary.size(), 1u);
  EXPECT_EQ(binary[0].names, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(binary[0](0, 2), static_cast<double>(0.7f));
  EXPECT_TRUE(binary[0].single);

  // A bootstrap file: blocks one after another (and PHYLIP's multiple data sets).
  writefile(dir / "reps", "2\r\nS1        0.100 \r\nS2              \r\n2\r\nS1        0.200 \r\nS2              \r\n");
  const auto reps = readtables(dir / "reps");
  ASSERT_EQ(reps.size(), 2u);
  EXPECT_EQ(reps[1](0, 1), 0.2);
}

// Large triangles: every cell of the lower half comes from the file (its
// storage is not zeroed first and, past a few megabytes, lies on huge pages),
// over many blocks of rows and a partial last block, in each of two tables.
TEST(TableReader, LargeTrianglesFillEveryCell) {
  TempDir dir;
  constexpr int kStrains = 1100;
  auto code = [](int i, int j, int table) { return (i * 31 + j * 17 + table * 7) % 1000; };
  std::string text;
  for (int table = 0; table < 2; ++table) {
    text += std::to_string(kStrains) + "\r\n";
    char cell[16];
    for (int i = 0; i < kStrains; ++i) {
      std::snprintf(cell, sizeof cell, "S%-9d", i + 1);
      text += cell;
      for (int j = i + 1; j < kStrains; ++j) {
        std::snprintf(cell, sizeof cell, "0.%03d ", code(i, j, table));
        text += cell;
      }
      text += "\r\n";
    }
  }
  writefile(dir / "big", text);
  const auto tables = readtables(dir / "big");
  ASSERT_EQ(tables.size(), 2u);
  for (int table = 0; table < 2; ++table) {
    int wrong = 0;
    for (int i = 0; i < kStrains; ++i)
      for (int j = 0; j < i; ++j) wrong += tables[table](i, j) != code(j, i, table) / 1000.0;
    EXPECT_EQ(wrong, 0) << "table " << table;
  }
}

TEST(TableReader, FaultsNameTheFileAndLine) {
  TempDir dir;
  const struct {
    std::string text, message;
  } cases[] = {
      {"3\nA         0.1 0.2\nB         0.3 0.4\nC\n", "line 3: strain 2 has 2 values where 1 were expected"},
      {"3\nA 0 0.1 0.2\nB 0.1 0 0.3\nC 0.2 0.35 0\n", "line 4: the table is not symmetric: strains 2 and 3"},
      {"2\nA         0.1x\nB\n", "line 2: \"0.1x\" is not a number"},
      {"2\nA         nan\nB\n", "line 2: \"nan\" is not a number"},
      {"3\nA         0.1 999.000\nB         0.3\nC\n", "line 2: strains 1 and 3 have no value (999)"},
      {"2\nA         0.1\nB\n2\nA         0.1\nC\n", "line 4: table 2 holds other strains than the first table"},
      {"3\nA         0.1 0.2\nB         0.3\n", "line 3: the table ends after 2 of its 3 strains"},
      {",A,B\nB,0,1\nA,1,0\n", "line 2: the row of \"B\" stands where the header puts \"A\""},
      {"strains\n", "line 1: neither a count of strains nor a header of names"},
      {"2\nA         0.1\nB\n99999\nA\n", "line 4: a table of 99999 strains cannot fit in the 2 bytes left in the file"},
      {",a,b,c,d,e,f,g,h\na,0,1\n", "line 1: a table of 8 strains cannot fit in the 6 bytes left in the file"},
      // 999 marks a pair without a value in every form.
      {"3\nA         0 0.1 999\nB         0.1 0 0.3\nC         999 0.3 0\n", "line 2: strains 1 and 3 have no value (999)"},
      {"3\nA\nB         0.1\nC         999 0.3\n", "line 4: strains 1 and 3 have no value (999)"},
      {",A,B\nA,0,999\nB,999,0\n", "line 2: strains 1 and 2 have no value (999)"},
      {",A,B,A\nA,0,1,2\nB,1,0,3\nA,2,3,0\n", "line 1: strains 1 and 3 have the same name \"A\""},
      {"3\nA         0 0.1\n  nan\nB         0.1 0 0.3\nC         0.2 0.3 0\n", "line 3: \"nan\" is not a number"},
      {std::string(",A,B\nA,0,1\nB\0x,1,0\n", 20), "line 3: the row of \"B\\x00x\" stands where the header puts \"B\""},
      {std::string(5000, '7') + "\n", "line 1: a field goes on for more than 4096 characters"},
      {"2\nA         " + std::string(3000 * 2, ' ').replace(0, 1, "0") + "1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0\n",
       "line 2: the line goes on for more than 4352 bytes"},
  };
  for (const auto& c : cases) {
    writefile(dir / "bad", c.text);
    const std::string error = errorstopof([&] { readtables(dir / "bad"); });
    EXPECT_NE(error.find(dir / "bad"), std::string::npos) << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << "\n" << error;
  }
  EXPECT_NE(errorstopof([&] { readtables(dir / "missing"); }).find("can't open distance table"), std::string::npos);
  // An endless line is refused after a few kilobytes, never read whole.
  EXPECT_NE(errorstopof([&] { readtables("/dev/zero"); }).find("/dev/zero, line 1: a field goes on"), std::string::npos);
}

TEST(TableWriters, EveryWriterReadsBackEveryValueAndName) {
  TempDir dir;
  DistanceTable t;
  t.names = kNames;
  for (int i = 1; i < 4; ++i)
    for (int j = 0; j < i; ++j) t.lower.push_back(kValues[i][j]);
  t.lower[DistanceTable::at(1, 0)] = 0.1 + 0.2;  // needs 17 digits
  DistanceTable single = t;
  single.single = true;
  single.lower[DistanceTable::at(1, 0)] = static_cast<double>(0.3f);
  for (const DistanceTable* source : {&t, &single})
    for (auto writer : {phylipsquare, phyliplower, csvtable}) {
      writefile(dir / "out", writer(*source) + writer(*source));  // two tables in one file
      const auto back = readtables(dir / "out");
      ASSERT_EQ(back.size(), 2u);
      for (const auto& b : back) {
        EXPECT_EQ(b.names, source->names);
        for (std::size_t k = 0; k < b.lower.size(); ++k)
          if (source->single)
            EXPECT_EQ(static_cast<float>(b.lower[k]), static_cast<float>(source->lower[k]));
          else
            EXPECT_EQ(b.lower[k], source->lower[k]);
      }
    }
  // PHYLIP names: blank-padded to ten characters; when one is longer, all
  // are padded to one more than the longest, their blanks as underscores.
  DistanceTable two;
  two.names = {"A b", "Twelve-chars"};
  two.lower = {0.5};
  EXPECT_EQ(phylipsquare(two), "2\nA_b          0 0.5\nTwelve-chars 0.5 0\n");
  EXPECT_EQ(phyliplower(two), "2\nA_b          \nTwelve-chars 0.5\n");
  EXPECT_EQ(csvtable(two), ",A b,Twelve-chars\nA b,0,0.5\nTwelve-chars,0.5,0\n");
  // A lone strain whose name ends in digits, of ten characters or more: no
  // reading cuts the name at ten characters to make a value of its tail.
  for (const char* name : {"Eleven-ch99", "Ten-chars9"}) {
    DistanceTable lone;
    lone.names = {name};
    for (auto writer : {phylipsquare, phyliplower, csvtable}) {
      writefile(dir / "lone", writer(lone));
      EXPECT_EQ(readtables(dir / "lone").at(0).names, lone.names) << writer(lone);
    }
  }
}

}  // namespace
}  // namespace lorvane
