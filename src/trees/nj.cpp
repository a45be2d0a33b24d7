// Neighbor-joining and UPGMA on a half table of doubles.
//
// Both keep the clusters in slots of one lower half table: slot i's row
// holds d(i, j) for j < i, contiguous. A join puts the new cluster in the
// lower slot of the pair and closes the other; a closed slot's cells are
// set to +infinity, so that scans need not test for it. When half the slots
// are closed, the table is compacted in place.
//
// Neighbor-joining picks the same pair as the classic implementation, which
// keeps the clusters in a list, scans its pairs (i < j) in list order with
// a strict "<", and after each join puts the new cluster first and keeps
// the others in their order. So the list order is: the clusters made by
// joins, newest first, then the strains not yet joined, in table order.
// Each slot carries its rank in that order (`rank_`: -(join number) for a
// made cluster, the strain's index otherwise), and among pairs of equal Q
// the one whose (lower rank, higher rank) is least wins, whatever order the
// search meets them in.
//
// Tables under TreeSettings::scanrows rows are searched whole at each join,
// without lists: each open row's least Q by a vectorised scan of the compact
// half table, skipping the rows whose carried bound is above the least found
// so far, then the pairs of the least. Larger tables take the pruned search
// below.
//
// The pruned search skips most rows: Q(i, j) >= (r - 2) m(i) - S(i) - max S, with
// m(i) a lower bound of the least distance in row i (exact after the row is
// scanned, lowered when a new cluster's distance in the row is smaller; a
// closed cell only raises the true least distance). A row whose bound is
// above the best Q so far cannot hold the pair, nor a tie with it.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

#include "trees/tree.h"

