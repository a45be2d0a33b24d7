// Trees: the golden trees of ape and phangorn (scripts/trees-golden.R),
// the pruned search against an exhaustive one on tied tables, the small
// cases, support and consensus, and Newick text.
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
#include "treecheck.h"
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
using test::edgesof;
using test::expectsame;
using test::Edges;
const std::string& kData = test::kTreeData;


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
  // ape reads the names as written (it keeps quotes; it cannot read a
  // doubled one); an underscore is quoted, as readers turn a bare one into
  // a blank. The golden files: scripts/trees-golden.R, scripts/newick-golden.py.
  Tree t = build(DistanceTable{{"A B", "it's", "x_y", "a,b(c):[d];"}, {1, 1, 1, 1, 1, 1}, false}, true);
  const std::string text = newick(t);
  EXPECT_NE(text.find("'A B':"), std::string::npos);
  EXPECT_NE(text.find("'it''s':"), std::string::npos);
  EXPECT_NE(text.find("'x_y':"), std::string::npos);
  EXPECT_NE(text.find("'a,b(c):[d];':"), std::string::npos);
  EXPECT_EQ(readfile(kData + "quoted-labels.txt"), "'A B'\nNA\n'x_y'\n'a,b(c):[d];'\n");
  // scikit-bio reads every name back whole.
  EXPECT_EQ(readfile(kData + "quoted-labels-skbio.txt"), "A B\nit's\nx_y\na,b(c):[d];\n");
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

  // Splits held by exactly half of the replicates: a compatible one is
  // taken at 50; of two that conflict, the one seen first.
  const struct {
    std::vector<const Tree*> replicates;
    const char* consensus;
  } halves[] = {
      {{&ab_de, &ab_cd, &ab_de, &ab_cd}, "(((D,E)50,C)100,A,B);\n"},
      {{&ab_cd, &ab_de, &ab_de, &ab_cd}, "(((C,D)50,E)100,A,B);\n"},
  };
  for (const auto& h : halves) {
    Consensus half;
    for (const Tree* t : h.replicates) half.add(*t);
    EXPECT_EQ(newick(half.build(), false), h.consensus);
  }

  const struct {
    double p;
    const char* text;
  } percents[] = {{100, "100"}, {99.94, "99.9"}, {50, "50"}, {66.666, "66.7"}, {0, "0"}};
  for (const auto& p : percents) EXPECT_EQ(percenttext(p.p), p.text);
}

// Options 3 to 5 through the option runner's entry.
}  // namespace
}  // namespace lorvane
