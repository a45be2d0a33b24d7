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

// The sum over i < j of x(order(i), order(j)) y(i, j) in double precision,
// x and y pairs, added up row by row, each row as two partial sums of
// alternate pairs: the exact sum a permutation's r is decided by.
double doublesum(const Pairs& x, const Pairs& y, const std::uint32_t* order, std::size_t n) {
  auto at = [&](std::size_t p, std::size_t q) {
    if (p > q) std::swap(p, q);
    return x[p * n - p * (p + 1) / 2 + (q - p - 1)];
  };
  double total = 0;
  std::size_t k = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const std::size_t length = n - 1 - i, row = order[i];
    const std::uint32_t* c = order + i + 1;
    double a = 0, b = 0;
    std::size_t t = 0;
    for (; t + 2 <= length; t += 2) {
      a += y[k + t] * at(row, c[t]);
      b += y[k + t + 1] * at(row, c[t + 1]);
    }
    if (t < length) a += y[k + t] * at(row, c[t]);
    total += a + b;
    k += length;
  }
  return total;
}

// The exponent that brings the largest magnitude of t to [0.5, 1).
int unitexponent(const Pairs& t) {
  double largest = 0;
  for (double v : t) largest = std::max(largest, std::abs(v));
  int exponent = 0;
  std::frexp(largest, &exponent);
  return exponent;
}

// The permutations read the tables in single precision, scaled by powers of
// two to magnitudes of at most 1: table A as a square of rows, so that each
// permutation reads the row of a strain at the columns of the others, and
// table B's pairs once for a whole batch of permutations. A product of two
// floats is exact in double precision and the sums are added up in double
// precision, so the r of single precision lies within 2^-23 of the r of
// double precision (|sum of x y| <= the norm); a permutation whose r of
// single precision lies within kScreen of the bar is decided by doublesum.
std::vector<float> floatsquare(const Pairs& t, std::size_t n, int exponent) {
  std::vector<float> out(n * n, 0.0F);
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j, ++k)
      out[i * n + j] = out[j * n + i] = static_cast<float>(std::ldexp(t[k], -exponent));
  return out;
}
std::vector<float> floatpairs(const Pairs& t, int exponent) {
  std::vector<float> out(t.size());
  std::transform(t.begin(), t.end(), out.begin(), [exponent](double v) { return static_cast<float>(std::ldexp(v, -exponent)); });
  return out;
}

// Permutations are evaluated eight at a time: each value of table B is read
// once for all eight, and the eight sums are independent chains of
// additions. The batch's orders are interleaved: strain j of permutation g
// at orders[j * kBatch + g].
constexpr std::size_t kBatch = 8;

// sums[g] = the sum over i < j of y(i, j) x(order_g(i), order_g(j)), for
// g < kBatch: y the pairs, x the square table. Each sum is added up in the
// same order whatever the other orders of the batch are. A stop asked for
// (interrupt.h) is an error stop from here, within 64 rows.
void permutedsums(const std::vector<float>& x, const std::vector<float>& y, const std::uint32_t* orders,
                  std::size_t n, double* sums) {
  double total[kBatch] = {};
  const float* yrow = y.data();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (i % 64 == 63) checkinterrupt();
    const std::size_t length = n - 1 - i;
    const float* rows[kBatch];
    for (std::size_t g = 0; g < kBatch; ++g) rows[g] = x.data() + static_cast<std::size_t>(orders[i * kBatch + g]) * n;
    const std::uint32_t* columns = orders + (i + 1) * kBatch;
    double sum[kBatch] = {};
    for (std::size_t t = 0; t < length; ++t) {
      const double v = yrow[t];
      const std::uint32_t* c = columns + t * kBatch;
      for (std::size_t g = 0; g < kBatch; ++g) sum[g] += v * static_cast<double>(rows[g][c[g]]);
    }
    for (std::size_t g = 0; g < kBatch; ++g) total[g] += sum[g];
    yrow += length;
  }
  std::copy(total, total + kBatch, sums);
}

// The two tables as the permutations read them, and the observed r.
struct Observed {
  std::size_t strains = 0;
  Pairs x, y;                  // table A, and B in A's order, centred (ranked first for Spearman)
  std::vector<float> xsquare;  // table A as a square, scaled, in single precision
  std::vector<float> yfloat;   // table B's pairs, scaled, in single precision
  double norm = 0;             // the square root of the product of their sums of squares
  double floatnorm = 0;        // the same, scaled as the single-precision tables
  double r = 0;
  double bar = 0;  // a permutation counts when its r is at least this
};

// A single-precision r this far from the bar at least decides alone.
constexpr double kScreen = 1e-6;

Observed observe(const TableRef& a, const TableRef& b, const std::vector<std::size_t>& order, Correlation method) {
  const std::size_t n = a.size();
  std::vector<std::size_t> identity(n);
  std::iota(identity.begin(), identity.end(), std::size_t{0});
  Observed o;
  o.strains = n;
  o.x = pairs(a.values, n, identity);
  o.y = pairs(b.values, n, order);
  checkvaried(o.x, "A");
  checkvaried(o.y, "B");
  if (method == Correlation::spearman) {
    torank(o.x);
    torank(o.y);
  } else {
    tounit(o.x);
    tounit(o.y);
  }
  o.norm = std::sqrt(centre(o.x) * centre(o.y));
  std::vector<std::uint32_t> same(n);
  std::iota(same.begin(), same.end(), std::uint32_t{0});
  // Rounding can take |r| a few units past 1 (two proportional tables).
  o.r = std::clamp(doublesum(o.x, o.y, same.data(), n) / o.norm, -1.0, 1.0);
  o.bar = o.r - std::sqrt(DBL_EPSILON);
  const int ex = unitexponent(o.x), ey = unitexponent(o.y);
  o.xsquare = floatsquare(o.x, n, ex);
  o.yfloat = floatpairs(o.y, ey);
  o.floatnorm = std::ldexp(o.norm, -ex - ey);
  return o;
}

// Whether the permutation g of a batch (its sum of single precision `sum`)
// has r at least the observed one.
bool aslargeas(const Observed& o, double sum, const std::uint32_t* orders, std::size_t g, std::vector<std::uint32_t>& order) {
  const double r = sum / o.floatnorm;
  if (r >= o.bar + kScreen) return true;
  if (r < o.bar - kScreen) return false;
  for (std::size_t j = 0; j < o.strains; ++j) order[j] = orders[j * kBatch + g];
  return doublesum(o.x, o.y, order.data(), o.strains) / o.norm >= o.bar;
}

// The permutations whose r is at least the observed one. Batch b holds
// permutations 8b + 1 .. 8b + 8; the threads take the next batch as they
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
    std::vector<std::uint32_t> order(n), orders(kBatch * n);
    double sums[kBatch];
    long long mine = 0;
    try {
      for (std::size_t batch; !stop.load(std::memory_order_relaxed) && (batch = next.fetch_add(1)) < batches;) {
        for (std::size_t g = 0; g < kBatch; ++g) {
          const std::size_t q = std::min(batch * kBatch + g, count - 1);
          mantelpermutation(options.seed, skipped + static_cast<std::uint32_t>(q + 1), order.data(), n);
          for (std::size_t j = 0; j < n; ++j) orders[j * kBatch + g] = order[j];
        }
        checkinterrupt();
        permutedsums(o.xsquare, o.yfloat, orders.data(), n, sums);
        for (std::size_t g = 0; g < kBatch && batch * kBatch + g < count; ++g)
          if (aslargeas(o, sums[g], orders.data(), g, order)) ++mine;
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