namespace lorvane {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::size_t rowstart(int i) { return static_cast<std::size_t>(i) * static_cast<std::size_t>(i - 1) / 2; }

// Four doubles: two SSE2 registers, or one AVX register in the clone for
// processors that have it.
using Quad = double __attribute__((vector_size(32)));
#if defined(__x86_64__) && !defined(LORVANE_NO_CLONES)
#define LORVANE_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define LORVANE_VECTOR_CLONES
#endif

// The least of c d[j] - (si + s[j]) over j < n: Q along one row of the
// half table. Each lane keeps its own least; the rounding of every Q is
// the scalar one, so the least is exactly the least of the scalar values.
LORVANE_VECTOR_CLONES double leastq(const double* d, const double* s, int n, double c, double si) {
  Quad a = {kInf, kInf, kInf, kInf}, b = a;
  const Quad cv = {c, c, c, c}, sv = {si, si, si, si};
  int j = 0;
  for (; j + 8 <= n; j += 8) {
    Quad d0, d1, s0, s1;
    std::memcpy(&d0, d + j, sizeof d0);
    std::memcpy(&d1, d + j + 4, sizeof d1);
    std::memcpy(&s0, s + j, sizeof s0);
    std::memcpy(&s1, s + j + 4, sizeof s1);
    const Quad q0 = cv * d0 - (sv + s0), q1 = cv * d1 - (sv + s1);
    a = q0 < a ? q0 : a;
    b = q1 < b ? q1 : b;
  }
  double least = kInf;
  for (; j < n; ++j) least = std::min(least, c * d[j] - (si + s[j]));
  for (int l = 0; l < 4; ++l) least = std::min({least, a[l], b[l]});
  return least;
}

// The half table and the slots' bookkeeping shared by both methods.
class Slots {
 protected:
  Slots(std::vector<std::string>&& names, LowerHalf&& lower, const TreeSettings& settings)
      : d_(std::move(lower)), settings_(settings) {
    slots_ = static_cast<int>(names.size());
    live_ = slots_;
    tree_.names = std::move(names);
    tree_.nodes.resize(static_cast<std::size_t>(slots_));
    node_.resize(static_cast<std::size_t>(slots_));
    for (int i = 0; i < slots_; ++i) node_[static_cast<std::size_t>(i)] = i;
    open_.assign(static_cast<std::size_t>(slots_), 1);
  }
  // The table's storage, for the caller's next table.
  LowerHalf release() { return std::move(d_); }
  double& cell(int i, int j) { return i > j ? d_[rowstart(i) + static_cast<std::size_t>(j)] : d_[rowstart(j) + static_cast<std::size_t>(i)]; }
  // A node over two clusters' nodes.
  int joinnodes(int a, int b, double la, double lb) {
    const int u = tree_.add(-1);
    for (auto [c, l] : {std::pair{a, la}, std::pair{b, lb}}) {
      auto& child = tree_.nodes[static_cast<std::size_t>(c)];
      child.parent = u;
      child.length = l;
      tree_.nodes[static_cast<std::size_t>(u)].children.push_back(c);
    }
    return u;
  }
  void close(int slot) {
    open_[static_cast<std::size_t>(slot)] = 0;
    for (int k = slot + 1; k < slots_; ++k) d_[rowstart(k) + static_cast<std::size_t>(slot)] = kInf;
    --live_;
  }
  // Keep the open slots only, in their order; `perslot` moves each slot's
  // own values along.
  template <typename Move>
  void compact(Move perslot) {
    int to = 0;
    std::vector<int> kept;
    for (int i = 0; i < slots_; ++i)
      if (open_[static_cast<std::size_t>(i)]) kept.push_back(i);
    // The kept columns in runs of neighbours: (first slot, first new slot).
    std::vector<std::pair<int, int>> runs;
    for (int nj = 0; nj < static_cast<int>(kept.size()); ++nj)
      if (nj == 0 || kept[static_cast<std::size_t>(nj)] != kept[static_cast<std::size_t>(nj) - 1] + 1)
        runs.emplace_back(kept[static_cast<std::size_t>(nj)], nj);
    for (int ni = 0; ni < static_cast<int>(kept.size()); ++ni) {
      const int i = kept[static_cast<std::size_t>(ni)];
      // Row ni holds the kept columns before i; it never lies after row i.
      for (std::size_t r = 0; r < runs.size() && runs[r].second < ni; ++r) {
        const int end = r + 1 < runs.size() ? std::min(runs[r + 1].second, ni) : ni;
        const double* from = &d_[rowstart(i) + static_cast<std::size_t>(runs[r].first)];
        std::copy(from, from + (end - runs[r].second), &d_[rowstart(ni) + static_cast<std::size_t>(runs[r].second)]);
      }
      node_[static_cast<std::size_t>(ni)] = node_[static_cast<std::size_t>(i)];
      perslot(ni, i);
      ++to;
    }
    slots_ = to;
    d_.resize(rowstart(slots_));
    node_.resize(static_cast<std::size_t>(slots_));
    open_.assign(static_cast<std::size_t>(slots_), 1);
  }
  void progress(int done, int total) {
    if (settings_.progress && (done % 64 == 0 || done == total)) settings_.progress(done, total);
  }

  LowerHalf d_;
  const TreeSettings& settings_;
  Tree tree_;
  std::vector<int> node_;   // the tree node of each slot's cluster
  std::vector<char> open_;  // 0 once the slot's cluster is joined into another
  int slots_ = 0, live_ = 0;
};

// A few threads that run one function on row ranges, and sleep between.
class Team {
 public:
  explicit Team(int threads) {
    for (int t = 1; t < threads; ++t) workers_.emplace_back([this, t] { work(t); });
  }
  ~Team() {
    {
      std::lock_guard lock(m_);
      stop_ = true;
      ++generation_;
    }
    go_.notify_all();
    for (auto& w : workers_) w.join();
  }
  int size() const { return static_cast<int>(workers_.size()) + 1; }
  // body(t) on every thread t, the calling one as 0; returns when all did.
  void run(const std::function<void(int)>& body) {
    if (workers_.empty()) {
      body(0);
      return;
    }
    {
      std::lock_guard lock(m_);
      body_ = &body;
      pending_ = static_cast<int>(workers_.size());
      ++generation_;
    }
    go_.notify_all();
    body(0);
    std::unique_lock lock(m_);
    done_.wait(lock, [this] { return pending_ == 0; });
  }

