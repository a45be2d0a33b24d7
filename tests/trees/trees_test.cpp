// Trees: the golden trees of ape and phangorn (scripts/trees-golden.R),
// the pruned search against an exhaustive one on tied tables, the small
// cases, support and consensus, Newick text, and options 3 to 5.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <csignal>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "../testutil.h"
#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "runs/treeruns.h"
#include "core/interrupt.h"
#include "core/messages.h"
#include "tables/distancetable.h"
#include "trees/tree.h"

namespace lorvane {
namespace {

using test::errorstopof;
using test::readfile;
using test::TempDir;
using test::writefile;

const std::string kData = std::string(LORVANE_TEST_DATA) + "/trees/";

// A Newick tree as its edges: the leaves on the side away from the root
// (for an unrooted tree, the side without `first`), with length and label.
struct Edges {
  std::map<std::set<std::string>, std::pair<double, std::string>> edges;
  std::set<std::string> leaves;
};

class NewickParser {
 public:
  NewickParser(const std::string& text, Edges& out) : s_(text), out_(out) {}
  std::set<std::string> subtree() {
    std::set<std::string> under;
    if (s_[at_] == '(') {
      do {
        ++at_;
        auto c = subtree();
        under.insert(c.begin(), c.end());
      } while (s_[at_] == ',');
      ++at_;  // ')'
      label_ = name();
    } else {
      const std::string leaf = name();
      under.insert(leaf);
      out_.leaves.insert(leaf);
    }
    double length = NAN;
    if (s_[at_] == ':') {
      ++at_;
      std::size_t used = 0;
      length = std::stod(s_.substr(at_), &used);
      at_ += used;
    }
    if (s_[at_] != ';') out_.edges[under] = {length, under.size() > 1 ? label_ : ""};
    return under;
  }

