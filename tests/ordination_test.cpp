// Principal coordinates and the Mantel test against values made by R
// (tests/data/ordination/golden.R: cmdscale, ape pcoa, vegan mantel).
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/interrupt.h"
#include "core/messages.h"
#include "ordination/mantel.h"
#include "ordination/pcoa.h"
#include "testutil.h"

namespace lorvane {
namespace {

struct Table {
  std::vector<std::string> names;
  std::vector<double> values;
  TableRef ref() const { return {names, values}; }
};

const std::string kFolder = std::string(LORVANE_TEST_DATA) + "/ordination/";

// Lines of a name followed by numbers.
std::map<std::string, std::vector<double>> readlines(const std::string& path, std::vector<std::string>* order = nullptr) {
  std::istringstream in(test::readfile(path));
  std::map<std::string, std::vector<double>> out;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    double v = 0;
    while (fields >> v) out[key].push_back(v);
    if (order) order->push_back(key);
  }
  return out;
}

Table readtable(const std::string& name) {
  Table t;
  const auto rows = readlines(kFolder + name, &t.names);
  for (const std::string& n : t.names) t.values.insert(t.values.end(), rows.at(n).begin(), rows.at(n).end());
  return t;
}

const std::map<std::string, std::vector<double>>& golden() {
  static const auto values = readlines(kFolder + "golden.txt");
  return values;
}

void expectclose(double expected, double actual, double relative, const std::string& what) {
  EXPECT_NEAR(expected, actual, relative * std::max(1.0, std::abs(expected))) << what;
}

// R's coordinates (strains x axes, row order) turned by this system's rule:
// the largest coordinate of each axis in absolute value is positive.
std::vector<double> turned(std::vector<double> c, std::size_t axes) {
  const std::size_t n = c.size() / axes;
  for (std::size_t a = 0; a < axes; ++a) {
    std::size_t largest = 0;
    for (std::size_t i = 0; i < n; ++i)
      if (std::abs(c[i * axes + a]) > std::abs(c[largest * axes + a])) largest = i;
    if (c[largest * axes + a] < 0)
      for (std::size_t i = 0; i < n; ++i) c[i * axes + a] = -c[i * axes + a];
  }
  return c;
}

TEST(Pcoa, EigenvaluesSharesAndCoordinatesAsR) {
  struct Case {
    std::string table, key;
    Correction correction;
    EigenMethod method;
  };
  const std::vector<Case> cases = {
      {"bands9.txt", "bands", Correction::none, EigenMethod::dense},
      {"plane9.txt", "plane", Correction::none, EigenMethod::dense},
      {"bands9.txt", "bands", Correction::none, EigenMethod::partial},
      {"bands9.txt", "lingoes", Correction::lingoes, EigenMethod::dense},
      {"bands9.txt", "cailliez", Correction::cailliez, EigenMethod::dense},
      {"bands9.txt", "lingoes", Correction::lingoes, EigenMethod::partial},
      {"bands9.txt", "cailliez", Correction::cailliez, EigenMethod::partial},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    SCOPED_TRACE(c.method == EigenMethod::partial ? "partial" : "dense");
    const Table t = readtable(c.table);
    const std::size_t n = t.names.size();
    const bool corrected = c.correction != Correction::none;
    // Spectra's Lanczos needs fewer axes than strains - 1.
    const int axes = c.method == EigenMethod::partial ? 4 : static_cast<int>(n) - 1;
    const PcoaResult r = pcoa(t.values, n, {axes, c.correction, c.method});
    const auto& eig = golden().at(c.key + ".eigenvalues");
    for (int a = 0; a < axes; ++a) {
      const double expected = std::abs(eig[a]) < 1e-12 ? 0 : eig[a];
      expectclose(expected, r.eigenvalues[a], 1e-9, "eigenvalue " + std::to_string(a + 1));
    }
    if (corrected) {
      EXPECT_EQ(r.applied, c.correction);
      expectclose(golden().at(c.key + ".constant")[0], r.constant, 1e-9, "constant");
      EXPECT_EQ(r.negatives, 1);
      EXPECT_EQ(r.negativesanalysed, 0);
      const auto& shares = golden().at(c.key + ".shares");
      for (int a = 0; a < axes; ++a) expectclose(shares[a], r.shares[a], 1e-9, "share " + std::to_string(a + 1));
      const auto rcoords = golden().at(c.key + ".coordinates");
      const auto raxes = static_cast<std::size_t>(golden().at(c.key + ".axes")[0]);
      const auto expected = turned(rcoords, raxes);
      ASSERT_EQ(r.axes, std::min<int>(axes, static_cast<int>(raxes)));
      for (std::size_t i = 0; i < n; ++i)
        for (int a = 0; a < r.axes; ++a)
          expectclose(expected[i * raxes + static_cast<std::size_t>(a)], r.coordinate(i, a), 1e-8, "coordinate");
    } else {
      int negatives = 0;
      for (double v : eig) negatives += v < -1e-12;
      EXPECT_EQ(r.negatives, negatives);
      EXPECT_EQ(r.applied, Correction::none);
      // cmdscale's second goodness of fit: the first two eigenvalues over the positive ones.
      expectclose(golden().at(c.key + ".gof2")[0], r.cumulative[1], 1e-9, "cumulative share of 2 axes");
      const auto expected = turned(golden().at(c.key + ".points2"), 2);
      for (std::size_t i = 0; i < n; ++i)
        for (int a = 0; a < 2; ++a)
          expectclose(expected[i * 2 + static_cast<std::size_t>(a)], r.coordinate(i, a), 1e-8, "coordinate");
    }
  }
}

// Dice distances of pseudo-random bands of strains in a few groups: not
// Euclidean.
std::vector<double> dicetable(std::size_t n, std::size_t bands) {
  std::uint32_t state = 12345;
  auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
  std::vector<std::vector<char>> groups(5, std::vector<char>(bands));
  for (auto& g : groups)
    for (char& b : g) b = next() % 10 < 3;
  std::vector<std::vector<char>> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = groups[i % groups.size()];
    for (char& b : x[i])
      if (next() % 100 < 15) b = !b;
  }
  std::vector<double> d(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      double shared = 0, total = 0;
      for (std::size_t k = 0; k < bands; ++k) {
        shared += x[i][k] && x[j][k];
        total += x[i][k] + x[j][k];
      }
      d[i * n + j] = d[j * n + i] = total > 0 ? 1 - 2 * shared / total : 0;
    }
  return d;
}