 private:
  void work(int t) {
    long long seen = 0;
    for (;;) {
      const std::function<void(int)>* body;
      {
        std::unique_lock lock(m_);
        go_.wait(lock, [&] { return generation_ != seen; });
        seen = generation_;
        if (stop_) return;
        body = body_;
      }
      (*body)(t);
      {
        std::lock_guard lock(m_);
        if (--pending_ == 0) done_.notify_one();
      }
    }
  }
  std::vector<std::thread> workers_;
  std::mutex m_;
  std::condition_variable go_, done_;
  const std::function<void(int)>* body_ = nullptr;
  long long generation_ = 0;
  int pending_ = 0;
  bool stop_ = false;
};

class Joiner : Slots {
 public:
  using Slots::release;
  Joiner(std::vector<std::string>&& names, LowerHalf&& lower, const TreeSettings& settings)
      : Slots(std::move(names), std::move(lower), settings) {
    const std::size_t n = static_cast<std::size_t>(slots_);
    sum_.assign(n, 0.0);
    rank_.resize(n);
    for (int i = 0; i < slots_; ++i) rank_[static_cast<std::size_t>(i)] = i;
    // Each row's sum as the classic implementation adds it: the strains
    // after i, then those before, one at a time; both passes along rows.
    for (int i = 1; i < slots_; ++i) {
      const double* row = &d_[rowstart(i)];
      for (int j = 0; j < i; ++j) sum_[static_cast<std::size_t>(j)] += row[j];
    }
    for (int i = 1; i < slots_; ++i) {
      const double* row = &d_[rowstart(i)];
      double s = sum_[static_cast<std::size_t>(i)];
      for (int j = 0; j < i; ++j) s += row[j];
      sum_[static_cast<std::size_t>(i)] = s;
    }
    if (small_) {
      bound_.assign(n, -kInf);  // not known before the first scan
      for (double v : d_) largest_ = std::max(largest_, v);
      return;
    }
    listsize_.assign(n, 0);
    version_.assign(n, 0);
    head_.assign(n, kInf);
    list_.resize(n * static_cast<std::size_t>(width_));
    rest_.assign(n, kInf);
    for (int i = 1; i < slots_; ++i) rebuildlist(i);
  }

  Tree run() {
    const int n = slots_, total = std::max(0, n - 3);
    Team team(n >= settings_.threadrows ? settings_.threads : 1);
    for (int done = 0; live_ > 3; ++done) {
      progress(done, total);
      if (small_) {
        findsmall();
        before_ = sum_;
        join(done);
        carryover(best_.j);
      } else {
        findpair(team);
        join(done);
      }
      // A small table is scanned whole, closed cells too: it is kept
      // nearly compact. The slots keep their order, so that every sum is
      // added in the same order whatever the layout.
      if (small_ ? slots_ - live_ >= std::max(4, slots_ / 8) : slots_ >= 256 && live_ * 2 <= slots_) {
        compact([this](int to, int from) {
          sum_[static_cast<std::size_t>(to)] = sum_[static_cast<std::size_t>(from)];
          rank_[static_cast<std::size_t>(to)] = rank_[static_cast<std::size_t>(from)];
          if (small_)
            bound_[static_cast<std::size_t>(to)] = bound_[static_cast<std::size_t>(from)];
          else
            version_[static_cast<std::size_t>(to)] = version_[static_cast<std::size_t>(from)];
        });
        if (!small_)
          for (int i = 1; i < slots_; ++i) rebuildlist(i);
      }
    }
    progress(total, total);
    finish();
    return std::move(tree_);
  }

