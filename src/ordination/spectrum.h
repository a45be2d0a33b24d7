#pragma once
// The symmetric eigen problems of principal coordinates: the whole spectrum
// (LAPACK, dsyevd), the leading pairs only (Lanczos, Spectra), the count of
// eigenvalues below a bound (inertia of an LDL^T factorisation, LAPACK
// dsytrf), and the constant of the Cailliez correction (Arnoldi, Spectra).
// A stop asked for (core/interrupt.h) ends each within a step: an iteration
// of Lanczos or Arnoldi, a block of a factorisation (ordination/blocked.h);
// only the whole spectrum with its vectors, asked for on small tables or
// for many axes, is one call.
#include <Eigen/Dense>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/lowerhalf.h"

namespace lorvane {

// Eigenvalues in descending order, with their unit eigenvectors as columns
// when they were asked for.
struct Eigenpairs {
  Eigen::VectorXd values;
  Eigen::MatrixXd vectors;
};

// An n x n matrix in column order, its elements not yet set when it is made,
// for the large tables of these solvers. Its memory is taken in huge pages
// where the system offers them (see core/lowerhalf.h): touching a fresh
// 32 MB table (2,000 strains) in pages of 4 kB cost 90 ms on the test
// machine, a third of the whole analysis.
class WorkMatrix {
 public:
  explicit WorkMatrix(Eigen::Index n) : cells_(static_cast<std::size_t>(n * n)), n_(n) {}
  Eigen::Map<Eigen::MatrixXd> view() { return {cells_.data(), n_, n_}; }

 private:
  std::vector<double, UnsetAllocator<double>> cells_;
  Eigen::Index n_;
};

// Calls f(i, j) for each i >= j of an n x n table, tile by tile, so that
// whatever f does at (j, i) as well stays in the cache.
template <typename F>
void lowertiles(Eigen::Index n, F f) {
  constexpr Eigen::Index kTile = 64;
  for (Eigen::Index j0 = 0; j0 < n; j0 += kTile)
    for (Eigen::Index i0 = j0; i0 < n; i0 += kTile) {
      const Eigen::Index j1 = std::min(j0 + kTile, n), i1 = std::min(i0 + kTile, n);
      for (Eigen::Index j = j0; j < j1; ++j)
        for (Eigen::Index i = std::max(i0, j); i < i1; ++i) f(i, j);
    }
}

// Every eigenvalue of the symmetric b, and every eigenvector when `vectors`.
// LAPACK works in b itself, which is left overwritten.
Eigenpairs alleigen(Eigen::Ref<Eigen::MatrixXd> b, bool vectors);
// The k largest eigenvalues of the symmetric b and their vectors (k < n - 1).
Eigenpairs leadingeigen(Eigen::Ref<const Eigen::MatrixXd> b, int k);
// The smallest eigenvalue of the symmetric b (Lanczos; n > 2).
double smallesteigen(Eigen::Ref<const Eigen::MatrixXd> b);
// Whether every eigenvalue of the symmetric b lies above -t (t > 0): whether
// b + tI has a Cholesky factor (LAPACK dpotrf), which stops at the first
// pivot that is not positive, so a table far from it is found out early.
// The factor is made in place, in b's lower triangle: when the answer is
// true, b keeps its strictly upper triangle only; when false, b comes back
// as it was (its lower triangle copied back from the upper one, so b must be
// exactly symmetric).
bool nonebelow(Eigen::Ref<Eigen::MatrixXd> b, double t);
// How many eigenvalues of the symmetric b lie below -t (t >= 0), from the
// inertia of b + tI (Sylvester's law), without the eigenvalues themselves.
int countbelow(Eigen::Ref<const Eigen::MatrixXd> b, double t);
// The largest of the real components of the eigenvalues of the 2n x 2n matrix
// [0, 2 delta1; -I, -4 delta2], applied without being formed.
double largestrealeigen(Eigen::Ref<const Eigen::MatrixXd> delta1, Eigen::Ref<const Eigen::MatrixXd> delta2);

}  // namespace lorvane
