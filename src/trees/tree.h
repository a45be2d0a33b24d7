#pragma once
// Trees from distance tables: neighbor-joining and UPGMA, the support of
// their edges from replicate trees, the extended majority-rule consensus,
// and Newick text.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/lowerhalf.h"

namespace lorvane {

// Leaves are nodes 0 to leaves - 1, in the order of the table's strains.
// Each node but the root holds the edge above it: its length and its
// support (a percentage, NaN when the edge has none).
struct Tree {
  struct Node {
    int parent = -1;
    std::vector<int> children;
    double length = 0;
    double support = std::numeric_limits<double>::quiet_NaN();
  };
  std::vector<Node> nodes;
  std::vector<std::string> names;  // of the leaves
  int root = -1;
  bool rooted = false;  // UPGMA; an unrooted tree has three subtrees at its root
  int leaves() const { return static_cast<int>(names.size()); }
  int add(int parent);  // a new node under parent (-1: none), its index
};

struct TreeSettings {
  // A negative length becomes 0 and its sister edge takes the pair's
  // whole distance (so the path between the two stays as it was).
  bool clampnegative = false;
  int threads = 1;
  // Tables of at least this many rows spread each search over the threads.
  int threadrows = 4000;
  // Neighbor-joining scans every open row at each join (vectorised, on one
  // thread, skipping the rows whose carried bound cannot win) for tables
  // under this many rows; larger ones keep each row's least cells in sorted
  // lists. The lists only pay on tables with strong structure (1.1 times
  // faster at 10,000 strains simulated along a tree) and fail on tables of
  // nearly equal distances, where every list runs out at every join (5,000
  // strains of random bands: 120 s against the scan's 1.8 s). So the scan
  // is used whatever the size; the lists stay for callers that ask for them.
  int scanrows = std::numeric_limits<int>::max();
  // Called now and then with the joins done and the joins in all, on the
  // calling thread; it may throw to stop the work.
  std::function<void(int done, int total)> progress;
};

// Neighbor-joining (Saitou & Nei, with Studier & Keppler's criterion
// Q(i, j) = (r - 2) d(i, j) - S(i) - S(j), r the clusters left, S a row's
// sum). The pair of least Q joins; among equal Q the first pair in the
// order of the classic implementation, which keeps the clusters in a list
// with each new cluster put first (see nj.cpp). `lower` is the table's lower
// half as in DistanceTable and is used up.
Tree neighborjoining(std::vector<std::string> names, LowerHalf lower, const TreeSettings& settings);
// UPGMA (average linkage): the pair of least distance joins, ties going to
// the first pair in the table's order, the new cluster taking the place of
// its first member. Node heights are half the joining distance.
Tree upgma(std::vector<std::string> names, LowerHalf lower, const TreeSettings& settings);
// The same in `work`, the lower half: its values are used up, and its
// storage stays there for the caller's next table.
Tree neighborjoining(std::vector<std::string> names, LowerHalf* work, const TreeSettings& settings);
Tree upgma(std::vector<std::string> names, LowerHalf* work, const TreeSettings& settings);

// Leaf sets as bits. The split of an edge of an unrooted tree is the side
// without leaf 0; a clade of a rooted tree is the leaves under the node.
using Split = std::vector<std::uint64_t>;
using SplitView = std::span<const std::uint64_t>;
// Splits are looked up by their words wherever they lie.
struct SplitHash {
  using is_transparent = void;
  std::size_t operator()(SplitView s) const noexcept;
};
struct SplitEqual {
  using is_transparent = void;
  bool operator()(SplitView a, SplitView b) const noexcept { return std::ranges::equal(a, b); }
};
// The splits (or clades) of a tree's edges that split something (neither
// the root nor the leaves have one), in the order of their nodes, `words`
// words each, one after another.
struct EdgeSplits {
  std::size_t words = 0;
  std::vector<std::uint64_t> bits;
  std::vector<int> nodes;  // the node of each
  std::size_t size() const { return nodes.size(); }
  SplitView operator[](std::size_t k) const { return {bits.data() + k * words, words}; }
};
// Into `out`, whose storage is used again.
void edgesplits(const Tree& t, EdgeSplits& out);
// A split and the number of trees that hold it.
struct SplitTally {
  Split split;
  int count = 0;
};

// Counts the replicate trees that hold each internal edge of a reference.
class SupportCounter {
 public:
  explicit SupportCounter(const Tree& reference);
  void add(const Tree& replicate);
  // The same from the replicate's splits.
  void add(const EdgeSplits& replicate);
  // Label the reference's internal edges with their percentages.
  void label(Tree& reference) const;
  int count(int node) const { return counts_[static_cast<std::size_t>(node)]; }
  // The splits of `trees` further replicate trees, with their counts
  // (Consensus::tallies), as if those trees were added now.
  void add(const std::vector<SplitTally>& tallies, int trees);

 private:
  std::unordered_map<Split, int, SplitHash, SplitEqual> edges_;  // split -> node
  std::vector<int> counts_;
  int trees_ = 0;
};

// The extended majority-rule consensus of replicate trees: splits held by
// more than half of them, then each split compatible with those taken, by
// decreasing frequency, ties by first appearance. Edges carry percentages.
class Consensus {
 public:
  void add(const Tree& replicate);
  // The same from the replicate's splits, strains and kind (rooted or not).
  void add(const std::vector<std::string>& names, bool rooted, const EdgeSplits& edges);
  Tree build() const;

  // What the consensus is built from: each split seen with its count, in
  // the order the splits first appeared, and the trees added.
  using Tally = SplitTally;
  std::vector<Tally> tallies() const;
  int trees() const { return trees_; }
  // The tallies of `trees` further replicate trees of the strains and kind
  // (rooted or not) of `like`, as if those trees were added now.
  void add(const Tree& like, const std::vector<Tally>& tallies, int trees);

 private:
  struct Entry {
    int count = 0;
    long long first = 0;
  };
  std::unordered_map<Split, Entry, SplitHash, SplitEqual> seen_;
  std::vector<std::string> names_;
  bool rooted_ = false;
  int trees_ = 0;
  long long order_ = 0;
};

// "100", "99.9", "50": at most one decimal, no trailing ".0".
std::string percenttext(double percent);
// A name as Newick writes it: trailing blanks trimmed, single-quoted (a
// quote inside doubled) when it holds anything but letters, digits, '.',
// '-' and UTF-8 characters: a blank, an underscore (which readers turn into
// a blank when bare) or punctuation.
std::string newickname(const std::string& name);
// One line ending in ";\n": lengths as %.10g when `lengths`, support as
// the label of the node below its edge.
std::string newick(const Tree& t, bool lengths = true);
// The first tree of Newick text, as newick() writes it and as others do:
// names quoted or bare (underscores kept), lengths after ':', a number after
// ')' taken as the support of the edge above that node, [comments] skipped.
// Leaves are numbered in their order in the text; the tree is rooted when
// its root has two children. Error stop naming `where` on a fault.
Tree readnewick(const std::string& text, const std::string& where);

}  // namespace lorvane