 private:
  // Each row keeps its width_ least cells, sorted, in a list: every cell of
  // the row outside the list is at least rest_ of the row. A cell changed by
  // a join that comes below rest_ goes into the list. A slot's version
  // changes when its cluster does (a join puts a new one there, or closes
  // it): an entry of an older version is dropped when met, without reading
  // the table (its cell, if open, is then at least rest_). A row's scan walks its list and stops where the
  // bound passes the best Q; only a row whose list runs out with the bound
  // of rest_ still below the best is scanned whole, and its list rebuilt.
  // Entries per list: fewer for small tables, where rows are short.
  const int width_ = std::clamp(slots_ / 8, 8, 48);
  // Below this many strains the lists cost more than they save: every
  // open row is scanned whole (findsmall).
  const bool small_ = slots_ < settings_.scanrows;
  struct Candidate {
    double d;
    int j;
    int version;  // the version of slot j when the entry was made
  };
  struct Best {
    double q = kInf;
    long long first = 0, second = 0;  // the pair's ranks, lower first
    int i = -1, j = -1;               // its slots, i > j
    bool before(double oq, long long of, long long os) const {
      return oq < q || (oq == q && (of < first || (of == first && os < second)));
    }
  };

  // The width_ least open cells of row i, in one pass: a cell below the
  // list's last goes in, and rest_ is the least cell left out.
  void rebuildlist(int i) {
    const double* row = &d_[rowstart(i)];
    Candidate* list = &list_[static_cast<std::size_t>(i) * static_cast<std::size_t>(width_)];
    int size = 0;
    double rest = kInf;
    for (int j = 0; j < i; ++j) {
      const double d = row[j];
      if (size == width_ && !(d < list[width_ - 1].d)) {
        rest = std::min(rest, d);
        continue;
      }
      if (!open_[static_cast<std::size_t>(j)]) continue;
      if (size == width_) rest = std::min(rest, list[--size].d);
      int at = size++;
      while (at > 0 && list[at - 1].d > d) {
        list[at] = list[at - 1];
        --at;
      }
      list[at] = {d, j, version_[static_cast<std::size_t>(j)]};
    }
    listsize_[static_cast<std::size_t>(i)] = size;
    rest_[static_cast<std::size_t>(i)] = rest;
    sethead(i);
  }

  // The least value of row i that the list and rest_ allow.
  void sethead(int i) {
    head_[static_cast<std::size_t>(i)] =
        listsize_[static_cast<std::size_t>(i)] > 0 ? list_[static_cast<std::size_t>(i) * static_cast<std::size_t>(width_)].d : rest_[static_cast<std::size_t>(i)];
  }

  // A cell of row k that fell below rest_ joins the list.
  void insert(int k, double d, int j) {
    Candidate* list = &list_[static_cast<std::size_t>(k) * static_cast<std::size_t>(width_)];
    int& size = listsize_[static_cast<std::size_t>(k)];
    if (size == width_) {
      rest_[static_cast<std::size_t>(k)] = std::min(rest_[static_cast<std::size_t>(k)], list[width_ - 1].d);
      --size;
    }
    int at = size;
    while (at > 0 && list[at - 1].d > d) {
      list[at] = list[at - 1];
      --at;
    }
    list[at] = {d, j, version_[static_cast<std::size_t>(j)]};
    ++size;
    sethead(k);
  }

  void consider(int i, int j, double q, Best& best) const {
    if (!(q <= best.q)) return;
    const long long ri = rank_[static_cast<std::size_t>(i)], rj = rank_[static_cast<std::size_t>(j)];
    const long long f = std::min(ri, rj), g = std::max(ri, rj);
    if (best.before(q, f, g)) best = Best{q, f, g, i, j};
  }

