#include "ordination/spectrum.h"

#include <Spectra/GenEigsSolver.h>
#include <Spectra/MatOp/DenseSymMatProd.h>
#include <Spectra/SymEigsSolver.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "core/interrupt.h"
#include "core/messages.h"
#include "ordination/blocked.h"
#include "ordination/lapack.h"

namespace lorvane {

namespace {

constexpr int kMaxIterations = 10000;
constexpr double kTolerance = 1e-12;

[[noreturn]] void solverfailed(const std::string& what) {
  throw ErrorStop("The eigen solver did not converge (" + what + ")");
}

// The product of Lanczos' iterations, each of which is a step where a stop
// asked for (core/interrupt.h) ends the solver.
class CheckedProduct : public Spectra::DenseSymMatProd<double> {
 public:
  using Spectra::DenseSymMatProd<double>::DenseSymMatProd;
  void perform_op(const double* in, double* out) const {
    checkinterrupt();
    Spectra::DenseSymMatProd<double>::perform_op(in, out);
  }
};

// Lanczos and Arnoldi work on a Krylov space of this dimension.
int krylovsize(int nev, int n) { return std::min(n, std::max(2 * nev + 1, 20)); }

// y = [0, 2 d1; -I, -4 d2] x, for x and y of length 2n.
class CailliezOp {
 public:
  using Scalar = double;
  CailliezOp(Eigen::Ref<const Eigen::MatrixXd> d1, Eigen::Ref<const Eigen::MatrixXd> d2) : d1_(d1), d2_(d2) {}
  Eigen::Index rows() const { return 2 * d1_.rows(); }
  Eigen::Index cols() const { return 2 * d1_.rows(); }
  void perform_op(const double* in, double* out) const {
    checkinterrupt();
    const Eigen::Index n = d1_.rows();
    Eigen::Map<const Eigen::VectorXd> top(in, n), bottom(in + n, n);
    Eigen::Map<Eigen::VectorXd> outtop(out, n), outbottom(out + n, n);
    outtop.noalias() = 2.0 * (d1_ * bottom);
    outbottom.noalias() = -4.0 * (d2_ * bottom);
    outbottom -= top;
  }

 private:
  Eigen::Ref<const Eigen::MatrixXd> d1_;
  Eigen::Ref<const Eigen::MatrixXd> d2_;
};

}  // namespace

Eigenpairs alleigen(Eigen::Ref<Eigen::MatrixXd> a, bool vectors) {
  const int n = static_cast<int>(a.rows()), lda = static_cast<int>(a.outerStride());
  Eigen::VectorXd w(n);
  if (!vectors) {
    const int info = symmetricvalues(n, a.data(), lda, w.data());
    if (info != 0) solverfailed("dsterf " + std::to_string(info));
    return {w.reverse(), {}};
  }
  const char* jobz = vectors ? "V" : "N";
  int lwork = -1, liwork = -1, info = 0, iworkquery = 0;
  double workquery = 0;
  lapack().dsyevd(jobz, "L", &n, a.data(), &lda, w.data(), &workquery, &lwork, &iworkquery, &liwork, &info, 1, 1);
  lwork = static_cast<int>(workquery);
  liwork = iworkquery;
  std::vector<double> work(static_cast<std::size_t>(std::max(lwork, 1)));
  std::vector<int> iwork(static_cast<std::size_t>(std::max(liwork, 1)));
  lapack().dsyevd(jobz, "L", &n, a.data(), &lda, w.data(), work.data(), &lwork, iwork.data(), &liwork, &info, 1, 1);
  if (info != 0) solverfailed("dsyevd " + std::to_string(info));
  Eigenpairs out;
  out.values = w.reverse();
  if (vectors) out.vectors = a.rowwise().reverse();
  return out;
}

Eigenpairs leadingeigen(Eigen::Ref<const Eigen::MatrixXd> b, int k) {
  CheckedProduct op(b);
  Spectra::SymEigsSolver<CheckedProduct> solver(op, k, krylovsize(k, static_cast<int>(b.rows())));
  solver.init();
  solver.compute(Spectra::SortRule::LargestAlge, kMaxIterations, kTolerance);
  if (solver.info() != Spectra::CompInfo::Successful) solverfailed("leading eigenvalues");
  return {solver.eigenvalues(), solver.eigenvectors()};
}

double smallesteigen(Eigen::Ref<const Eigen::MatrixXd> b) {
  CheckedProduct op(b);
  Spectra::SymEigsSolver<CheckedProduct> solver(op, 1, krylovsize(1, static_cast<int>(b.rows())));
  solver.init();
  solver.compute(Spectra::SortRule::SmallestAlge, kMaxIterations, kTolerance);
  if (solver.info() != Spectra::CompInfo::Successful) solverfailed("smallest eigenvalue");
  return solver.eigenvalues()(0);
}

bool nonebelow(Eigen::Ref<Eigen::MatrixXd> b, double t) {
  const int n = static_cast<int>(b.rows()), lda = static_cast<int>(b.outerStride());
  const Eigen::VectorXd diagonal = b.diagonal();
  b.diagonal().array() += t;
  // The factor leaves the strictly upper triangle as it was.
  const int info = cholesky(n, b.data(), lda);
  if (info < 0) solverfailed("dpotrf " + std::to_string(info));
  if (info == 0) return true;
  b.diagonal() = diagonal;
  lowertiles(b.rows(), [&b](Eigen::Index i, Eigen::Index j) {
    if (i != j) b(i, j) = b(j, i);
  });
  return false;
}

int countbelow(Eigen::Ref<const Eigen::MatrixXd> b, double t) {
  const int n = static_cast<int>(b.rows());
  Eigen::MatrixXd a = b;
  a.diagonal().array() += t;
  std::vector<int> pivots(static_cast<std::size_t>(n));
  const int info = bunchkaufman(n, a.data(), n, pivots.data());
  if (info < 0) solverfailed("dsytrf " + std::to_string(info));
  // b + tI = L D L^T with D of 1 x 1 and 2 x 2 blocks: the negative
  // eigenvalues of D are those of b + tI.
  int negatives = 0;
  for (int i = 0; i < n;) {
    if (pivots[static_cast<std::size_t>(i)] > 0 || i + 1 == n) {
      if (a(i, i) < 0) ++negatives;
      ++i;
    } else {
      const double p = a(i, i), q = a(i + 1, i), r = a(i + 1, i + 1);
      const double det = p * r - q * q;
      if (det < 0)
        ++negatives;
      else if (p + r < 0)
        negatives += 2;
      i += 2;
    }
  }
  return negatives;
}

double largestrealeigen(Eigen::Ref<const Eigen::MatrixXd> delta1, Eigen::Ref<const Eigen::MatrixXd> delta2) {
  CailliezOp op(delta1, delta2);
  const int size = static_cast<int>(op.rows());
  Spectra::GenEigsSolver<CailliezOp> solver(op, 1, krylovsize(1, size));
  solver.init();
  solver.compute(Spectra::SortRule::LargestReal, kMaxIterations, kTolerance);
  if (solver.info() != Spectra::CompInfo::Successful) solverfailed("Cailliez constant");
  return solver.eigenvalues()(0).real();
}

}  // namespace lorvane
