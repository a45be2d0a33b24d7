#pragma once
// LAPACK and BLAS, from the shared library the build found, loaded the first
// time a solver needs them: the runs that never take a whole spectrum (most
// of them) start without it, its initialisation and its threads. Fortran
// calling convention: every argument by address, then the lengths of the
// character arguments.
#include <cstddef>

namespace lorvane {

struct Lapack {
  int (*ilaenv)(const int* ispec, const char* name, const char* opts, const int* n1, const int* n2, const int* n3,
                const int* n4, std::size_t, std::size_t);
  double (*dlansy)(const char* norm, const char* uplo, const int* n, const double* a, const int* lda, double* work,
                   std::size_t, std::size_t);
  void (*dlascl)(const char* type, const int* kl, const int* ku, const double* from, const double* to, const int* m,
                 const int* n, double* a, const int* lda, int* info, std::size_t);
  void (*dlatrd)(const char* uplo, const int* n, const int* nb, double* a, const int* lda, double* e, double* tau,
                 double* w, const int* ldw, std::size_t);
  void (*dsyr2k)(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha, const double* a,
                 const int* lda, const double* b, const int* ldb, const double* beta, double* c, const int* ldc,
                 std::size_t, std::size_t);
  void (*dsytd2)(const char* uplo, const int* n, double* a, const int* lda, double* d, double* e, double* tau,
                 int* info, std::size_t);
  void (*dsterf)(const int* n, double* d, double* e, int* info);
  void (*dpotrf)(const char* uplo, const int* n, double* a, const int* lda, int* info, std::size_t);
  void (*dsyrk)(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha, const double* a,
                const int* lda, const double* beta, double* c, const int* ldc, std::size_t, std::size_t);
  void (*dgemm)(const char* ta, const char* tb, const int* m, const int* n, const int* k, const double* alpha,
                const double* a, const int* lda, const double* b, const int* ldb, const double* beta, double* c,
                const int* ldc, std::size_t, std::size_t);
  void (*dtrsm)(const char* side, const char* uplo, const char* ta, const char* diag, const int* m, const int* n,
                const double* alpha, const double* a, const int* lda, double* b, const int* ldb, std::size_t,
                std::size_t, std::size_t, std::size_t);
  void (*dlasyf)(const char* uplo, const int* n, const int* nb, int* kb, double* a, const int* lda, int* ipiv,
                 double* w, const int* ldw, int* info, std::size_t);
  void (*dsytf2)(const char* uplo, const int* n, double* a, const int* lda, int* ipiv, int* info, std::size_t);
  void (*dsyevd)(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
                 double* work, const int* lwork, int* iwork, const int* liwork, int* info, std::size_t,
                 std::size_t);
};

// The routines; the first call loads the library, or stops the run with an
// error naming it when it cannot be loaded.
const Lapack& lapack();

}  // namespace lorvane