  // The pairs (i, j), j < i, that may come before the best so far. `most`
  // is the largest S of the open slots before i: Q(i, j) >= c d(i, j) - (S(i) + most).
  void scanrow(int i, double c, double most, Best& best) {
    const double* row = &d_[rowstart(i)];
    const double* s = sum_.data();
    const int* version = version_.data();
    const double si = sum_[static_cast<std::size_t>(i)], offset = si + most;
    Candidate* list = &list_[static_cast<std::size_t>(i) * static_cast<std::size_t>(width_)];
    int& size = listsize_[static_cast<std::size_t>(i)];
    const double rest = rest_[static_cast<std::size_t>(i)];
    if (c * head_[static_cast<std::size_t>(i)] - offset > best.q) return;
    int kept = 0, e = 0;
    for (; e < size; ++e) {
      const Candidate x = list[e];
      if (x.version != version[x.j]) continue;
      if (c * x.d - offset > best.q) break;
      consider(i, x.j, c * x.d - (si + s[x.j]), best);
      list[kept++] = x;
    }
    const bool stopped = e < size;
    if (kept < e) {
      std::copy(list + e, list + size, list + kept);
      size = kept + (size - e);
      sethead(i);
    }
    if (stopped || c * rest - offset > best.q) return;
    // The list ran out: the whole row, then a new list.
    const double least = leastq(row, s, i, c, si);
    if (least <= best.q)
      for (int j = 0; j < i; ++j)
        if (c * row[j] - (si + s[j]) == least) consider(i, j, least, best);
    rebuildlist(i);
  }

  // Small tables: each open row's least Q, then the pairs of the least of
  // them, from the rows that reach it (ties are rare: usually one row). A
  // row whose bound (carryover) is above the least found so far is
  // skipped; the row of least bound goes first.
  void findsmall() {
    const double c = live_ - 2;
    const double* s = sum_.data();
    rowq_.resize(static_cast<std::size_t>(slots_));
    int start = -1;
    for (int i = 1; i < slots_; ++i)
      if (open_[static_cast<std::size_t>(i)] && (start < 0 || bound_[static_cast<std::size_t>(i)] < bound_[static_cast<std::size_t>(start)]))
        start = i;
    double least = kInf;
    auto scan = [&](int i) {
      const double q = leastq(&d_[rowstart(i)], s, i, c, s[i]);
      rowq_[static_cast<std::size_t>(i)] = bound_[static_cast<std::size_t>(i)] = q;
      return q;
    };
    if (start > 0) least = scan(start);
    // The rows that may hold the pair, without a branch per row; then
    // those still in reach as the least goes down.
    rows_.resize(static_cast<std::size_t>(slots_));
    int count = 0;
    for (int i = 1; i < slots_; ++i) {
      rowq_[static_cast<std::size_t>(i)] = i == start ? rowq_[static_cast<std::size_t>(i)] : kInf;
      rows_[static_cast<std::size_t>(count)] = i;
      count += open_[static_cast<std::size_t>(i)] & (bound_[static_cast<std::size_t>(i)] <= least) & (i != start);
    }
    for (int r = 0; r < count; ++r) {
      const int i = rows_[static_cast<std::size_t>(r)];
      if (bound_[static_cast<std::size_t>(i)] <= least) least = std::min(least, scan(i));
    }
    Best best;
    for (int i = 1; i < slots_; ++i) {
      if (rowq_[static_cast<std::size_t>(i)] != least || !open_[static_cast<std::size_t>(i)]) continue;
      const double* row = &d_[rowstart(i)];
      for (int j = 0; j < i; ++j)
        if (c * row[j] - (s[i] + s[j]) == least) consider(i, j, least, best);
    }
    best_ = best;
  }

  // After a join (small tables), each row's bound of its least Q carried
  // to the next step. With c - 1 for c and S' the new sums, a cell that
  // stays has Q' = Q - d - (S'(i) - S(i)) - (S'(j) - S(j)); a cell of the
  // new cluster (slot j) is bounded by its own Q'. The margin covers the
  // rounding of the values and of the bounds.
  void carryover(int j) {
    const double c = live_ - 2;
    const std::size_t n = static_cast<std::size_t>(slots_);
    double rise = -kInf, big = 0;
    const double* sum = sum_.data();
    const double* before = before_.data();
    for (std::size_t k = 0; k < n; ++k) {
      big = std::max(big, std::abs(sum[k]));
      const double change = open_[k] && k != static_cast<std::size_t>(j) ? sum[k] - before[k] : -kInf;
      rise = std::max(rise, change);
    }
    const double scale = c * std::abs(largest_) + 4 * big;
    double* bound = bound_.data();
    for (std::size_t k = 0; k < n; ++k)
      bound[k] = bound[k] - largest_ - (sum[k] - before[k]) - rise - 1e-9 * (scale + std::abs(bound[k]));
    // Closed slots' cells are +infinity: no test needed.
    for (int k = j + 1; k < slots_; ++k) {
      const double q = c * d_[rowstart(k) + static_cast<std::size_t>(j)] - (sum[k] + sum[j]);
      bound[k] = std::min(bound[k], q - 1e-9 * (scale + std::abs(q)));
    }
    bound_[static_cast<std::size_t>(j)] = -kInf;
  }

