// UPGMA (average linkage) on the slot table (trees/slots.h): each row's
// nearest slot is kept; while more than one cluster is left, the pair of
// least distance joins (ties to the first pair in the table's order), the
// new cluster taking the slot of its first member at half the joining
// distance, and its distance to each other cluster is the mean of its
// members' distances, weighted by their sizes.
#include "core/messages.h"
#include "trees/slots.h"
#include "trees/tree.h"

namespace lorvane {

namespace {

class Averager : public SlotTable {
 public:
  Averager(std::vector<std::string>&& names, LowerHalf&& lower, const TreeSettings& settings)
      : SlotTable(std::move(names), std::move(lower), settings) {
    const auto n = static_cast<std::size_t>(slots());
    size_.assign(n, 1);
    height_.assign(n, 0.0);
    near_.assign(n, -1);
    neard_.assign(n, kInfinity);
    for (int i = 1; i < slots(); ++i) nearest(i);
  }

  Tree run() {
    tree_.rooted = true;
    const int total = std::max(0, slots() - 1);
    for (int done = 0; live() > 1; ++done) {
      progress(done, total);
      const int b = closest();
      if (b < 0)
        throw ErrorStop("Error: UPGMA found no pair to join: the table holds values beyond the range of numbers (upgma)");
      join(near_[static_cast<std::size_t>(b)], b);
      if (slots() >= 256 && live() * 2 <= slots()) {
        compact([this](int to, int from) {
          size_[static_cast<std::size_t>(to)] = size_[static_cast<std::size_t>(from)];
          height_[static_cast<std::size_t>(to)] = height_[static_cast<std::size_t>(from)];
        });
        near_.resize(static_cast<std::size_t>(slots()));
        neard_.resize(static_cast<std::size_t>(slots()));
        for (int i = 0; i < slots(); ++i) nearest(i);
      }
    }
    progress(total, total);
    for (int i = 0; i < slots(); ++i)
      if (open(i)) tree_.root = node_[static_cast<std::size_t>(i)];
    if (tree_.leaves() == 1) {  // one strain: a root over it
      const int u = tree_.add(-1);
      tree_.nodes[0].parent = u;
      tree_.nodes[static_cast<std::size_t>(u)].children.push_back(0);
      tree_.root = u;
    }
    return std::move(tree_);
  }

 private:
  // The row of the least (distance, first slot, second slot).
  int closest() const {
    int best = -1;
    for (int i = 1; i < slots(); ++i) {
      if (!open(i) || near_[static_cast<std::size_t>(i)] < 0) continue;
      if (best < 0 || neard_[static_cast<std::size_t>(i)] < neard_[static_cast<std::size_t>(best)] ||
          (neard_[static_cast<std::size_t>(i)] == neard_[static_cast<std::size_t>(best)] &&
           near_[static_cast<std::size_t>(i)] < near_[static_cast<std::size_t>(best)]))
        best = i;
    }
    return best;
  }

  // Row i's least distance and its first slot.
  void nearest(int i) {
    const double* cells = row(i);
    int at = -1;
    double least = kInfinity;
    for (int j = 0; j < i; ++j)
      if (cells[j] < least) least = cells[j], at = j;
    if (at < 0 && i > 0) {  // every cell closed, or every distance infinite
      for (int j = 0; j < i && at < 0; ++j)
        if (open(j)) at = j;
    }
    near_[static_cast<std::size_t>(i)] = at;
    neard_[static_cast<std::size_t>(i)] = least;
  }

  void join(int a, int b) {  // a < b
    const double h = cell(b, a) / 2;
    const int u = joinnodes(node_[static_cast<std::size_t>(a)], node_[static_cast<std::size_t>(b)],
                            h - height_[static_cast<std::size_t>(a)], h - height_[static_cast<std::size_t>(b)]);
    const double na = size_[static_cast<std::size_t>(a)], nb = size_[static_cast<std::size_t>(b)];
    for (int k = 0; k < slots(); ++k) {
      if (!open(k) || k == a || k == b) continue;
      double& ka = cell(k, a);
      ka = (na * ka + nb * cell(k, b)) / (na + nb);
    }
    size_[static_cast<std::size_t>(a)] += size_[static_cast<std::size_t>(b)];
    height_[static_cast<std::size_t>(a)] = h;
    node_[static_cast<std::size_t>(a)] = u;
    close(b);
    near_[static_cast<std::size_t>(b)] = -1;
    // Rows whose nearest was a or b are searched again; the others compare
    // their new distance to a.
    nearest(a);
    for (int k = a + 1; k < slots(); ++k) {
      if (!open(k)) continue;
      const int nk = near_[static_cast<std::size_t>(k)];
      const double dka = row(k)[a];
      if (nk == a || nk == b)
        nearest(k);
      else if (dka < neard_[static_cast<std::size_t>(k)] || (dka == neard_[static_cast<std::size_t>(k)] && a < nk))
        near_[static_cast<std::size_t>(k)] = a, neard_[static_cast<std::size_t>(k)] = dka;
    }
  }

  std::vector<double> size_;    // strains in each slot's cluster
  std::vector<double> height_;  // of each slot's cluster's node
  std::vector<int> near_;       // each row's nearest slot before it (-1: none)
  std::vector<double> neard_;   // and its distance
};

}  // namespace

Tree upgma(std::vector<std::string> names, LowerHalf lower, const TreeSettings& settings) {
  return Averager(std::move(names), std::move(lower), settings).run();
}

Tree upgma(std::vector<std::string> names, LowerHalf* work, const TreeSettings& settings) {
  Averager averager(std::move(names), std::move(*work), settings);
  Tree t = averager.run();
  *work = averager.release();
  return t;
}

}  // namespace lorvane
