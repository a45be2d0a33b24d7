#pragma once
// The threads of the linear algebra library behind LAPACK.

namespace lorvane {

// Run the linear algebra library (OpenBLAS) on n threads; nothing with a
// library that has no such setting. The whole spectrum of a table is reduced
// to tridiagonal form by thousands of small matrix-vector steps, and OpenBLAS
// wakes its threads for each one: on a busy machine every wake-up waits for a
// time slice, which made the spectrum of 2,000 strains take 13 s instead of
// 1 s. The programs therefore run it on one thread unless OPENBLAS_NUM_THREADS
// says otherwise; the gain of a second thread on an idle machine is small.
void setlinalgthreads(int n);

}  // namespace lorvane
