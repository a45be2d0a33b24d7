#include "ordination/mantel.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/interrupt.h"
#include "core/messages.h"
#include "core/threadpool.h"
#include "core/triangle.h"

namespace lorvane {
namespace {

// The values of the pairs (i, j), i < j, of an n x n table, row after row:
// row i holds the n - 1 - i values of columns i + 1 .. n - 1.
using Pairs = std::vector<double>;

// Position of each of table A's strains in table B.
std::vector<std::size_t> matchnames(const TableRef& a, const TableRef& b) {
  if (a.size() != b.size())
    throw ErrorStop("Table A holds " + std::to_string(a.size()) + " strains and table B " +
                    std::to_string(b.size()) + ": the Mantel test needs the same strains in both");
  std::unordered_map<std::string, std::size_t> positions;
  for (std::size_t i = 0; i < b.size(); ++i)
    if (!positions.emplace(b.names[i], i).second)
      throw ErrorStop("Table B names the strain " + b.names[i] + " more than once");
  std::vector<std::size_t> order(a.size());
  std::unordered_map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!seen.emplace(a.names[i], i).second)
      throw ErrorStop("Table A names the strain " + a.names[i] + " more than once");
    const auto found = positions.find(a.names[i]);
    if (found == positions.end())
      throw ErrorStop("The strain " + a.names[i] + " of table A is not in table B: the Mantel test needs the same strains in both");
    order[i] = found->second;
  }
  return order;
}

// The pairs of table t, its strains taken in the order `order`.
Pairs pairs(std::span<const double> t, std::size_t n, const std::vector<std::size_t>& order) {
  Pairs out;
  out.reserve(Triangle::cells(n));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      const std::size_t p = std::min(order[i], order[j]), q = std::max(order[i], order[j]);
      out.push_back(t[p * n + q]);
    }
  return out;
}

void checkvaried(const Pairs& t, const std::string& table) {
  if (std::adjacent_find(t.begin(), t.end(), std::not_equal_to<>()) == t.end())
    throw ErrorStop("Every distance in table " + table + " is the same: the correlation is undefined");
}

// The values times a power of two that brings the largest magnitude near
// 1, when it lies outside [2^-200, 2^200]: the sums of squares of values
// near 1e-170 or 1e160 would leave the range of doubles. Times a power of
// two, every value and every sum is exact, so r is what it would be with
// no bounds; a table within the range is left as it is.
void tounit(Pairs& t) {
  double largest = 0;
  for (double v : t) largest = std::max(largest, std::abs(v));
  int exponent = 0;
  std::frexp(largest, &exponent);
  if (largest == 0 || std::abs(exponent) <= 200) return;
  for (double& v : t) v = std::ldexp(v, -exponent);
}

// Ranks 1..m, tied values taking the mean of their ranks.
void torank(Pairs& t) {
  std::vector<std::size_t> index(t.size());
  std::iota(index.begin(), index.end(), std::size_t{0});
  std::stable_sort(index.begin(), index.end(), [&t](std::size_t p, std::size_t q) { return t[p] < t[q]; });
  Pairs rank(t.size());
  for (std::size_t first = 0; first < index.size();) {
    std::size_t last = first + 1;
    while (last < index.size() && t[index[last]] == t[index[first]]) ++last;
    const double mean = 0.5 * static_cast<double>(first + 1 + last);
    for (std::size_t k = first; k < last; ++k) rank[index[k]] = mean;
    first = last;
  }
  t.swap(rank);
}

// Subtracts the mean; returns the sum of squares.
double centre(Pairs& t) {
  double sum = 0;
  for (double v : t) sum += v;
  const double mean = sum / static_cast<double>(t.size());
  double squares = 0;
  for (double& v : t) {
    v -= mean;
    squares += v * v;
  }
  return squares;
}

// The full symmetric n x n table of the pairs, zeros on the diagonal.
std::vector<double> square(const Pairs& t, std::size_t n) {
  std::vector<double> out(n * n, 0.0);
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j, ++k) out[i * n + j] = out[j * n + i] = t[k];
  return out;
}

// Permutations are evaluated four at a time: each value of y is read once
// for all four, and the four sums (two partial sums each) are independent
// chains of additions.
constexpr std::size_t kBatch = 4;

