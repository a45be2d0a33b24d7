#pragma once
// The symmetric eigen problems of principal coordinates: the whole spectrum
// (LAPACK, dsyevd), the leading pairs only (Lanczos, Spectra), the count of
// eigenvalues below a bound (inertia of an LDL^T factorisation, LAPACK
// dsytrf), and the constant of the Cailliez correction (Arnoldi, Spectra).
#include <Eigen/Dense>

namespace lorvane {

// Eigenvalues in descending order, with their unit eigenvectors as columns
// when they were asked for.
struct Eigenpairs {
  Eigen::VectorXd values;
  Eigen::MatrixXd vectors;
};

// Every eigenvalue of the symmetric b, and every eigenvector when `vectors`.
Eigenpairs alleigen(const Eigen::MatrixXd& b, bool vectors);
// The k largest eigenvalues of the symmetric b and their vectors (k < n - 1).
Eigenpairs leadingeigen(const Eigen::MatrixXd& b, int k);
// The smallest eigenvalue of the symmetric b (Lanczos; n > 2).
double smallesteigen(const Eigen::MatrixXd& b);
// Whether every eigenvalue of the symmetric b lies above -t (t > 0): whether
// b + tI has a Cholesky factor (LAPACK dpotrf), which stops at the first
// pivot that is not positive, so a table far from it is found out early.
bool nonebelow(const Eigen::MatrixXd& b, double t);
// How many eigenvalues of the symmetric b lie below -t (t >= 0), from the
// inertia of b + tI (Sylvester's law), without the eigenvalues themselves.
int countbelow(const Eigen::MatrixXd& b, double t);
// The largest real part of the eigenvalues of the 2n x 2n matrix
// [0, 2 delta1; -I, -4 delta2], applied without being formed.
double largestrealeigen(const Eigen::MatrixXd& delta1, const Eigen::MatrixXd& delta2);

}  // namespace lorvane
