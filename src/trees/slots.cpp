#include "trees/slots.h"

#include "core/interrupt.h"

namespace lorvane {

SlotTable::SlotTable(std::vector<std::string>&& names, LowerHalf&& lower, const TreeSettings& settings)
    : settings_(settings), distances_(std::move(lower)) {
  slots_ = static_cast<int>(names.size());
  live_ = slots_;
  tree_.names = std::move(names);
  // The leaves, then room for every join, taken at once.
  tree_.nodes.reserve(2 * static_cast<std::size_t>(slots_));
  tree_.nodes.resize(static_cast<std::size_t>(slots_));
  node_.resize(static_cast<std::size_t>(slots_));
  for (int i = 0; i < slots_; ++i) node_[static_cast<std::size_t>(i)] = i;
  open_.assign(static_cast<std::size_t>(slots_), 1);
}

int SlotTable::joinnodes(int a, int b, double la, double lb) {
  const int u = tree_.add(-1);
  for (auto [child, length] : {std::pair{a, la}, std::pair{b, lb}}) {
    auto& node = tree_.nodes[static_cast<std::size_t>(child)];
    node.parent = u;
    node.length = length;
    tree_.nodes[static_cast<std::size_t>(u)].children.push_back(child);
  }
  return u;
}

void SlotTable::joinleaf(int u, int slot, double length) {
  const int child = node_[static_cast<std::size_t>(slot)];
  tree_.nodes[static_cast<std::size_t>(child)].parent = u;
  tree_.nodes[static_cast<std::size_t>(child)].length = length;
  tree_.nodes[static_cast<std::size_t>(u)].children.push_back(child);
}

void SlotTable::replace(int slot, int node, int other) {
  node_[static_cast<std::size_t>(slot)] = node;
  open_[static_cast<std::size_t>(other)] = 0;
  --live_;
}

void SlotTable::close(int slot) {
  open_[static_cast<std::size_t>(slot)] = 0;
  for (int k = slot + 1; k < slots_; ++k) distances_[Triangle::below(k, slot)] = kInfinity;
  --live_;
}

std::vector<std::pair<int, int>> SlotTable::keptruns(const std::vector<int>& kept) const {
  std::vector<std::pair<int, int>> runs;
  for (std::size_t to = 0; to < kept.size(); ++to)
    if (to == 0 || kept[to] != kept[to - 1] + 1) runs.emplace_back(kept[to], static_cast<int>(to));
  return runs;
}

// A stop asked for (core/interrupt.h) ends the tree at any join: a join of a
// large table with many near ties can take a tenth of a second.
void SlotTable::progress(int done, int total) const {
  checkinterrupt();
  if (settings_.progress && (done % 64 == 0 || done == total)) settings_.progress(done, total);
}

}  // namespace lorvane
