// Neighbor-joining on the slot table (trees/slots.h): the sums S of the
// rows, then while more than three clusters are left, find the pair of
// least Q (trees/njsearch.h: ties as the classic implementation breaks
// them), join it into a new cluster with edges
//   (d(p, q) +- (S(p) - S(q)) / (r - 2)) / 2
// (p the first of the pair in the classic implementation's list order), and
// update the distances of the others to it, (d(p, k) + d(q, k) - d(p, q)) / 2,
// and their sums; the last three clusters meet at the root.
#include <algorithm>
#include <type_traits>

#include "core/messages.h"
#include "trees/njsearch.h"
#include "trees/tree.h"

namespace lorvane {

namespace {

template <typename Search>
class Joiner : public SlotTable {
 public:
  Joiner(std::vector<std::string>&& names, LowerHalf&& lower, const TreeSettings& settings)
      : SlotTable(std::move(names), std::move(lower), settings), sum_(rowsums()), rank_(static_cast<std::size_t>(slots())),
        search_(makesearch()) {
    for (int i = 0; i < slots(); ++i) rank_[static_cast<std::size_t>(i)] = i;
  }

  Tree run() {
    const int total = std::max(0, slots() - 3);
    for (int done = 0; live() > 3; ++done) {
      progress(done, total);
      const NJPair pair = search_.find();
      // Only values beyond the range of numbers (no Q is below +infinity,
      // or Q is not a number) leave no pair: never join outside the table.
      if (pair.i < 0 || pair.j < 0)
        throw ErrorStop("Error: neighbor-joining found no pair to join: the table holds values beyond the range of "
                        "numbers (neighborjoining)");
      join(pair, done);
      if (search_.wantscompact()) {
        // The slots keep their order, so that every sum is added in the
        // same order whatever the layout.
        compact([this](int to, int from) {
          sum_[static_cast<std::size_t>(to)] = sum_[static_cast<std::size_t>(from)];
          rank_[static_cast<std::size_t>(to)] = rank_[static_cast<std::size_t>(from)];
          search_.moved(to, from);
        });
        search_.compacted();
      }
    }
    progress(total, total);
    finish();
    return std::move(tree_);
  }

 private:
  Search makesearch() {
    if constexpr (std::is_same_v<Search, WholeScan>)
      return WholeScan({*this, sum_, rank_});
    else
      return ListSearch({*this, sum_, rank_}, settings_);
  }

  // Each row's sum over the columns in ascending order, a row's own cells
  // (j < i) then the cells below it in its column (k > i): two strains
  // whose rows hold the same distances get the same sum exactly, whatever
  // their places in the table. One pass along the rows.
  std::vector<double> rowsums() const {
    std::vector<double> sum(static_cast<std::size_t>(slots()), 0.0);
    for (int i = 1; i < slots(); ++i) {
      const double* cells = row(i);
      double own = 0;
      for (int j = 0; j < i; ++j) own += cells[j];
      sum[static_cast<std::size_t>(i)] = own;
      for (int j = 0; j < i; ++j) sum[static_cast<std::size_t>(j)] += cells[j];
    }
    return sum;
  }