 private:
  std::string name() {
    std::string n;
    if (s_[at_] == '\'') {
      for (++at_; !(s_[at_] == '\'' && s_[at_ + 1] != '\''); ++at_) {
        n += s_[at_];
        if (s_[at_] == '\'') ++at_;
      }
      ++at_;
      return n;
    }
    while (std::string(":,();").find(s_[at_]) == std::string::npos) n += s_[at_++];
    return n;
  }
  const std::string& s_;
  Edges& out_;
  std::size_t at_ = 0;
  std::string label_;
};

Edges edgesof(const std::string& newicktext, bool rooted, const std::string& first) {
  Edges e;
  NewickParser(newicktext, e).subtree();
  if (rooted) return e;
  Edges u;
  u.leaves = e.leaves;
  for (auto& [side, value] : e.edges) {
    std::set<std::string> s = side;
    if (s.count(first)) {
      s.clear();
      std::set_difference(e.leaves.begin(), e.leaves.end(), side.begin(), side.end(), std::inserter(s, s.end()));
    }
    u.edges[s] = value;
  }
  return u;
}

void expectsame(const std::string& ours, const std::string& golden, bool rooted, const std::string& first,
                double tolerance, const std::string& what) {
  const Edges a = edgesof(ours, rooted, first), b = edgesof(golden, rooted, first);
  ASSERT_EQ(a.leaves, b.leaves) << what;
  ASSERT_EQ(a.edges.size(), b.edges.size()) << what;
  for (const auto& [side, value] : b.edges) {
    auto it = a.edges.find(side);
    ASSERT_NE(it, a.edges.end()) << what << ": a split of the golden tree is missing\n" << ours << "\n" << golden;
    EXPECT_NEAR(it->second.first, value.first, tolerance) << what;
    EXPECT_EQ(it->second.second, value.second) << what;
  }
}

Tree build(DistanceTable t, bool nj, const TreeSettings& s = {}) {
  return nj ? neighborjoining(std::move(t.names), std::move(t.lower), s) : upgma(std::move(t.names), std::move(t.lower), s);
}

TEST(GoldenTrees, SplitsLengthsAndSupportAsApeAndPhangornGiveThem) {
  for (const char* name : {"ties", "zero", "negative", "integers", "strains50", "twins"}) {
    const std::string path = kData + name + ".matD";
    const DistanceTable table = readtables(path).at(0);
    std::vector<DistanceTable> reps;
    if (test::exists(path + ".reps")) reps = readtables(path + ".reps");
    for (bool nj : {true, false}) {
      Tree tree = build(table, nj);
      SupportCounter support(tree);
      for (const auto& r : reps) support.add(build(r, nj));
      if (!reps.empty()) support.label(tree);
      expectsame(newick(tree), readfile(path + (nj ? ".nj.nwk" : ".upgma.nwk")), !nj, table.names[0], 1e-8,
                 std::string(name) + (nj ? " nj" : " upgma"));
    }
  }
  // ape reads the names as written (it keeps quotes; it cannot read a doubled one).
  Tree t = build(DistanceTable{{"A B", "it's", "x_y", "a,b(c):[d];"}, {1, 1, 1, 1, 1, 1}, false}, true);
  const std::string text = newick(t);
  EXPECT_NE(text.find("'A B':"), std::string::npos);
  EXPECT_NE(text.find("'it''s':"), std::string::npos);
  EXPECT_NE(text.find("x_y:"), std::string::npos);
  EXPECT_NE(text.find("'a,b(c):[d];':"), std::string::npos);
  EXPECT_EQ(readfile(kData + "quoted-labels.txt"), "'A B'\nNA\nx_y\n'a,b(c):[d];'\n");
}

// Two strains with the same distances to every other (T2 and T7, far
// apart in the table) join with edges of 0, as ape writes them, not -x and
// +x: their sums are equal exactly, in the whole scan and the pruned search.
TEST(NeighborJoining, IdenticalStrainsJoinWithEdgesOfZero) {
  const DistanceTable table = readtables(kData + "twins.matD").at(0);
  TreeSettings pruned;
  pruned.scanrows = 0;
  for (const TreeSettings& s : {TreeSettings{}, pruned})
    EXPECT_NE(newick(build(table, true, s)).find("(T2:0,T7:0)"), std::string::npos) << s.scanrows;
}

// The classic implementation, step by step: the clusters in a list, each
// row's sum taken afresh, pairs scanned in list order with "<", the new
// cluster put first.
std::string classicnj(const DistanceTable& t) {
  const int n0 = t.size();
  std::vector<std::vector<double>> d(static_cast<std::size_t>(n0), std::vector<double>(static_cast<std::size_t>(n0)));
  for (int i = 0; i < n0; ++i)
    for (int j = 0; j < n0; ++j) d[i][j] = t(i, j);
  std::vector<std::string> label = t.names;
  while (d.size() > 3) {
    const int n = static_cast<int>(d.size());
    std::vector<double> s(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < n; ++j) s[i] += d[i][j];
      for (int j = 0; j < i; ++j) s[i] += d[i][j];
    }
    double best = 1e50;
    int a = 0, b = 0;
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j)
        if (const double q = (n - 2) * d[i][j] - (s[i] + s[j]); q < best) best = q, a = i, b = j;
    const double skew = (s[a] - s[b]) / (n - 2);
    char l[64];
    std::snprintf(l, sizeof l, ":%.10g", (d[a][b] + skew) / 2);
    std::string joined = "(" + label[a] + l;
    std::snprintf(l, sizeof l, ":%.10g", (d[a][b] - skew) / 2);
    joined += "," + label[b] + l + ")";
    std::vector<int> keep;
    for (int k = 0; k < n; ++k)
      if (k != a && k != b) keep.push_back(k);
    std::vector<std::vector<double>> e(keep.size() + 1, std::vector<double>(keep.size() + 1, 0));
    std::vector<std::string> nl{joined};
    for (std::size_t x = 0; x < keep.size(); ++x) {
      nl.push_back(label[keep[x]]);
      e[0][x + 1] = e[x + 1][0] = (d[keep[x]][a] + d[keep[x]][b] - d[a][b]) / 2;
      for (std::size_t y = 0; y < keep.size(); ++y) e[x + 1][y + 1] = d[keep[x]][keep[y]];
    }
    d = std::move(e);
    label = std::move(nl);
  }
  char l[3][64];
  std::snprintf(l[0], 64, ":%.10g", (d[0][1] + d[0][2] - d[1][2]) / 2);
  std::snprintf(l[1], 64, ":%.10g", (d[0][1] + d[1][2] - d[0][2]) / 2);
  std::snprintf(l[2], 64, ":%.10g", (d[1][2] + d[0][2] - d[0][1]) / 2);
  return "(" + label[0] + l[0] + "," + label[1] + l[1] + "," + label[2] + l[2] + ");";
}

