#include "ordination/blocked.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/interrupt.h"

extern "C" {
// LAPACK and BLAS, Fortran calling convention (trailing lengths of the character arguments).
int ilaenv_(const int* ispec, const char* name, const char* opts, const int* n1, const int* n2, const int* n3,
            const int* n4, std::size_t, std::size_t);
double dlansy_(const char* norm, const char* uplo, const int* n, const double* a, const int* lda, double* work,
               std::size_t, std::size_t);
void dlascl_(const char* type, const int* kl, const int* ku, const double* from, const double* to, const int* m,
             const int* n, double* a, const int* lda, int* info, std::size_t);
void dlatrd_(const char* uplo, const int* n, const int* nb, double* a, const int* lda, double* e, double* tau,
             double* w, const int* ldw, std::size_t);
void dsyr2k_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha, const double* a,
             const int* lda, const double* b, const int* ldb, const double* beta, double* c, const int* ldc,
             std::size_t, std::size_t);
void dsytd2_(const char* uplo, const int* n, double* a, const int* lda, double* d, double* e, double* tau, int* info,
             std::size_t);
void dsterf_(const int* n, double* d, double* e, int* info);
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info, std::size_t);
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha, const double* a,
            const int* lda, const double* beta, double* c, const int* ldc, std::size_t, std::size_t);
void dgemm_(const char* ta, const char* tb, const int* m, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* b, const int* ldb, const double* beta, double* c,
            const int* ldc, std::size_t, std::size_t);
void dtrsm_(const char* side, const char* uplo, const char* ta, const char* diag, const int* m, const int* n,
            const double* alpha, const double* a, const int* lda, double* b, const int* ldb, std::size_t,
            std::size_t, std::size_t, std::size_t);
void dlasyf_(const char* uplo, const int* n, const int* nb, int* kb, double* a, const int* lda, int* ipiv, double* w,
             const int* ldw, int* info, std::size_t);
void dsytf2_(const char* uplo, const int* n, double* a, const int* lda, int* ipiv, int* info, std::size_t);
}

namespace lorvane {

namespace {

int blocksize(int spec, const char* name, int n) {
  const int none = -1;
  return ilaenv_(&spec, name, "L", &n, &none, &none, &none, 6, 1);
}

// Cell (i, j), 0-based.
double* at(double* a, int lda, int i, int j) {
  return a + static_cast<std::ptrdiff_t>(i) + static_cast<std::ptrdiff_t>(j) * lda;
}

// dsytrd, lower, with the workspace dsyevd gives it (n x nb).
void tridiagonal(int n, double* a, int lda, double* d, double* e, double* tau) {
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
    dlatrd_("L", &rows, &nb, at(a, lda, i, i), &lda, e + i, tau + i, work.data(), &ldwork, 1);
    dsyr2k_("L", "N", &rest, &nb, &minusone, at(a, lda, i + nb, i), &lda, work.data() + nb, &ldwork, &one,
            at(a, lda, i + nb, i + nb), &lda, 1, 1);
    for (int j = i; j < i + nb; ++j) {
      *at(a, lda, j + 1, j) = e[j];
      d[j] = *at(a, lda, j, j);
    }
  }
  checkinterrupt();
  const int rows = n - i;
  int info = 0;
  dsytd2_("L", &rows, at(a, lda, i, i), &lda, d + i, e + i, tau + i, &info, 1);
}

}  // namespace

int symmetricvalues(int n, double* a, int lda, double* w) {
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
  const double norm = dlansy_("M", "L", &n, a, &lda, scratch.data(), 1, 1);
  double sigma = 1;
  if (norm > 0 && norm < rmin) sigma = rmin / norm;
  if (norm > rmax) sigma = rmax / norm;
  int info = 0;
  if (sigma != 1) {
    const int zero = 0;
    const double unit = 1;
    dlascl_("L", &zero, &zero, &unit, &sigma, &n, &n, a, &lda, &info, 1);
  }
  std::vector<double> e(static_cast<std::size_t>(n)), tau(static_cast<std::size_t>(n));
  tridiagonal(n, a, lda, w, e.data(), tau.data());
  checkinterrupt();
  dsterf_(&n, w, e.data(), &info);
  if (sigma != 1)
    for (int k = 0; k < n; ++k) w[k] *= 1 / sigma;
  return info;
}

int cholesky(int n, double* a, int lda) {
  constexpr int kPanel = 256;
  const double one = 1, minusone = -1;
  for (int j = 0; j < n; j += kPanel) {
    checkinterrupt();
    const int jb = std::min(kPanel, n - j), below = n - j - jb;
    dsyrk_("L", "N", &jb, &j, &minusone, at(a, lda, j, 0), &lda, &one, at(a, lda, j, j), &lda, 1, 1);
    int info = 0;
    dpotrf_("L", &jb, at(a, lda, j, j), &lda, &info, 1);
    if (info != 0) return info < 0 ? info : j + info;
    if (below > 0) {
      dgemm_("N", "T", &below, &jb, &j, &minusone, at(a, lda, j + jb, 0), &lda, at(a, lda, j, 0), &lda, &one,
             at(a, lda, j + jb, j), &lda, 1, 1);
      dtrsm_("R", "L", "T", "N", &below, &jb, &one, at(a, lda, j, j), &lda, at(a, lda, j + jb, j), &lda, 1, 1, 1, 1);
    }
  }
  return 0;
}

int bunchkaufman(int n, double* a, int lda, int* ipiv) {
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
      dlasyf_("L", &rows, &nb, &kb, at(a, lda, k, k), &lda, ipiv + k, work.data(), &ldwork, &step, 1);
    } else {
      dsytf2_("L", &rows, at(a, lda, k, k), &lda, ipiv + k, &step, 1);
      kb = rows;
    }
    if (info == 0 && step > 0) info = step + k;
    for (int j = k; j < k + kb; ++j) ipiv[j] += ipiv[j] > 0 ? k : -k;
    k += kb;
  }
  return info;
}

}  // namespace lorvane