  void findpair(Team& team) {
    const double c = live_ - 2;
    most_.resize(static_cast<std::size_t>(slots_));
    double most = -kInf, bound = kInf;
    int start = -1;
    for (int i = 0; i < slots_; ++i) {
      most_[static_cast<std::size_t>(i)] = most;
      if (!open_[static_cast<std::size_t>(i)]) continue;
      if (i > 0) {
        const double b = c * head_[static_cast<std::size_t>(i)] - (sum_[static_cast<std::size_t>(i)] + most);
        if (start < 0 || b < bound) start = i, bound = b;
      }
      most = std::max(most, sum_[static_cast<std::size_t>(i)]);
    }
    Best best;
    scanrow(start, c, most_[static_cast<std::size_t>(start)], best);
    // A good first bound: the head of every row's list.
    for (int i = 1; i < slots_; ++i) {
      if (!open_[static_cast<std::size_t>(i)] || listsize_[static_cast<std::size_t>(i)] == 0) continue;
      const Candidate& x = list_[static_cast<std::size_t>(i) * static_cast<std::size_t>(width_)];
      if (x.version == version_[static_cast<std::size_t>(x.j)])
        consider(i, x.j, c * x.d - (sum_[static_cast<std::size_t>(i)] + sum_[static_cast<std::size_t>(x.j)]), best);
    }
    // The other rows, spread over the team.
    const int threads = slots_ >= settings_.threadrows ? team.size() : 1;
    std::vector<Best> found(static_cast<std::size_t>(threads), best);
    std::atomic<int> nextrow{1};
    auto body = [&](int t) {
      Best& mine = found[static_cast<std::size_t>(t)];
      constexpr int kChunk = 256;
      for (;;) {
        const int from = nextrow.fetch_add(kChunk, std::memory_order_relaxed);
        if (from >= slots_) break;
        const int to = std::min(slots_, from + kChunk);
        for (int i = from; i < to; ++i)
          if (i != start && open_[static_cast<std::size_t>(i)])
            scanrow(i, c, most_[static_cast<std::size_t>(i)], mine);
      }
    };
    if (threads > 1)
      team.run(body);
    else
      body(0);
    for (const Best& b : found)
      if (b.i >= 0 && best.before(b.q, b.first, b.second)) best = b;
    best_ = best;
  }