TEST(Pcoa, PartialSolverAgreesWithTheWholeSpectrum) {
  const std::size_t n = 200;
  const std::vector<double> d = dicetable(n, 60);
  for (Correction correction : {Correction::none, Correction::lingoes}) {
    const PcoaResult whole = pcoa(d, n, {3, correction, EigenMethod::dense});
    const PcoaResult part = pcoa(d, n, {3, correction, EigenMethod::partial});
    ASSERT_GT(whole.negatives, 0);
    EXPECT_EQ(part.negatives, whole.negatives);
    EXPECT_EQ(part.negativesanalysed, whole.negativesanalysed);
    expectclose(whole.positivesum, part.positivesum, 1e-9, "positive sum");
    expectclose(whole.constant, part.constant, 1e-9, "constant");
    ASSERT_EQ(part.axes, 3);
    for (int a = 0; a < 3; ++a) {
      expectclose(whole.eigenvalues[a], part.eigenvalues[a], 1e-9, "eigenvalue");
      expectclose(whole.shares[a], part.shares[a], 1e-9, "share");
    }
    for (std::size_t i = 0; i < whole.coordinates.size(); ++i)
      EXPECT_NEAR(whole.coordinates[i], part.coordinates[i], 1e-7);
  }
}

TEST(Pcoa, RefusesWhatHasNoPrincipalAxes) {
  const std::vector<double> zeros(9, 0.0);
  const double nan = std::nan("");
  const std::vector<double> notanumber = {0, 1, 2, 1, 0, nan, 2, nan, 0};
  const std::vector<double> skewed = {0, 1, 2, 1, 0, 3, 2, 3.5, 0};
  const std::vector<double> diagonal = {1, 1, 2, 1, 0, 3, 2, 3, 0};
  const std::vector<double> good = {0, 1, 2, 1, 0, 3, 2, 3, 0};
  struct Case {
    std::vector<double> values;
    std::size_t n;
    int axes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {zeros, 3, 2, "Every distance in the table is 0: the strains have no principal axes"},
      {{0}, 1, 1, "Principal coordinates need at least 2 strains; the table holds 1"},
      {notanumber, 3, 2, "The table holds a value that is not a finite number (row 2, column 3)"},
      {skewed, 3, 2, "The table is not symmetric (row 2, column 3)"},
      {diagonal, 3, 2, "The table has a distance other than 0 on its diagonal (row 1, column 1)"},
      {good, 3, 0, "The number of axes must be from 1 to 3, the number of strains"},
      {good, 3, 4, "The number of axes must be from 1 to 3"},
  };
  for (const Case& c : cases)
    EXPECT_NE(test::errorstopof([&] { pcoa(c.values, c.n, {c.axes, Correction::none, EigenMethod::automatic}); })
                  .find(c.message),
              std::string::npos)
        << c.message;
}

