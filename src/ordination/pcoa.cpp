#include "ordination/pcoa.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/messages.h"
#include "ordination/spectrum.h"
#include "ordination/tablecheck.h"

namespace lorvane {
namespace {

// Tables up to this size are always solved whole.
constexpr std::size_t kDenseLimit = 512;

// J A J for A(i,j) = -1/2 f(d(i,j)) off the diagonal and 0 on it, read from
// the upper triangle; the centred lower triangle is copied to the upper one,
// so that the result is exactly symmetric.
template <typename F>
WorkMatrix centred(std::span<const double> d, std::size_t n, F f) {
  const auto size = static_cast<Eigen::Index>(n);
  WorkMatrix out(size);
  auto a = out.view();
  lowertiles(size, [&](Eigen::Index i, Eigen::Index j) {
    const auto upper = static_cast<std::size_t>(j) * n + static_cast<std::size_t>(i);
    a(i, j) = a(j, i) = i == j ? 0.0 : -0.5 * f(d[upper]);
  });
  const Eigen::VectorXd means = a.rowwise().mean();
  const double grand = means.mean();
  lowertiles(size, [&](Eigen::Index i, Eigen::Index j) { a(j, i) = a(i, j) += grand - means(i) - means(j); });
  return out;
}

// What the analysis needs of the spectrum of B.
struct Spectrum {
  Eigenpairs leading;        // the k asked for
  int negatives = 0;         // eigenvalues below -zero
  double positivesum = 0;    // of the eigenvalues above zero
  double smallest = 0;       // known when negatives > 0
  double zero = 0;           // |eigenvalue| <= zero counts as 0
};

void summarise(const Eigen::VectorXd& all, Spectrum& s) {
  s.negatives = 0;
  s.positivesum = 0;
  for (double v : all) {
    if (v < -s.zero) ++s.negatives;
    if (v > s.zero) s.positivesum += v;
  }
  s.smallest = all.minCoeff();
}

// The positive sum is left out (0) when `wholesum` is false and the table
// has negative eigenvalues: the table is about to be corrected, and the
// smallest eigenvalue is all the correction needs. b serves as workspace and
// comes back whole only in that case.
Spectrum solve(Eigen::Ref<Eigen::MatrixXd> b, int k, EigenMethod method, bool wholesum) {
  const auto n = static_cast<std::size_t>(b.rows());
  const bool dense = method == EigenMethod::dense || static_cast<std::size_t>(k) + 2 >= n ||
                     (method == EigenMethod::automatic && (n <= kDenseLimit || static_cast<std::size_t>(k) > n / 8));
  Spectrum s;
  if (dense) {
    Eigenpairs all;
    if (wholesum) {
      all = alleigen(b, true);
    } else {
      // b is needed again for the Cailliez correction.
      Eigen::MatrixXd kept = b;
      all = alleigen(kept, true);
    }
    s.zero = std::sqrt(DBL_EPSILON) * std::max(all.values(0), 0.0);
    summarise(all.values, s);
    s.leading.values = all.values.head(k);
    s.leading.vectors = all.vectors.leftCols(k);
    return s;
  }
  s.leading = leadingeigen(b, k);
  s.zero = std::sqrt(DBL_EPSILON) * std::max(s.leading.values(0), 0.0);
  // Euclidean tables (the corrected ones among them) need no more than the
  // trace; the others need every eigenvalue for the positive sum.
  const double trace = b.trace();
  if (nonebelow(b, s.zero)) {
    s.negatives = 0;
    s.positivesum = trace;
    s.smallest = 0;
  } else if (wholesum) {
    summarise(alleigen(b, false).values, s);
  } else {
    s.negatives = countbelow(b, s.zero);
    s.smallest = smallesteigen(b);
  }
  return s;
}

// The power of two that brings the largest distance near 1 when it lies
// outside [2^-200, 2^200] (0 otherwise): squared distances near 1e-170 or
// 1e160 would leave the range of doubles. The analysis works on the
// distances times 2^-e, where every product is exact, and the results are
// scaled back. A table of zeros has no axes at all.
int scaleof(std::span<const double> d) {
  double largest = 0;
  for (double v : d) largest = std::max(largest, v);
  if (largest == 0) throw ErrorStop("Every distance in the table is 0: the strains have no principal axes");
  int exponent = 0;
  std::frexp(largest, &exponent);
  return std::abs(exponent) <= 200 ? 0 : exponent;
}

// Eigenvalues are squared distances: scaled back they must stay finite, and
// above the smallest normal number unless they are 0.
double scaledback(double v, int exponent, double largest) {
  const double back = std::ldexp(v, exponent);
  if (!std::isfinite(back) || (v != 0 && std::abs(back) < DBL_MIN)) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", largest);
    throw ErrorStop(std::string("The largest distance of the table is ") + text +
                    ": its eigenvalues, squared distances, lie beyond the range of numbers");
  }
  return back;
}

void unscale(PcoaResult& r, int e, double largest) {
  if (e == 0) return;
  for (double& v : r.eigenvalues) v = scaledback(v, 2 * e, largest);
  r.positivesum = scaledback(r.positivesum, 2 * e, largest);
  for (double& c : r.coordinates) c = std::ldexp(c, e);
  r.constant = scaledback(r.constant, r.applied == Correction::lingoes ? 2 * e : e, largest);
}

void fill(const Spectrum& s, std::size_t n, PcoaResult& r) {
  const auto k = s.leading.values.size();
  r.eigenvalues.assign(static_cast<std::size_t>(k), 0);
  r.shares.assign(static_cast<std::size_t>(k), 0);
  r.cumulative.assign(static_cast<std::size_t>(k), 0);
  r.positivesum = s.positivesum;
  r.axes = 0;
  double cumulative = 0;
  for (Eigen::Index a = 0; a < k; ++a) {
    const double v = s.leading.values(a);
    const auto i = static_cast<std::size_t>(a);
    r.eigenvalues[i] = std::abs(v) <= s.zero ? 0 : v;
    r.shares[i] = r.eigenvalues[i] > 0 ? r.eigenvalues[i] / s.positivesum : 0;
    cumulative += r.shares[i];
    r.cumulative[i] = cumulative;
    if (r.eigenvalues[i] > 0) r.axes = static_cast<int>(a) + 1;
  }
  const auto axes = static_cast<std::size_t>(r.axes);
  r.coordinates.assign(n * axes, 0);
  for (std::size_t a = 0; a < axes; ++a) {
    const auto column = s.leading.vectors.col(static_cast<Eigen::Index>(a));
    Eigen::Index largest = 0;
    column.cwiseAbs().maxCoeff(&largest);
    const double scale = std::copysign(std::sqrt(r.eigenvalues[a]), column(largest));
    for (std::size_t i = 0; i < n; ++i) r.coordinates[i * axes + a] = column(static_cast<Eigen::Index>(i)) * scale;
  }
}

}  // namespace

