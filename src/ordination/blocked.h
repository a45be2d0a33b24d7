#pragma once
// LAPACK's long factorisations, driven a block at a time from here so that a
// stop asked for (core/interrupt.h) is an error stop between two blocks:
// one call into LAPACK would run on, for minutes on large tables. Each
// makes LAPACK's own calls in LAPACK's own order, with its block sizes, so
// the results are LAPACK's to the last bit. Matrices are in column order
// with leading dimension lda; only the lower triangle is read and written.

namespace lorvane {

// Every eigenvalue of the symmetric n x n matrix, ascending, into w (n
// values), as dsyevd gives them without vectors: the reduction to
// tridiagonal form (dsytrd's blocks, dlatrd and dsyr2k, then dsytd2), then
// dsterf. The matrix is overwritten. Returns LAPACK's info.
int symmetricvalues(int n, double* a, int lda, double* w);
// The Cholesky factor in place, dpotrf on panels of 256 columns with the
// updates between them: 0, or the column (from 1) whose pivot is not
// positive. The strictly upper triangle is left as it was.
int cholesky(int n, double* a, int lda);
// The Bunch-Kaufman factorisation L D L^T as dsytrf gives it (lower),
// pivots in ipiv (n). Returns LAPACK's info.
int bunchkaufman(int n, double* a, int lda, int* ipiv);

}  // namespace lorvane
