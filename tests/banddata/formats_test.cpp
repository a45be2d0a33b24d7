// The band data formats against the fixed layout: the same strains in
// GenAlEx, 0/1 tables (rows and columns) and NEXUS (interleaved or not)
// give the fixed layout's tables byte for byte, with their groups; missing
// scores counted as absent give the tables of the same data with zeros.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "../testutil.h"
#include "runs/bandfileruns.h"
#include "runs/distanceruns.h"

namespace lorvane {
namespace {

using test::readfile;
using test::writefile;

// Text pieces joined (appends only: GCC 12 warns wrongly of "x" + string).
template <class... T>
std::string cat(const T&... pieces) {
  std::string s;
  (s.append(pieces), ...);
  return s;
}

// A study of the usual shape: 187 samples in 18 populations of 2 regions,
// 56 loci; one score in twenty missing ('?') when asked.
struct Study {
  std::vector<std::string> names, pops;
  std::vector<std::string> scores;  // per sample, '0', '1' or '?'
  std::vector<int> sizes;
  explicit Study(bool missing) {
    unsigned state = 7;
    auto next = [&] { return state = state * 1103515245u + 12345u, static_cast<int>((state >> 16) & 0x7fff); };
    for (int p = 0; p < 18; ++p) sizes.push_back(p < 7 ? 11 : 10);  // 7 x 11 + 11 x 10 = 187
    for (int p = 0, s = 0; p < 18; ++p)
      for (int k = 0; k < sizes[static_cast<std::size_t>(p)]; ++k, ++s) {
        names.push_back(cat("A", std::to_string(1000 + s)));
        pops.push_back(cat("Field", std::to_string(p + 1)));
        std::string row;
        for (int q = 0; q < 56; ++q) row += missing && next() % 20 == 0 ? '?' : (next() % 100 < 30 + 3 * p ? '1' : '0');
        scores.push_back(row);
      }
  }
  std::string seed(char missing) const {
    std::string s = "187 56\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
      std::string row = scores[i];
      for (char& c : row)
        if (c == '?') c = missing;
      s.append(names[i]).append(10 - names[i].size(), ' ').append(row).append("\n");
    }
    return s;
  }
  std::string genalex() const {
    std::string s = "56,187,18";
    for (int z : sizes) s.append(",").append(std::to_string(z));
    s.append(",,2,9,9\nAFLP study,,");
    for (int p = 0; p < 18; ++p) s.append(",Field").append(std::to_string(p + 1));
    s.append(",,,North,South\nSample,Pop");
    for (int q = 1; q <= 56; ++q) s.append(",L").append(std::to_string(q));
    s.append("\n");
    for (std::size_t i = 0; i < names.size(); ++i) {
      s.append(names[i]).append(",").append(pops[i]);
      for (char c : scores[i]) s.append(c == '?' ? ",-1" : c == '1' ? ",1" : ",0");
      s.append(",,note\n");  // a blank column, then more
    }
    return s;
  }
  std::string rows(char delimiter) const {
    const std::string d(1, delimiter);
    std::string s = cat("strain", d, "population");
    for (int q = 1; q <= 56; ++q) s.append(d).append("L").append(std::to_string(q));
    s.append("\n");
    for (std::size_t i = 0; i < names.size(); ++i) {
      s.append(names[i]).append(d).append(pops[i]);
      for (char c : scores[i]) s.append(d).append(c == '?' ? "NA" : c == '1' ? "1" : "0");
      s.append("\n");
    }
    return s;
  }
  std::string columns() const {
    std::string s = "band";
    for (const std::string& n : names) s.append(",").append(n);
    s.append("\npopulation");
    for (const std::string& p : pops) s.append(",").append(p);
    s.append("\n");
    for (std::size_t q = 0; q < 56; ++q) {
      s.append("L").append(std::to_string(q + 1));
      for (const std::string& row : scores) s.append(row[q] == '?' ? "," : row[q] == '1' ? ",1" : ",0");
      s.append("\n");
    }
    return s;
  }
  std::string nexus(bool interleave) const {
    std::string s = "#NEXUS\n[written by hand]\nBEGIN DATA;\n  DIMENSIONS NTAX=187 NCHAR=56;\n"
                    "  FORMAT DATATYPE=STANDARD SYMBOLS=\"01\" MISSING=? GAP=-";
    s.append(interleave ? " INTERLEAVE;\nMATRIX\n" : ";\nMATRIX\n");
    const std::size_t width = interleave ? 28 : 56;
    for (std::size_t from = 0; from < 56; from += width)
      for (std::size_t i = 0; i < names.size(); ++i) s.append("'").append(names[i]).append("' ").append(scores[i].substr(from, width)).append("\n");
    return s.append(";\nEND;\n");
  }
};

// Option 1 (Jaccard, r = 6) on the content: its .matJ file and report.
std::pair<std::string, std::string> jaccard(const std::string& content, const BandInput& input = {}) {
  test::TempDir dir;
  writefile(dir / "in", content);
  test::RecordingWindowSystem ws;
  CFile report(std::fopen((dir / "report").c_str(), "wb"));
  RunContext ctx{ws, report};
  DistanceRequest rq;
  static_cast<BandInput&>(rq) = input;
  rq.path = dir / "in", rq.sites = 6;
  const std::string error = test::errorstopof([&] { calcdist(ctx, rq); });
  report.close();
  EXPECT_EQ(error, "");
  return {readfile(dir / "in.matJ"), readfile(dir / "report")};
}

TEST(BandFormats, EveryFormatGivesTheTablesOfTheFixedLayout) {
  const Study study(false);
  const std::string expected = jaccard(study.seed('0')).first;
  ASSERT_EQ(expected.substr(0, 5), "187\r\n");
  BandInput columns;
  columns.layout = BandLayout::Columns;
  for (const auto& [format, content, input] :
       {std::tuple{"genalex", study.genalex(), BandInput{}}, {"csv rows", study.rows(','), BandInput{}},
        {"tsv rows", study.rows('\t'), BandInput{}}, {"columns", study.columns(), columns},
        {"nexus", study.nexus(false), BandInput{}}, {"nexus interleaved", study.nexus(true), BandInput{}},
        {"rows, no corner cell", study.rows(',').substr(7), BandInput{}},
        {"columns, no corner cell", study.columns().substr(5), columns}}) {
    SCOPED_TRACE(format);
    const auto [table, report] = jaccard(content, input);
    EXPECT_EQ(table, expected);
    EXPECT_NE(report.find("Souche 187 : A1186\r\n"), std::string::npos);
  }
  // The GenAlEx file's groups, in the report.
  const std::string report = jaccard(study.genalex()).second;
  EXPECT_NE(report.find("Groups (region) 2: North (97), South (90)\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Groups (population) 18: Field1 (11), Field2 (11)"), std::string::npos) << report;
}

TEST(BandFormats, MissingScoresCountedAsAbsentAreTheZerosOfTheFixedLayout) {
  const Study study(true);
  const std::string zeros = jaccard(study.seed('0')).first;
  BandInput absent;
  absent.missing = MissingScores::Absent;
  EXPECT_EQ(jaccard(study.genalex(), absent).first, zeros);
  const auto [pairwise, report] = jaccard(study.rows(','));
  EXPECT_NE(pairwise, zeros);
  EXPECT_NE(report.find("Missing scores: "), std::string::npos);
}

// A groups file in place of the data's own groups, and its faults.
TEST(BandFormats, GroupsFilesMatchTheStrainsByName) {
  const std::string bands = "3 4\nA         1100\nB b       1010\nC         0111\n";
  struct Case {
    const char* groups;
    const char* outcome;  // a report line, or the error
  };
  for (const Case& c : {Case{"name,pop,region\nC,p2,r1\nA,p1,r1\nB b,p1,r1\n", "Groups (pop) 2: p1 (2), p2 (1)"},
                        Case{"name,pop\nA,p1\nB b,p1\nA,p2\nC,p2\n",
                             "line 4: the strain \"A\" is named twice (first on line 2) (readgroups)"},
                        Case{"name,pop\nA,p1\nC,p2\n", ": no row for the strain \"B b\" (readgroups)"},
                        Case{"name,pop\nA,p1\nB b,p1\nC,p2\nD,p2\n", "line 5: \"D\" is not a strain of the data"},
                        Case{"name\nA\n", "line 1: a header \"name,LEVEL1,...\" with at least one level"}}) {
    SCOPED_TRACE(c.groups);
    test::TempDir dir;
    writefile(dir / "in", bands);
    writefile(dir / "groups.csv", c.groups);
    test::RecordingWindowSystem ws;
    CFile report(std::fopen((dir / "report").c_str(), "wb"));
    RunContext ctx{ws, report};
    DistanceRequest rq;
    rq.path = dir / "in", rq.sites = 6, rq.groups = dir / "groups.csv";
    const std::string error = test::errorstopof([&] { calcdist(ctx, rq); });
    report.close();
    EXPECT_NE((error + readfile(dir / "report")).find(c.outcome), std::string::npos) << error;
    EXPECT_EQ(error.empty(), test::exists(dir / "in.matJ"));
  }
}

// Exported and read again, the data give the same tables.
TEST(BandFormats, ExportsReadBackToTheSameTables) {
  const Study study(true);
  const std::string expected = jaccard(study.genalex()).first;
  for (const ExportFormat to : {ExportFormat::GenAlEx, ExportFormat::Nexus}) {
    test::TempDir dir;
    writefile(dir / "in.csv", study.genalex());
    test::RecordingWindowSystem ws;
    CFile report(std::fopen((dir / "report").c_str(), "wb"));
    RunContext ctx{ws, report};
    ExportRequest rq;
    rq.path = dir / "in.csv", rq.output = dir / "out", rq.to = to;
    ASSERT_EQ(test::errorstopof([&] { exportbands(ctx, rq); }), "");
    EXPECT_EQ(jaccard(readfile(dir / "out")).first, expected) << static_cast<int>(to);
  }
}

// Names of 40 characters holding blanks, in a table of either layout: every
// output keeps them whole (PHYLIP writes each blank as _).
TEST(BandFormats, LongNamesWithBlanksStayWholeInEveryOutput) {
  const std::vector<std::string> names = {"Isolate from the northern field, plot 17", "Isolate from the northern field, plot 18",
                                          "Isolate from the southern field, plot 02", "Reference strain of the 2019 survey (A)"};
  const char* scores[] = {"1101", "1100", "0011", "0111"};
  std::string rows = "strain,B1,B2,B3,B4\n", columns = "band";
  for (std::size_t i = 0; i < names.size(); ++i) {
    rows += cat("\"", names[i], "\"");
    for (char c : std::string(scores[i])) rows += cat(",", std::string(1, c));
    rows += "\n";
    columns += cat(",\"", names[i], "\"");
  }
  columns += "\n";
  for (int b = 0; b < 4; ++b) {
    columns += cat("B", std::to_string(b + 1));
    for (const char* row : scores) columns += cat(",", std::string(1, row[b]));
    columns += "\n";
  }
  for (const auto& [layout, content] : {std::pair{"rows", rows}, {"columns", columns}}) {
    SCOPED_TRACE(layout);
    test::TempDir dir;
    writefile(dir / "in.csv", content);
    const std::string cli = "'" LORVANE_CLI "' ";
    const test::Run r = test::runprogram(
        cli + "distance --sites 6 --quiet --layout " + layout + " in.csv && " + cli + "tree --quiet in.csv.matJ && " + cli +
            "convert --quiet in.csv.matJ && " + cli + "convert --quiet --format csv in.csv.matJ",
        dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& name : names) {
      std::string phylip = name;
      for (char& c : phylip) c = c == ' ' ? '_' : c;
      EXPECT_NE(readfile(dir / "in.csv.matJ").find(name), std::string::npos) << name;
      EXPECT_NE(readfile(dir / "in.csv.matJ.nwk").find("'" + name + "'"), std::string::npos) << name;
      EXPECT_NE(readfile(dir / "in.csv.matJ.phy").find(phylip + " "), std::string::npos) << name;
      const std::string field = name.find(',') != std::string::npos ? "\"" + name + "\"" : name;
      EXPECT_NE(readfile(dir / "in.csv.matJ.csv").find("\n" + field + ","), std::string::npos) << name;
    }
  }
}

}  // namespace
}  // namespace lorvane