  void join(const NJPair& pair, int step) {
    const int i = pair.i, j = pair.j;  // i > j
    // The first of the pair in list order is the classic implementation's OTU1.
    const bool ifirst = rank_[static_cast<std::size_t>(i)] < rank_[static_cast<std::size_t>(j)];
    const int p = ifirst ? i : j, q = ifirst ? j : i;
    const double dpq = cell(i, j);
    const double skew = (sum_[static_cast<std::size_t>(p)] - sum_[static_cast<std::size_t>(q)]) / (live() - 2);
    double lp = (dpq + skew) / 2, lq = (dpq - skew) / 2;
    if (settings_.clampnegative) clamp(lp, lq, dpq);
    const int u = joinnodes(node_[static_cast<std::size_t>(p)], node_[static_cast<std::size_t>(q)], lp, lq);
    search_.beforejoin(j);
    // The new cluster takes slot j; slot i closes. By ranges of k, so that
    // each cell is found without a test: below j both cells lie in rows j
    // and i, between j and i in row k and row i, above i both in row k
    // (where slot i's cell closes at once).
    double su = 0;
    double* rowj = row(j);
    double* rowi = row(i);
    auto update = [&](int k, double& kj, double ki) {
      const double dp = ifirst ? ki : kj, dq = ifirst ? kj : ki;
      const double duk = (dp + dq - dpq) / 2;
      sum_[static_cast<std::size_t>(k)] += duk - dp - dq;
      su += duk;
      kj = duk;
      search_.changed(k, duk, j);
    };
    for (int k = 0; k < j; ++k)
      if (open(k)) update(k, rowj[k], rowi[k]);
    for (int k = j + 1; k < i; ++k)
      if (open(k)) update(k, row(k)[j], rowi[k]);
    for (int k = i + 1; k < slots(); ++k)
      if (open(k)) {
        double* rowk = row(k);
        update(k, rowk[j], rowk[i]);
        rowk[i] = kInfinity;
      }
    sum_[static_cast<std::size_t>(j)] = su;
    rank_[static_cast<std::size_t>(j)] = -1 - static_cast<long long>(step);
    replace(j, u, i);  // slot i's column closed above
    search_.joined(i, j);
  }

  // A negative length becomes 0 and its sister takes the whole distance.
  static void clamp(double& a, double& b, double d) {
    if (a < 0) {
      a = 0;
      b = d;
    } else if (b < 0) {
      b = 0;
      a = d;
    }
  }

  // The last clusters, in list order, under the root.
  void finish() {
    std::vector<int> last;
    for (int i = 0; i < slots(); ++i)
      if (open(i)) last.push_back(i);
    std::sort(last.begin(), last.end(), [this](int a, int b) { return rank_[static_cast<std::size_t>(a)] < rank_[static_cast<std::size_t>(b)]; });
    const int u = tree_.add(-1);
    tree_.root = u;
    if (last.size() == 1) {  // one strain
      joinleaf(u, last[0], 0);
      return;
    }
    if (last.size() == 2) {
      const double d = cell(last[0], last[1]);
      joinleaf(u, last[0], d / 2);
      joinleaf(u, last[1], d / 2);
      return;
    }
    const double d01 = cell(last[0], last[1]), d02 = cell(last[0], last[2]), d12 = cell(last[1], last[2]);
    double l[3] = {(d01 + d02 - d12) / 2, (d01 + d12 - d02) / 2, (d12 + d02 - d01) / 2};
    if (settings_.clampnegative)
      for (int k = 0; k < 3; ++k)
        if (l[k] < 0) {
          // The nearer of the other two takes the distance to this one.
          const int a = (k + 1) % 3, b = (k + 2) % 3;
          const int other = l[a] <= l[b] ? a : b;
          l[other] += l[k];
          l[k] = 0;
        }
    for (int k = 0; k < 3; ++k) joinleaf(u, last[static_cast<std::size_t>(k)], l[k]);
  }

  std::vector<double> sum_;  // S of each slot
  std::vector<long long> rank_;  // each slot's place in the classic implementation's list
  Search search_;
};

// Below TreeSettings::scanrows strains the lists cost more than they save:
// every open row is scanned whole.
template <typename Run>
auto bysize(int strains, const TreeSettings& settings, Run run) {
  return strains < settings.scanrows ? run(static_cast<Joiner<WholeScan>*>(nullptr))
                                     : run(static_cast<Joiner<ListSearch>*>(nullptr));
}

}  // namespace

Tree neighborjoining(std::vector<std::string> names, LowerHalf lower, const TreeSettings& settings) {
  return neighborjoining(std::move(names), &lower, settings);
}

Tree neighborjoining(std::vector<std::string> names, LowerHalf* work, const TreeSettings& settings) {
  const int strains = static_cast<int>(names.size());
  return bysize(strains, settings, [&]<typename Method>(Method*) {
    Method joiner(std::move(names), std::move(*work), settings);
    Tree t = joiner.run();
    *work = joiner.release();
    return t;
  });
}

}  // namespace lorvane