TEST(NeighborJoining, PrunedSearchOnThreadsJoinsAsTheClassicScanOnTiedTables) {
  std::mt19937 rng(11);
  for (int n : {4, 9, 40, 300}) {
    DistanceTable t;
    for (int i = 0; i < n; ++i) t.names.push_back(std::to_string(i) + "s");
    // Quarters from 1 to 2: many exact ties, exact sums.
    for (int i = 1; i < n; ++i)
      for (int j = 0; j < i; ++j) t.lower.push_back(1 + static_cast<double>(rng() % 5) / 4);
    TreeSettings s;
    s.threads = 2;
    s.threadrows = 16;
    expectsame(newick(build(t, true, s)), classicnj(t), false, "0s", 1e-9, "n = " + std::to_string(n));
  }
}

// The whole scan (tables under TreeSettings::scanrows) and the pruned search
// on threads join the same pairs, byte for byte: on ties, on many zero
// distances and on plain random tables, past each one's compaction.
TEST(NeighborJoining, WholeScanAndPrunedSearchGiveTheSameTree) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> uniform(0.01, 1);
  const struct {
    const char* what;
    std::function<double()> cell;
  } kinds[] = {
      {"quarters", [&] { return 1 + static_cast<double>(rng() % 5) / 4; }},
      {"zeros", [&] { return static_cast<double>(rng() % 3) / 2; }},
      {"uniform", [&] { return uniform(rng); }},
  };
  TreeSettings pruned;
  pruned.scanrows = 0;
  pruned.threads = 2;
  pruned.threadrows = 16;
  for (const auto& kind : kinds)
    for (int n : {5, 40, 300}) {
      DistanceTable t;
      for (int i = 0; i < n; ++i) t.names.push_back(std::to_string(i) + "s");
      for (int i = 1; i < n; ++i)
        for (int j = 0; j < i; ++j) t.lower.push_back(kind.cell());
      EXPECT_EQ(newick(build(t, true)), newick(build(t, true, pruned))) << kind.what << ", n = " << n;
    }
}