TEST(Mantel, CorrelationAsVeganWithTheStrainsInAnotherOrder) {
  const Table bands = readtable("bands9.txt"), plane = readtable("plane9.txt");
  ASSERT_NE(bands.names, plane.names);
  for (auto [method, key] : {std::pair{Correlation::pearson, "mantel.pearson"}, {Correlation::spearman, "mantel.spearman"}}) {
    const MantelResult r = mantel(bands.ref(), plane.ref(), {99, method, 7, 1});
    EXPECT_NEAR(golden().at(key)[0], r.r, 1e-12) << key;
    EXPECT_EQ(r.permutations, 99);
    EXPECT_EQ(r.seed, 7u);
    EXPECT_GT(r.p, 0.05);  // plane and bands are unrelated
  }
}

TEST(Mantel, IdenticalTablesGiveOneAndTheSmallestP) {
  const std::size_t n = 40;
  const std::vector<double> d = dicetable(n, 30);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < n; ++i) names.push_back(std::to_string(i).insert(0, 1, 'G'));
  for (Correlation method : {Correlation::pearson, Correlation::spearman}) {
    const MantelResult r = mantel({names, d}, {names, d}, {999, method, 3, 2});
    EXPECT_NEAR(r.r, 1.0, 1e-14);
    EXPECT_EQ(r.aslarge, 0);
    EXPECT_EQ(r.p, 1.0 / 1000.0);
  }
}

TEST(Mantel, SameResultOnOneThreadOrTwoAndFixedBySeed) {
  const Table bands = readtable("bands9.txt"), plane = readtable("plane9.txt");
  const MantelResult one = mantel(bands.ref(), plane.ref(), {999, Correlation::pearson, 15, 1});
  const MantelResult two = mantel(bands.ref(), plane.ref(), {999, Correlation::pearson, 15, 2});
  EXPECT_EQ(one.r, two.r);
  EXPECT_EQ(one.aslarge, two.aslarge);
  // The permutations follow from the seed alone: a change of generator
  // changes this count.
  EXPECT_EQ(one.aslarge, 370);
  EXPECT_NE(mantel(bands.ref(), plane.ref(), {999, Correlation::pearson, 16, 2}).aslarge, one.aslarge);

  // The progress rises to the count asked for; one that throws stops the
  // test with the other threads joined.
  std::vector<int> steps;
  MantelOptions watched{999, Correlation::pearson, 15, 3, [&steps](int done, int total) {
                          EXPECT_EQ(total, 999);
                          steps.push_back(done);
                        }};
  EXPECT_EQ(mantel(bands.ref(), plane.ref(), watched).aslarge, 370);
  ASSERT_FALSE(steps.empty());
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
  EXPECT_EQ(steps.back(), 999);
  watched.progress = [](int, int) { throw ErrorStop("stop"); };
  EXPECT_EQ(test::errorstopof([&] { mantel(bands.ref(), plane.ref(), watched); }), "stop");
}