// sums[g] = the sum over i < j of y(i,j) x(orders[g][i], orders[g][j]), for
// g < kBatch: y the pairs, x square. Each sum is added up in the same order
// whatever the other orders of the batch are. A stop asked for (interrupt.h)
// is an error stop from here, within 64 rows.
void permutedsums(const std::vector<double>& x, const Pairs& y, const std::uint32_t* const* orders,
                  std::size_t n, double* sums) {
  double total[kBatch] = {};
  const double* yrow = y.data();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (i % 64 == 63) checkinterrupt();
    const std::size_t length = n - 1 - i;
    const double* x0 = x.data() + static_cast<std::size_t>(orders[0][i]) * n;
    const double* x1 = x.data() + static_cast<std::size_t>(orders[1][i]) * n;
    const double* x2 = x.data() + static_cast<std::size_t>(orders[2][i]) * n;
    const double* x3 = x.data() + static_cast<std::size_t>(orders[3][i]) * n;
    const std::uint32_t* c0 = orders[0] + i + 1;
    const std::uint32_t* c1 = orders[1] + i + 1;
    const std::uint32_t* c2 = orders[2] + i + 1;
    const std::uint32_t* c3 = orders[3] + i + 1;
    double a0 = 0, a1 = 0, a2 = 0, a3 = 0, b0 = 0, b1 = 0, b2 = 0, b3 = 0;
    std::size_t t = 0;
    for (; t + 2 <= length; t += 2) {
      const double y0 = yrow[t], y1 = yrow[t + 1];
      a0 += y0 * x0[c0[t]];
      b0 += y1 * x0[c0[t + 1]];
      a1 += y0 * x1[c1[t]];
      b1 += y1 * x1[c1[t + 1]];
      a2 += y0 * x2[c2[t]];
      b2 += y1 * x2[c2[t + 1]];
      a3 += y0 * x3[c3[t]];
      b3 += y1 * x3[c3[t + 1]];
    }
    if (t < length) {
      a0 += yrow[t] * x0[c0[t]];
      a1 += yrow[t] * x1[c1[t]];
      a2 += yrow[t] * x2[c2[t]];
      a3 += yrow[t] * x3[c3[t]];
    }
    total[0] += a0 + b0;
    total[1] += a1 + b1;
    total[2] += a2 + b2;
    total[3] += a3 + b3;
    yrow += length;
  }
  std::copy(total, total + kBatch, sums);
}

// The two tables as the permutations read them, and the observed r.
struct Observed {
  std::size_t strains = 0;
  std::vector<double> xsquare;  // table A, centred (ranked first for Spearman), square
  Pairs y;                      // table B in A's order, centred likewise
  double norm = 0;              // the square root of the product of their sums of squares
  double r = 0;
};

Observed observe(const TableRef& a, const TableRef& b, const std::vector<std::size_t>& order, Correlation method) {
  const std::size_t n = a.size();
  std::vector<std::size_t> identity(n);
  std::iota(identity.begin(), identity.end(), std::size_t{0});
  Pairs x = pairs(a.values, n, identity);
  Observed o;
  o.strains = n;
  o.y = pairs(b.values, n, order);
  checkvaried(x, "A");
  checkvaried(o.y, "B");
  if (method == Correlation::spearman) {
    torank(x);
    torank(o.y);
  } else {
    tounit(x);
    tounit(o.y);
  }
  o.norm = std::sqrt(centre(x) * centre(o.y));
  o.xsquare = square(x, n);
  // The observed sum, added up as a permutation's would be.
  std::vector<std::uint32_t> same(n);
  std::iota(same.begin(), same.end(), std::uint32_t{0});
  const std::uint32_t* identity4[kBatch] = {same.data(), same.data(), same.data(), same.data()};
  double sums[kBatch];
  permutedsums(o.xsquare, o.y, identity4, n, sums);
  // Rounding can take |r| a few units past 1 (two proportional tables).
  o.r = std::clamp(sums[0] / o.norm, -1.0, 1.0);
  return o;
}