  void join(int step) {
    const int i = best_.i, j = best_.j;  // i > j
    // The first of the pair in list order is the classic implementation's OTU1.
    const bool ifirst = rank_[static_cast<std::size_t>(i)] < rank_[static_cast<std::size_t>(j)];
    const int p = ifirst ? i : j, q = ifirst ? j : i;
    const double dpq = cell(i, j);
    const double skew = (sum_[static_cast<std::size_t>(p)] - sum_[static_cast<std::size_t>(q)]) / (live_ - 2);
    double lp = (dpq + skew) / 2, lq = (dpq - skew) / 2;
    if (settings_.clampnegative) clamp(lp, lq, dpq);
    const int u = joinnodes(node_[static_cast<std::size_t>(p)], node_[static_cast<std::size_t>(q)], lp, lq);
    // The new cluster takes slot j; slot i closes.
    if (!small_) ++version_[static_cast<std::size_t>(j)];
    // By ranges of k, so that each cell is found without a test: below j
    // both cells lie in rows j and i, between j and i in row k and row i,
    // above i both in row k (where slot i's cell closes at once).
    double su = 0;
    double* rowj = &d_[rowstart(j)];
    double* rowi = &d_[rowstart(i)];
    auto update = [&](int k, double& kj, double ki) {
      const double dp = ifirst ? ki : kj, dq = ifirst ? kj : ki;
      const double duk = (dp + dq - dpq) / 2;
      largest_ = std::max(largest_, duk);
      sum_[static_cast<std::size_t>(k)] += duk - dp - dq;
      su += duk;
      kj = duk;
      return duk;
    };
    for (int k = 0; k < j; ++k)
      if (open_[static_cast<std::size_t>(k)]) update(k, rowj[k], rowi[k]);
    for (int k = j + 1; k < i; ++k)
      if (open_[static_cast<std::size_t>(k)]) {
        const double duk = update(k, d_[rowstart(k) + static_cast<std::size_t>(j)], rowi[k]);
        if (!small_ && duk < rest_[static_cast<std::size_t>(k)]) insert(k, duk, j);
      }
    for (int k = i + 1; k < slots_; ++k)
      if (open_[static_cast<std::size_t>(k)]) {
        double* rowk = &d_[rowstart(k)];
        const double duk = update(k, rowk[j], rowk[i]);
        rowk[i] = kInf;
        if (!small_ && duk < rest_[static_cast<std::size_t>(k)]) insert(k, duk, j);
      }
    sum_[static_cast<std::size_t>(j)] = su;
    rank_[static_cast<std::size_t>(j)] = -1 - static_cast<long long>(step);
    node_[static_cast<std::size_t>(j)] = u;
    open_[static_cast<std::size_t>(i)] = 0;  // its column closed above
    --live_;
    if (small_) return;
    ++version_[static_cast<std::size_t>(i)];
    rebuildlist(j);
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

  void finish() {
    std::vector<int> last;
    for (int i = 0; i < slots_; ++i)
      if (open_[static_cast<std::size_t>(i)]) last.push_back(i);
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
  void joinleaf(int u, int slot, double length) {
    const int c = node_[static_cast<std::size_t>(slot)];
    tree_.nodes[static_cast<std::size_t>(c)].parent = u;
    tree_.nodes[static_cast<std::size_t>(c)].length = length;
    tree_.nodes[static_cast<std::size_t>(u)].children.push_back(c);
  }

  std::vector<double> sum_;  // S of each slot
  std::vector<long long> rank_;
  std::vector<Candidate> list_;
  std::vector<int> listsize_;
  std::vector<double> rest_;
  std::vector<double> most_;
  std::vector<int> version_;
  std::vector<double> head_;  // of each row: list_'s first value, or rest_ when empty
  // Small tables: each row's least Q in this step (+infinity when skipped),
  // a lower bound of it, the sums before the join, the largest distance.
  std::vector<double> rowq_, bound_, before_;
  std::vector<int> rows_;
  double largest_ = -kInf;
  Best best_;
};

class Averager : Slots {
 public:
  using Slots::release;
  Averager(std::vector<std::string>&& names, LowerHalf&& lower, const TreeSettings& settings)
      : Slots(std::move(names), std::move(lower), settings) {
    const std::size_t n = static_cast<std::size_t>(slots_);
    size_.assign(n, 1);
    height_.assign(n, 0.0);
    near_.assign(n, -1);
    neard_.assign(n, kInf);
    for (int i = 1; i < slots_; ++i) nearest(i);
  }

  Tree run() {
    tree_.rooted = true;
    const int total = std::max(0, slots_ - 1);
    for (int done = 0; live_ > 1; ++done) {
      progress(done, total);
      // The least (distance, first slot, second slot).
      int best = -1;
      for (int i = 1; i < slots_; ++i) {
        if (!open_[static_cast<std::size_t>(i)] || near_[static_cast<std::size_t>(i)] < 0) continue;
        if (best < 0 || neard_[static_cast<std::size_t>(i)] < neard_[static_cast<std::size_t>(best)] ||
            (neard_[static_cast<std::size_t>(i)] == neard_[static_cast<std::size_t>(best)] &&
             near_[static_cast<std::size_t>(i)] < near_[static_cast<std::size_t>(best)]))
          best = i;
      }
      join(near_[static_cast<std::size_t>(best)], best);
      if (slots_ >= 256 && live_ * 2 <= slots_) {
        compact([this](int to, int from) {
          size_[static_cast<std::size_t>(to)] = size_[static_cast<std::size_t>(from)];
          height_[static_cast<std::size_t>(to)] = height_[static_cast<std::size_t>(from)];
        });
        near_.resize(static_cast<std::size_t>(slots_));
        neard_.resize(static_cast<std::size_t>(slots_));
        for (int i = 0; i < slots_; ++i) nearest(i);
      }
    }
    progress(total, total);
    for (int i = 0; i < slots_; ++i)
      if (open_[static_cast<std::size_t>(i)]) tree_.root = node_[static_cast<std::size_t>(i)];
    if (tree_.leaves() == 1) {  // one strain: a root over it
      const int u = tree_.add(-1);
      tree_.nodes[0].parent = u;
      tree_.nodes[static_cast<std::size_t>(u)].children.push_back(0);
      tree_.root = u;
    }
    return std::move(tree_);
  }

 private:
  // Row i's least distance and its first slot.
  void nearest(int i) {
    const double* row = &d_[rowstart(i)];
    int at = -1;
    double least = kInf;
    for (int j = 0; j < i; ++j)
      if (row[j] < least) least = row[j], at = j;
    if (at < 0 && i > 0) {  // every cell closed, or every distance infinite
      for (int j = 0; j < i && at < 0; ++j)
        if (open_[static_cast<std::size_t>(j)]) at = j;
    }
    near_[static_cast<std::size_t>(i)] = at;
    neard_[static_cast<std::size_t>(i)] = least;
  }

  void join(int a, int b) {  // a < b
    const double dab = cell(b, a);
    const double h = dab / 2;
    const int u = joinnodes(node_[static_cast<std::size_t>(a)], node_[static_cast<std::size_t>(b)],
                            h - height_[static_cast<std::size_t>(a)], h - height_[static_cast<std::size_t>(b)]);
    const double na = size_[static_cast<std::size_t>(a)], nb = size_[static_cast<std::size_t>(b)];
    for (int k = 0; k < slots_; ++k) {
      if (!open_[static_cast<std::size_t>(k)] || k == a || k == b) continue;
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
    for (int k = a + 1; k < slots_; ++k) {
      if (!open_[static_cast<std::size_t>(k)]) continue;
      const int nk = near_[static_cast<std::size_t>(k)];
      const double dka = d_[rowstart(k) + static_cast<std::size_t>(a)];
      if (nk == a || nk == b)
        nearest(k);
      else if (dka < neard_[static_cast<std::size_t>(k)] || (dka == neard_[static_cast<std::size_t>(k)] && a < nk))
        near_[static_cast<std::size_t>(k)] = a, neard_[static_cast<std::size_t>(k)] = dka;
    }
  }

  std::vector<double> size_, height_;
  std::vector<int> near_;
  std::vector<double> neard_;
};

}  // namespace

Tree neighborjoining(std::vector<std::string> names, LowerHalf lower, const TreeSettings& settings) {
  return Joiner(std::move(names), std::move(lower), settings).run();
}

Tree upgma(std::vector<std::string> names, LowerHalf lower, const TreeSettings& settings) {
  return Averager(std::move(names), std::move(lower), settings).run();
}

Tree neighborjoining(std::vector<std::string> names, LowerHalf* work, const TreeSettings& settings) {
  Joiner joiner(std::move(names), std::move(*work), settings);
  Tree t = joiner.run();
  *work = joiner.release();
  return t;
}

Tree upgma(std::vector<std::string> names, LowerHalf* work, const TreeSettings& settings) {
  Averager averager(std::move(names), std::move(*work), settings);
  Tree t = averager.run();
  *work = averager.release();
  return t;
}

}  // namespace lorvane