PcoaResult pcoa(std::span<const double> distances, std::size_t n, const PcoaOptions& options) {
  if (n < 2) throw ErrorStop("Principal coordinates need at least 2 strains; the table holds " + std::to_string(n));
  if (options.axes < 1 || static_cast<std::size_t>(options.axes) > n)
    throw ErrorStop("The number of axes must be from 1 to " + std::to_string(n) + ", the number of strains");
  checkdistances(distances, n, "The table");
  const int e = scaleof(distances);
  const double s = std::ldexp(1.0, -e);

  WorkMatrix table = centred(distances, n, [s](double d) { return (d * s) * (d * s); });
  auto b = table.view();
  Spectrum spectrum = solve(b, options.axes, options.method, options.correction == Correction::none);
  PcoaResult r;
  r.strains = n;
  r.negatives = r.negativesanalysed = spectrum.negatives;
  if (options.correction != Correction::none && spectrum.negatives > 0) {
    r.applied = options.correction;
    const bool lingoes = options.correction == Correction::lingoes;
    if (lingoes) {
      r.constant = -spectrum.smallest;
    } else {
      WorkMatrix delta2 = centred(distances, n, [s](double d) { return d * s; });
      r.constant = largestrealeigen(b, delta2.view());
    }
    const double c = r.constant;
    WorkMatrix corrected = lingoes ? centred(distances, n, [c, s](double d) { return (d * s) * (d * s) + 2 * c; })
                                   : centred(distances, n, [c, s](double d) { return (d * s + c) * (d * s + c); });
    auto cb = corrected.view();
    spectrum = solve(cb, options.axes, options.method, true);
    r.negativesanalysed = spectrum.negatives;
  }
  fill(spectrum, n, r);
  unscale(r, e, *std::max_element(distances.begin(), distances.end()));
  return r;
}

}  // namespace lorvane