TEST(SmallTables, OneTwoAndThreeStrainsAndANegativeLengthClamped) {
  const struct {
    DistanceTable t;
    std::string nj, upgma;
  } cases[] = {
      {{{"A"}, {}, false}, "(A:0);\n", "(A:0);\n"},
      {{{"A", "B"}, {0.5}, false}, "(A:0.25,B:0.25);\n", "(A:0.25,B:0.25);\n"},
      {{{"A", "B", "C"}, {0.3, 0.5, 0.6}, false}, "(A:0.1,B:0.2,C:0.4);\n", "((A:0.15,B:0.15):0.125,C:0.275);\n"},
      // Q(A, B) = Q(C, D): the first pair joins.
      {{{"A", "B", "C", "D"}, {0, 0.5, 0.5, 0.75, 0.75, 0.25}, false},
       "((A:0,B:0):0.5,C:0,D:0.25);\n", "((A:0,B:0):0.3125,(C:0.125,D:0.125):0.1875);\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(newick(build(c.t, true)), c.nj);
    EXPECT_EQ(newick(build(c.t, false)), c.upgma);
  }
  // Clamped: no negative length, and each joined pair keeps its distance.
  const DistanceTable neg = readtables(kData + "negative.matD").at(0);
  TreeSettings clamp;
  clamp.clampnegative = true;
  const Tree t = build(neg, true, clamp);
  bool zero = false;
  for (const auto& node : t.nodes) {
    EXPECT_GE(node.length, 0);
    zero = zero || (node.parent >= 0 && node.length == 0);
  }
  EXPECT_TRUE(zero);
  EXPECT_EQ(newick(t), "(((N1:0.08333333333,N2:0.01666666667):0.2625,N3:0.2375):0.2125,N4:0,N5:0.1);\n");
}

TEST(Support, ConsensusTakesMajoritySplitsThenCompatibleOnesByFrequency) {
  auto tree = [](const LowerHalf& lower) {
    return build(DistanceTable{{"A", "B", "C", "D", "E"}, lower, false}, true);
  };
  // (A,B) in all three; (D,E) in two; (C,D) in one, against (D,E).
  const Tree ab_de = tree({1, 4, 4, 4, 4, 4, 4, 4, 4, 1});
  const Tree ab_cd = tree({1, 4, 4, 4, 4, 1, 4, 4, 4, 4});
  Consensus c;
  SupportCounter s(ab_de);
  for (const Tree* t : {&ab_de, &ab_de, &ab_cd}) {
    c.add(*t);
    s.add(*t);
  }
  EXPECT_EQ(newick(c.build(), false), "(((D,E)66.7,C)100,A,B);\n");
  Tree labelled = ab_de;
  s.label(labelled);
  EXPECT_NE(newick(labelled).find(")66.7:"), std::string::npos) << newick(labelled);

  const struct {
    double p;
    const char* text;
  } percents[] = {{100, "100"}, {99.94, "99.9"}, {50, "50"}, {66.666, "66.7"}, {0, "0"}};
  for (const auto& p : percents) EXPECT_EQ(percenttext(p.p), p.text);
}

// Options 3 to 5 through the option runner's entry.
struct Options : test::OptionRunner {
  std::string run(int option, const std::vector<std::string>& answers) {
    return OptionRunner::run(option, answers);
  }
};

TEST(TreeOptions, TreeWithSupportConsensusAndReplicatesAndNothingHalfWritten) {
  Options o;
  const std::string table = o.dir / "t.matD", reps = o.dir / "t.matD.reps";
  writefile(table, readfile(kData + "integers.matD"));
  writefile(reps, readfile(kData + "integers.matD.reps"));
  const std::string report = o.run(3, {table, "", reps, "1"});
  ASSERT_EQ(o.error, "");
  EXPECT_EQ(report,
            "Lorvane: Reading distance table\r\nInput file: " + table +
                "\r\n--- Format: triangle text, number of rows: 12, columns: 12\r\nLorvane: Building tree\r\n"
                "Method = neighbor-joining\r\nReplicate file: " + reps + "\r\n--- Replicate tables: 20\r\nOutput file: " + table +
                ".nwk\r\nOutput file: " + table + ".cons.nwk\r\nOutput file: " + table + ".reps.nwk\r\n");
  expectsame(readfile(table + ".nwk"), readfile(kData + "integers.matD.nj.nwk"), false, "I1", 1e-8, "option 3");
  const std::string lines = readfile(table + ".reps.nwk");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 20);
  EXPECT_EQ(lines.find("\n"), lines.find(";\r\n") + 2);  // CR LF lines
  EXPECT_EQ(o.ws.progress.front(), "open Building trees");

  // A replicate file of other strains: an error naming it; the earlier outputs stay.
  writefile(reps, "2\nX         0.1\nY\n");
  const std::string before = readfile(table + ".nwk");
  o.run(3, {table, "2", reps, "1"});
  EXPECT_NE(o.error.find("replicate table 1 holds other strains"), std::string::npos) << o.error;
  EXPECT_EQ(readfile(table + ".nwk"), before);
  EXPECT_EQ(test::listfolder(o.dir.path()).size(), 6u);  // t.matD, reps, report and the three outputs

  // No replicates: the tree alone; an empty table answer runs nothing.
  std::remove((table + ".nwk").c_str());
  o.run(3, {table, "2"});
  EXPECT_NE(readfile(table + ".nwk").find("):"), std::string::npos);
  EXPECT_EQ(o.run(3, {""}), "");

  // A signal stops the run at its first step; nothing is written.
  std::remove((table + ".nwk").c_str());
  setinterrupt(SIGTERM);
  o.run(3, {table});
  setinterrupt(0);
  EXPECT_NE(o.error.find("interrupted"), std::string::npos) << o.error;
  EXPECT_FALSE(test::exists(table + ".nwk"));
}

