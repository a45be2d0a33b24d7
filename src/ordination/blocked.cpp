#include "ordination/blocked.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/interrupt.h"
#include "ordination/lapack.h"

namespace lorvane {

namespace {

int blocksize(int spec, const char* name, int n) {
  const int none = -1;
  return lapack().ilaenv(&spec, name, "L", &n, &none, &none, &none, 6, 1);
}

// Cell (i, j), 0-based.
double* at(double* a, int lda, int i, int j) {
  return a + static_cast<std::ptrdiff_t>(i) + static_cast<std::ptrdiff_t>(j) * lda;
}

// dsytrd, lower, with the workspace dsyevd gives it (n x nb).
void tridiagonal(int n, double* a, int lda, double* d, double* e, double* tau) {
  const Lapack& la = lapack();
  int nb = blocksize(1, "DSYTRD", n);
  int nx = n;
  if (nb > 1 && nb < n) {
    nx = std::max(nb, blocksize(3, "DSYTRD", n));
  } else {
    nb = 1;
  }
  if (nx >= n) nx = n;
  const int ldwork = n;
  std::vector<double> work(static_cast<std::size_t>(ldwork) * static_cast<std::size_t>(std::max(nb, 1)));
  const double one = 1, minusone = -1;
  int i = 0;
  for (; i < n - nx; i += nb) {
    checkinterrupt();
    const int rows = n - i, rest = n - i - nb;
    la.dlatrd("L", &rows, &nb, at(a, lda, i, i), &lda, e + i, tau + i, work.data(), &ldwork, 1);
    la.dsyr2k("L", "N", &rest, &nb, &minusone, at(a, lda, i + nb, i), &lda, work.data() + nb, &ldwork, &one,
              at(a, lda, i + nb, i + nb), &lda, 1, 1);
    for (int j = i; j < i + nb; ++j) {
      *at(a, lda, j + 1, j) = e[j];
      d[j] = *at(a, lda, j, j);
    }
  }
  checkinterrupt();
  const int rows = n - i;
  int info = 0;
  la.dsytd2("L", &rows, at(a, lda, i, i), &lda, d + i, e + i, tau + i, &info, 1);
}

}  // namespace

int symmetricvalues(int n, double* a, int lda, double* w) {
  const Lapack& la = lapack();
  if (n <= 0) return 0;
  if (n == 1) {
    w[0] = a[0];
    return 0;
  }
  // dsyevd's scaling of a matrix whose largest element lies outside
  // [sqrt(smallest / eps), sqrt(largest * eps)].
  const double smallest = DBL_MIN / DBL_EPSILON;
  const double rmin = std::sqrt(smallest), rmax = std::sqrt(1 / smallest);
  std::vector<double> scratch(static_cast<std::size_t>(n));
  const double norm = la.dlansy("M", "L", &n, a, &lda, scratch.data(), 1, 1);
  double sigma = 1;
  if (norm > 0 && norm < rmin) sigma = rmin / norm;
  if (norm > rmax) sigma = rmax / norm;
  int info = 0;
  if (sigma != 1) {
    const int zero = 0;
    const double unit = 1;
    la.dlascl("L", &zero, &zero, &unit, &sigma, &n, &n, a, &lda, &info, 1);
  }
  std::vector<double> e(static_cast<std::size_t>(n)), tau(static_cast<std::size_t>(n));
  tridiagonal(n, a, lda, w, e.data(), tau.data());
  checkinterrupt();
  la.dsterf(&n, w, e.data(), &info);
  if (sigma != 1)
    for (int k = 0; k < n; ++k) w[k] *= 1 / sigma;
  return info;
}

int cholesky(int n, double* a, int lda) {
  const Lapack& la = lapack();
  constexpr int kPanel = 256;
  const double one = 1, minusone = -1;
  for (int j = 0; j < n; j += kPanel) {
    checkinterrupt();
    const int jb = std::min(kPanel, n - j), below = n - j - jb;
    la.dsyrk("L", "N", &jb, &j, &minusone, at(a, lda, j, 0), &lda, &one, at(a, lda, j, j), &lda, 1, 1);
    int info = 0;
    la.dpotrf("L", &jb, at(a, lda, j, j), &lda, &info, 1);
    if (info != 0) return info < 0 ? info : j + info;
    if (below > 0) {
      la.dgemm("N", "T", &below, &jb, &j, &minusone, at(a, lda, j + jb, 0), &lda, at(a, lda, j, 0), &lda, &one,
               at(a, lda, j + jb, j), &lda, 1, 1);
      la.dtrsm("R", "L", "T", "N", &below, &jb, &one, at(a, lda, j, j), &lda, at(a, lda, j + jb, j), &lda, 1, 1, 1, 1);
    }
  }
  return 0;
}

int bunchkaufman(int n, double* a, int lda, int* ipiv) {
  const Lapack& la = lapack();
  int nb = blocksize(1, "DSYTRF", n);
  const int ldwork = n;
  if (nb < 2) nb = n;
  std::vector<double> work(static_cast<std::size_t>(ldwork) * static_cast<std::size_t>(std::max(nb, 1)));
  int info = 0;
  for (int k = 0; k < n;) {
    checkinterrupt();
    int kb = 0, step = 0;
    const int rows = n - k;
    if (k < n - nb) {
      la.dlasyf("L", &rows, &nb, &kb, at(a, lda, k, k), &lda, ipiv + k, work.data(), &ldwork, &step, 1);
    } else {
      la.dsytf2("L", &rows, at(a, lda, k, k), &lda, ipiv + k, &step, 1);
      kb = rows;
    }
    if (info == 0 && step > 0) info = step + k;
    for (int j = k; j < k + kb; ++j) ipiv[j] += ipiv[j] > 0 ? k : -k;
    k += kb;
  }
  return info;
}

}  // namespace lorvane
