#include "ordination/mantel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/messages.h"

namespace lorvane {
namespace {

// The upper triangle of an n x n table, row after row: row i holds the
// n - 1 - i values of columns i + 1 .. n - 1.
using Triangle = std::vector<double>;

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

// The upper triangle of table t, its strains taken in the order `order`.
Triangle triangle(std::span<const double> t, std::size_t n, const std::vector<std::size_t>& order) {
  Triangle out;
  out.reserve(n * (n - 1) / 2);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      const std::size_t p = std::min(order[i], order[j]), q = std::max(order[i], order[j]);
      out.push_back(t[p * n + q]);
    }
  return out;
}

void checkvaried(const Triangle& t, const std::string& table) {
  if (std::adjacent_find(t.begin(), t.end(), std::not_equal_to<>()) == t.end())
    throw ErrorStop("Every distance in table " + table + " is the same: the correlation is undefined");
}

// Ranks 1..m, tied values taking the mean of their ranks.
void torank(Triangle& t) {
  std::vector<std::size_t> index(t.size());
  std::iota(index.begin(), index.end(), std::size_t{0});
  std::stable_sort(index.begin(), index.end(), [&t](std::size_t p, std::size_t q) { return t[p] < t[q]; });
  Triangle rank(t.size());
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
double centre(Triangle& t) {
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

// The full symmetric n x n table of a triangle, zeros on the diagonal.
std::vector<double> square(const Triangle& t, std::size_t n) {
  std::vector<double> out(n * n, 0.0);
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j, ++k) out[i * n + j] = out[j * n + i] = t[k];
  return out;
}

// Sum over i < j of y(i,j) x(order[i], order[j]): y a triangle, x square.
double permutedsum(const std::vector<double>& x, const Triangle& y, const std::uint32_t* order, std::size_t n) {
  double total = 0;
  const double* yrow = y.data();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double* xrow = x.data() + static_cast<std::size_t>(order[i]) * n;
    const std::uint32_t* columns = order + i + 1;
    const std::size_t length = n - 1 - i;
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    std::size_t t = 0;
    for (; t + 4 <= length; t += 4) {
      s0 += yrow[t] * xrow[columns[t]];
      s1 += yrow[t + 1] * xrow[columns[t + 1]];
      s2 += yrow[t + 2] * xrow[columns[t + 2]];
      s3 += yrow[t + 3] * xrow[columns[t + 3]];
    }
    for (; t < length; ++t) s0 += yrow[t] * xrow[columns[t]];
    total += (s0 + s1) + (s2 + s3);
    yrow += length;
  }
  return total;
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

  std::vector<std::size_t> identity(n);
  std::iota(identity.begin(), identity.end(), std::size_t{0});
  Triangle x = triangle(a.values, n, identity);
  Triangle y = triangle(b.values, n, order);
  checkvaried(x, "A");
  checkvaried(y, "B");
  if (options.method == Correlation::spearman) {
    torank(x);
    torank(y);
  }
  const double norm = std::sqrt(centre(x) * centre(y));
  const std::vector<double> xsquare = square(x, n);
  x.clear();
  x.shrink_to_fit();

  std::vector<std::uint32_t> same(n);
  std::iota(same.begin(), same.end(), std::uint32_t{0});
  MantelResult result;
  result.strains = n;
  result.seed = options.seed;
  result.permutations = options.permutations;
  result.r = permutedsum(xsquare, y, same.data(), n) / norm;

  // Permutation q + 1 on thread q mod threads; each r is computed whole by
  // one thread, in one order, so the counts do not depend on the threads.
  const auto count = static_cast<std::size_t>(options.permutations);
  std::vector<double> sums(count);
  const auto threads = static_cast<std::size_t>(std::clamp(options.threads, 1, std::max(1, options.permutations)));
  auto work = [&](std::size_t first) {
    std::vector<std::uint32_t> permutation(n);
    for (std::size_t q = first; q < count; q += threads) {
      mantelpermutation(options.seed, static_cast<std::uint32_t>(q + 1), permutation.data(), n);
      sums[q] = permutedsum(xsquare, y, permutation.data(), n);
    }
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work, t);
  work(0);
  for (std::thread& t : helpers) t.join();

  const double bar = result.r - std::sqrt(DBL_EPSILON);
  for (double s : sums)
    if (s / norm >= bar) ++result.aslarge;
  if (count > 0) result.p = (1.0 + result.aslarge) / (1.0 + static_cast<double>(count));
  return result;
}

}  // namespace lorvane