TEST(TreeOptions, ConversionKeepsEveryTable) {
  Options o;
  const std::string reps = o.dir / "r.matD";
  writefile(reps, readfile(kData + "integers.matD.reps"));
  const auto tables = readtables(reps);
  using Writer = std::string (*)(const DistanceTable&);
  for (auto [format, extension, writer] : {std::tuple<const char*, const char*, Writer>{"1", ".phy", phylipsquare},
                                           {"2", ".lower.phy", phyliplower},
                                           {"3", ".csv", csvtable}}) {
    const std::string report = o.run(5, {reps, format});
    ASSERT_EQ(o.error, "");
    std::string expected;
    for (const auto& t : tables) expected += writer(t);
    std::string crlf;
    for (char ch : expected) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    EXPECT_EQ(readfile(reps + extension), crlf);
    EXPECT_NE(report.find("tables: 20, number of rows: 12"), std::string::npos) << report;
  }
}

// The same splits, the lengths within what the 3-decimal text tables change.
void expectsplits(const std::string& ours, const std::string& theirs, const std::string& what) {
  const Edges a = edgesof(ours, false, "S1"), b = edgesof(theirs, false, "S1");
  ASSERT_EQ(a.edges.size(), b.edges.size()) << what;
  for (const auto& [side, value] : b.edges) {
    auto it = a.edges.find(side);
    ASSERT_NE(it, a.edges.end()) << what << "\n" << ours << "\n" << theirs;
    EXPECT_NEAR(it->second.first, value.first, 2e-3) << what;
  }
}

std::vector<std::string> lines(const std::string& text) {  // without their ends
  std::vector<std::string> out;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    out.push_back(text.substr(at, end - at));
  return out;
}