// The permutations whose r is at least the observed one. Batch b holds
// permutations 4b + 1 .. 4b + 4; the threads take the next batch as they
// come free. Each r is added up whole by one thread in one order, so the
// count does not depend on the number of threads; nothing is kept of a
// permutation but whether it counts. A last, short batch repeats its last
// permutation, not counted again. A stop asked for (interrupt.h) ends the
// test within a batch, and a progress call that throws ends it too.
int countaslarge(const Observed& o, const MantelOptions& options) {
  const std::size_t n = o.strains;
  const int total = options.count < 0 ? options.permutations : options.count;
  const auto count = static_cast<std::size_t>(total);
  const auto skipped = static_cast<std::uint32_t>(options.count < 0 ? 0 : options.first - 1);
  const std::size_t batches = (count + kBatch - 1) / kBatch;
  const auto threads = std::min(static_cast<std::size_t>(std::max(options.threads, 1)), std::max<std::size_t>(batches, 1));
  const double bar = o.r - std::sqrt(DBL_EPSILON);
  std::atomic<std::size_t> next{0}, finished{0};
  std::atomic<long long> aslarge{0};
  std::atomic<bool> stop{false};
  // The progress goes from the calling thread, by blocks of 8 batches per thread.
  const std::size_t block = 8 * threads;
  std::size_t reported = 0;
  auto progress = [&] {
    const std::size_t done = finished.load();
    if (!options.progress || done < reported + block) return;
    reported = done;
    options.progress(static_cast<int>(std::min(done * kBatch, count)), total);
  };
  eachthread(static_cast<int>(threads), [&](int thread) {
    std::vector<std::uint32_t> permutations(kBatch * n);
    const std::uint32_t* orders[kBatch];
    double sums[kBatch];
    long long mine = 0;
    try {
      for (std::size_t batch; !stop.load(std::memory_order_relaxed) && (batch = next.fetch_add(1)) < batches;) {
        for (std::size_t g = 0; g < kBatch; ++g) {
          const std::size_t q = std::min(batch * kBatch + g, count - 1);
          orders[g] = permutations.data() + g * n;
          mantelpermutation(options.seed, skipped + static_cast<std::uint32_t>(q + 1), permutations.data() + g * n, n);
        }
        checkinterrupt();
        permutedsums(o.xsquare, o.y, orders, n, sums);
        for (std::size_t g = 0; g < kBatch && batch * kBatch + g < count; ++g)
          if (sums[g] / o.norm >= bar) ++mine;
        finished.fetch_add(1);
        if (thread == 0) progress();
      }
    } catch (...) {
      stop = true;
      throw;
    }
    aslarge += mine;
  });
  if (options.progress && batches > 0) options.progress(total, total);
  return static_cast<int>(aslarge.load());
}

}  // namespace

void mantelpermutation(std::uint32_t seed, std::uint32_t q, std::uint32_t* order, std::size_t n) {
  std::seed_seq sequence{seed, q};
  std::mt19937 generator(sequence);
  std::iota(order, order + n, std::uint32_t{0});
  for (std::size_t i = n; i-- > 1;) {
    const auto bound = static_cast<std::uint64_t>(i) + 1;
    const std::uint64_t limit = (std::uint64_t{1} << 32) - (std::uint64_t{1} << 32) % bound;
    std::uint64_t v = generator();
    while (v >= limit) v = generator();
    std::swap(order[i], order[v % bound]);
  }
}

MantelResult mantel(const TableRef& a, const TableRef& b, const MantelOptions& options) {
  const std::size_t n = a.size();
  checkdistances(a.values, n, "Table A");
  checkdistances(b.values, b.size(), "Table B");
  const std::vector<std::size_t> order = matchnames(a, b);
  if (n < 3) throw ErrorStop("The Mantel test needs at least 3 strains; the tables hold " + std::to_string(n));
  if (options.permutations < 0) throw ErrorStop("The number of permutations must not be negative");

  const Observed observed = observe(a, b, order, options.method);
  MantelResult result;
  result.strains = n;
  result.seed = options.seed;
  result.permutations = options.permutations;
  result.r = observed.r;
  result.aslarge = countaslarge(observed, options);
  if (options.permutations > 0) result.p = (1.0 + result.aslarge) / (1.0 + options.permutations);
  return result;
}

}  // namespace lorvane