// Every permutation's r from the square tables in double precision, counted
// when it is within 1e-9 of the observed one or above: the engine's count in
// single-precision rows must be this one, at any scale. Strains 0 and 1 of
// table A are equal: of 4 strains, the many permutations that only swap
// them give the observed r and must count.
TEST(Mantel, CountsThePermutationsAsAPlainSumWouldAtAnyScale) {
  const double x[7][7] = {{0, 0, .3, .7, .1, .9, .4}, {0, 0, .3, .7, .1, .9, .4}, {.3, .3, 0, .2, .6, .5, .8},
                          {.7, .7, .2, 0, .3, .1, .6}, {.1, .1, .6, .3, 0, .7, .2}, {.9, .9, .5, .1, .7, 0, .3},
                          {.4, .4, .8, .6, .2, .3, 0}};
  for (const std::size_t n : {4, 7})
    for (const double scale : {1.0, 1e-44, 1e35}) {
      std::vector<std::string> names;
      std::vector<double> a(n * n), b(n * n);
      for (std::size_t i = 0; i < n; ++i) {
        names.push_back(std::string(1, static_cast<char>('A' + i)));
        for (std::size_t j = 0; j < n; ++j) {
          a[i * n + j] = x[i][j] * scale;
          b[i * n + j] = i == j ? 0 : scale * static_cast<double>((i * j + 3 * (i + j)) % 7 + 1) / 10;
        }
      }
      auto r = [&](const std::vector<std::uint32_t>& o) {
        double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, m = 0;
        for (std::size_t i = 0; i < n; ++i)
          for (std::size_t j = i + 1; j < n; ++j, ++m) {
            const double u = a[o[i] * n + o[j]] / scale, v = b[i * n + j] / scale;
            sx += u, sy += v, sxx += u * u, syy += v * v, sxy += u * v;
          }
        return (sxy - sx * sy / m) / std::sqrt((sxx - sx * sx / m) * (syy - sy * sy / m));
      };
      std::vector<std::uint32_t> order(n);
      std::iota(order.begin(), order.end(), 0u);
      const double observed = r(order);
      int count = 0;
      for (std::uint32_t q = 1; q <= 999; ++q) {
        mantelpermutation(21, q, order.data(), n);
        count += r(order) >= observed - 1e-9;
      }
      const MantelResult got = mantel({names, a}, {names, b}, {999, Correlation::pearson, 21, 2});
      EXPECT_EQ(got.aslarge, count) << n << " strains, scale " << scale;
      EXPECT_NEAR(got.r, observed, 1e-12) << n << " strains, scale " << scale;
    }
}

// A hundred million permutations asked for: nothing of them is kept (the
// memory stays as it was), and a stop asked for ends the test at once.
TEST(Mantel, AStopEndsAnyNumberOfPermutationsAndNothingGrowsWithThem) {
  const Table bands = readtable("bands9.txt"), plane = readtable("plane9.txt");
  auto peak = [] {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_maxrss;  // kilobytes
  };
  const long before = peak();
  const auto start = std::chrono::steady_clock::now();
  std::thread asker([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    setinterrupt(SIGINT);
  });
  const std::string stop = test::errorstopof([&] { mantel(bands.ref(), plane.ref(), {100'000'000, Correlation::pearson, 1, 2}); });
  asker.join();
  setinterrupt(0);
  EXPECT_EQ(stop, "Error: interrupted by signal " + std::to_string(SIGINT));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_LT(peak() - before, 64 * 1024);
}

TEST(Mantel, RefusesTablesItCannotCompare) {
  const Table bands = readtable("bands9.txt");
  Table renamed = bands;
  renamed.names[3] = "X1";
  Table twice = bands;
  twice.names[2] = twice.names[1];
  Table flat = bands;
  for (std::size_t i = 0; i < 9; ++i)
    for (std::size_t j = 0; j < 9; ++j) flat.values[i * 9 + j] = i == j ? 0 : 0.5;
  const Table small = {{"A", "B"}, {0, 1, 1, 0}};
  struct Case {
    const Table& a;
    const Table& b;
    std::string message;
  };
  const std::vector<Case> cases = {
      {bands, renamed, "The strain S4 of table A is not in table B: the Mantel test needs the same strains in both"},
      {bands, twice, "Table B names the strain S2 more than once"},
      {bands, small, "Table A holds 9 strains and table B 2"},
      {flat, bands, "Every distance in table A is the same: the correlation is undefined"},
      {bands, flat, "Every distance in table B is the same"},
      {small, small, "The Mantel test needs at least 3 strains; the tables hold 2"},
  };
  for (const Case& c : cases)
    EXPECT_NE(test::errorstopof([&] { mantel(c.a.ref(), c.b.ref(), {}); }).find(c.message), std::string::npos)
        << c.message;
}

}  // namespace
}  // namespace lorvane