// Option 4 in one step against options 1 and 2, then option 3 on their files.
TEST(TreeOptions, BootstrapTreeIsTheTreeOfTheTablesOfOptionsOneAndTwo) {
  Options o;
  // Three groups of three near strains.
  const std::string bands =
      "9 60\n"
      "S1        100101101010010110101001011010100101001010010000001001010111\n"
      "S2        101101111010010100001011110010100111001110010100000001010000\n"
      "S3        100101001010010100100001010010100101001000010100101001010010\n"
      "S4        010010100101001000010101100001000010101101001111010100101001\n"
      "S5        010011000101001010010100101001010010000101001010010100101001\n"
      "S6        011010101101001010010110101001010010110101101011010100101001\n"
      "S7        110010010010100111001010010100101001111010100111101010010100\n"
      "S8        101001010010100110011011010101101001010010000101001010010001\n"
      "S9        101001010010100011011010100101111101001010101111001000010100\n";
  const std::string input = o.dir / "bands.txt";
  const struct {
    const char* index;
    const char* jc;
    const char* simple;     // option 1's table of the index
    const char* replicate;  // option 2's table of the index, if it has one
  } cases[] = {{"1", "0", ".matJ", ".matJ"}, {"2", "1", ".matDJC", ".matDJC"}, {"3", "0", ".matNL", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.simple);
    for (const std::string& f : test::listfolder(o.dir.path())) std::remove((o.dir / f).c_str());
    writefile(input, bands);
    CFile none(std::fopen((o.dir / "r1").c_str(), "wb"));
    RunContext ctx{o.ws, none};
    ctx.settings.seed = 77;
    // Option 2 first, its file moved aside: options 1 and 2 share some names.
    const std::string reps = c.replicate ? input + c.replicate + ".reps" : "";
    if (c.replicate) {
      test::compute(ctx, input, {2, 4, 1.0f, std::stoi(c.index), 0, 6});
      std::rename((input + c.replicate).c_str(), reps.c_str());
    }
    test::compute(ctx, input, {1, 4, 1.0f, std::stoi(c.index), std::stoi(c.jc), 0});
    none.close();
    o.run(3, {input + c.simple, "", reps});
    ASSERT_EQ(o.error, "");
    // Replicates side by side (two batches on two threads) and one at a
    // time: the same files, byte for byte.
    o.settings.threads = 2;
    std::string sidebyside;
    for (const int batch : {4, 1}) {
      o.settings.seed = 77;
      o.settings.replicatebatch = batch;
      const std::string report = o.run(4, {input, "4", "", c.index, c.jc, "6"});
      ASSERT_EQ(o.error, "");
      EXPECT_TRUE(report.ends_with("Output file: " + input + ".reps.nwk\r\nRandom number seed: 77\r\n")) << report;
      if (batch == 4)
        sidebyside = readfile(input + ".reps.nwk") + readfile(input + ".cons.nwk");
      else
        EXPECT_EQ(readfile(input + ".reps.nwk") + readfile(input + ".cons.nwk"), sidebyside);
    }
    expectsplits(readfile(input + ".nwk"), readfile(input + c.simple + ".nwk"), "reference");
    EXPECT_EQ(lines(readfile(input + ".reps.nwk")).size(), 6u);
    // The tables behind the trees: option 1's, then option 2's one by one (to their 3 decimals).
    std::vector<DistanceTable> theirs = readtables(input + c.simple);
    if (c.replicate) {
      const auto replicates = readtables(reps);
      theirs.insert(theirs.end(), replicates.begin(), replicates.end());
    }
    const BootTreeRequest request{input, 4, 1.0f, static_cast<DistanceIndex>(std::stoi(c.index)), c.jc[0] == '1', 6};
    CFile quiet(std::fopen((o.dir / "r2").c_str(), "wb"));
    RunContext again{o.ws, quiet, o.settings};
    boottables(again, request, [&](int k, DistanceTable& t) {
      if (static_cast<std::size_t>(k) >= theirs.size()) return;
      const DistanceTable& file = theirs[static_cast<std::size_t>(k)];
      ASSERT_EQ(t.names, file.names);
      for (std::size_t p = 0; p < t.lower.size(); ++p) ASSERT_NEAR(t.lower[p], file.lower[p], 5e-4) << k;
    });
  }

  // A Jukes-Cantor correction of 0.75 or more: an error naming the pair, nothing written.
  for (const std::string& f : test::listfolder(o.dir.path())) std::remove((o.dir / f).c_str());
  writefile(input, "3 12\nA         110100101101\nB         001011010010\nC         111111111111\n");
  o.run(4, {input, "1", "", "2", "1", "3"});
  EXPECT_EQ(o.error, "Error: strains 1 (A) and 2 (B) have no finite distance (boottree)");
  EXPECT_EQ(test::listfolder(o.dir.path()).size(), 2u);  // the band file and the report
}

}  // namespace
}  // namespace lorvane
