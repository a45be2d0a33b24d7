#pragma once
// The slot table of neighbor-joining and UPGMA: the clusters of a tree
// under way, each in a slot of one lower half table (core/triangle.h), slot
// i's row holding d(i, j) for j < i, contiguous. A join puts the new
// cluster in one slot of the pair and closes the other; a closed slot's
// cells are set to +infinity, so that scans need not test for it (`close`
// does it, neighbor-joining in its own pass over the rows). Once enough
// slots are closed the table is compacted in place, the open slots keeping
// their order.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/lowerhalf.h"
#include "core/triangle.h"
#include "trees/tree.h"

namespace lorvane {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

class SlotTable {
 public:
  SlotTable(std::vector<std::string>&& names, LowerHalf&& lower, const TreeSettings& settings);

  int slots() const { return slots_; }
  int live() const { return live_; }  // open slots
  bool open(int slot) const { return open_[static_cast<std::size_t>(slot)] != 0; }
  const char* openflags() const { return open_.data(); }
  const double* row(int i) const { return &distances_[Triangle::row(i)]; }
  double* row(int i) { return &distances_[Triangle::row(i)]; }
  double cell(int i, int j) const { return distances_[Triangle::at(i, j)]; }
  double& cell(int i, int j) { return distances_[Triangle::at(i, j)]; }
  const LowerHalf& cells() const { return distances_; }
  // The table's storage, for the caller's next table.
  LowerHalf release() { return std::move(distances_); }

 protected:
  // A node over two clusters' nodes, with the lengths of their edges.
  int joinnodes(int a, int b, double la, double lb);
  // A cluster's node under node u, with the length of its edge.
  void joinleaf(int u, int slot, double length);
  // The slot takes the node; `other`'s slot closes, its column left to the
  // caller.
  void replace(int slot, int node, int other);
  void close(int slot);
  // Keep the open slots only, in their order; perslot(to, from) moves each
  // slot's own values of the caller along.
  template <typename Move>
  void compact(Move perslot);
  // Before each join: the settings' progress now and then; an error stop
  // when a stop was asked for.
  void progress(int done, int total) const;

  Tree tree_;
  std::vector<int> node_;  // the tree node of each slot's cluster
  const TreeSettings& settings_;

 private:
  // The kept slots in runs of neighbours: (first slot, first new slot).
  std::vector<std::pair<int, int>> keptruns(const std::vector<int>& kept) const;

  LowerHalf distances_;
  std::vector<char> open_;  // 0 once the slot's cluster is joined into another
  int slots_ = 0, live_ = 0;
};

template <typename Move>
void SlotTable::compact(Move perslot) {
  std::vector<int> kept;
  for (int i = 0; i < slots_; ++i)
    if (open(i)) kept.push_back(i);
  const std::vector<std::pair<int, int>> runs = keptruns(kept);
  for (int to = 0; to < static_cast<int>(kept.size()); ++to) {
    const int from = kept[static_cast<std::size_t>(to)];
    // Row `to` holds the kept columns before it; it never lies after row `from`.
    for (std::size_t r = 0; r < runs.size() && runs[r].second < to; ++r) {
      const int end = r + 1 < runs.size() ? std::min(runs[r + 1].second, to) : to;
      const double* source = &distances_[Triangle::below(from, runs[r].first)];
      std::copy(source, source + (end - runs[r].second), &distances_[Triangle::below(to, runs[r].second)]);
    }
    node_[static_cast<std::size_t>(to)] = node_[static_cast<std::size_t>(from)];
    perslot(to, from);
  }
  slots_ = static_cast<int>(kept.size());
  distances_.resize(Triangle::cells(slots_));
  node_.resize(static_cast<std::size_t>(slots_));
  open_.assign(static_cast<std::size_t>(slots_), 1);
}

}  // namespace lorvane
