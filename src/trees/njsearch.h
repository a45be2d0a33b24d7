#pragma once
// The search for neighbor-joining's next pair: the pair of least
// Q(i, j) = (r - 2) d(i, j) - (S(i) + S(j)), r the clusters left.
//
// Ties go to the pair the classic implementation picks. It keeps the
// clusters in a list, scans its pairs (i < j) in list order with a strict
// "<", and after each join puts the new cluster first and keeps the others
// in their order. So the list order is: the clusters made by joins, newest
// first, then the strains not yet joined, in table order. Each slot carries
// its rank in that order (-(join number) for a made cluster, the strain's
// index otherwise), and among pairs of equal Q the one whose (lower rank,
// higher rank) is least wins, whatever order the search meets them in.
//
// Two searches, one per table size, with the same calls: find() the pair;
// beforejoin(j), changed(k, d, j) for each cell (k, j) the join rewrites,
// and joined(i, j) around a join of slots i > j into slot j; wantscompact(),
// moved(to, from) for each kept slot and compacted() around a compaction.
#include <algorithm>
#include <vector>

#include "trees/slots.h"

namespace lorvane {

// What a search reads of the clusters: the table, each slot's S and rank.
struct NJClusters {
  const SlotTable& table;
  const std::vector<double>& sum;
  const std::vector<long long>& rank;
};

// The best pair met so far.
struct NJPair {
  double q = kInfinity;             // its Q
  long long first = 0, second = 0;  // the pair's ranks, lower first
  int i = -1, j = -1;               // its slots, i > j
  bool before(double oq, long long of, long long os) const {
    return oq < q || (oq == q && (of < first || (of == first && os < second)));
  }
  // Pair (i, j) of value q, kept when it comes before.
  void consider(int si, int sj, double oq, const std::vector<long long>& rank) {
    if (!(oq <= q)) return;
    const long long ri = rank[static_cast<std::size_t>(si)], rj = rank[static_cast<std::size_t>(sj)];
    const long long f = std::min(ri, rj), g = std::max(ri, rj);
    if (before(oq, f, g)) *this = NJPair{oq, f, g, si, sj};
  }
};

// Small tables: every open row's least Q by a vectorised scan of the
// compact table at each join, skipping the rows whose carried bound is
// above the least found so far, then the pairs of the least.
class WholeScan {
 public:
  explicit WholeScan(NJClusters clusters);
  NJPair find();
  void beforejoin(int /*j*/) { before_ = clusters_.sum; }
  void changed(int /*k*/, double d, int /*j*/) { largest_ = std::max(largest_, d); }
  void joined(int i, int j);
  // The table is scanned whole, closed cells too: it is kept nearly compact.
  bool wantscompact() const { return clusters_.table.slots() - clusters_.table.live() >= std::max(4, clusters_.table.slots() / 8); }
  void moved(int to, int from) { bound_[static_cast<std::size_t>(to)] = bound_[static_cast<std::size_t>(from)]; }
  void compacted() {}

 private:
  NJClusters clusters_;
  // Each row's least Q in this step (+infinity when skipped), a lower bound
  // of it, the sums before the join, the largest distance.
  std::vector<double> rowq_, bound_, before_;
  std::vector<int> rows_;
  double largest_ = -kInfinity;
};

// Larger tables: each row keeps its least cells in a sorted list, and the
// rows whose bound of Q cannot reach the best are skipped (see njsearch.cpp).
class ListSearch {
 public:
  ListSearch(NJClusters clusters, const TreeSettings& settings);
  NJPair find();
  // Slot j is to take a new cluster.
  void beforejoin(int j) { ++version_[static_cast<std::size_t>(j)]; }
  void changed(int k, double d, int j) {
    if (k > j && d < rest_[static_cast<std::size_t>(k)]) insert(k, d, j);
  }
  void joined(int i, int j);
  bool wantscompact() const { return clusters_.table.slots() >= 256 && clusters_.table.live() * 2 <= clusters_.table.slots(); }
  void moved(int to, int from) { version_[static_cast<std::size_t>(to)] = version_[static_cast<std::size_t>(from)]; }
  void compacted();

 private:
  struct Entry {
    double d;
    int j;
    int version;  // the version of slot j when the entry was made
  };
  Entry* list(int i) { return &list_[static_cast<std::size_t>(i) * static_cast<std::size_t>(width_)]; }
  void rebuildlist(int i);
  void sethead(int i);
  void insert(int k, double d, int j);
  void scanrow(int i, double c, double most, NJPair& best);

  NJClusters clusters_;
  const TreeSettings& settings_;
  const int width_;  // entries per list: fewer for small tables, where rows are short
  std::vector<Entry> list_;
  std::vector<int> listsize_;
  std::vector<double> rest_;  // of each row: every open cell outside the list is at least this
  std::vector<double> most_;
  std::vector<int> version_;
  std::vector<double> head_;  // of each row: list_'s first value, or rest_ when empty
};

}  // namespace lorvane
