#pragma once
// Principal coordinates analysis of a distance table.
//
// The squared distances are double-centred (Gower): B = -1/2 J D^2 J with
// J = I - 11'/n. The leading eigenpairs of B give the axes; a strain's
// coordinate on an axis is its eigenvector element times the square root of
// the eigenvalue, and each axis is turned so that its coordinate of largest
// absolute value is positive. Eigenvalues within sqrt(DBL_EPSILON) times the
// largest eigenvalue of zero count as zero. A table that is not Euclidean
// has negative eigenvalues; they are counted, and on request the table is
// corrected first, as is usual: Lingoes, d' = sqrt(d^2 + 2 c1) with c1 the
// magnitude of the most negative eigenvalue; Cailliez, d' = d + c2 with c2
// the largest eigenvalue of [0, 2 B; -I, -4 B2], B2 = -1/2 J D J. A table
// without negative eigenvalues is never corrected.
#include <cstddef>
#include <span>
#include <vector>

namespace lorvane {

enum class Correction { none, lingoes, cailliez };

// How the eigenpairs are found. `automatic` takes the whole spectrum for
// small tables or many axes, otherwise the leading pairs only (Lanczos) and
// the whole spectrum's eigenvalues only when the table has negative ones.
enum class EigenMethod { automatic, dense, partial };

struct PcoaOptions {
  int axes = 3;
  Correction correction = Correction::none;
  EigenMethod method = EigenMethod::automatic;
};

struct PcoaResult {
  std::size_t strains = 0;
  // The eigenvalues of the axes asked for, largest first (of the corrected
  // table when a correction was applied), each with its share of the sum of
  // the positive eigenvalues (zero for an eigenvalue that is not positive)
  // and the cumulative share.
  std::vector<double> eigenvalues;
  std::vector<double> shares;
  std::vector<double> cumulative;
  double positivesum = 0;
  // Coordinates, strains x axes in row order, for the leading axes whose
  // eigenvalue is positive (at most the number asked for).
  std::vector<double> coordinates;
  int axes = 0;
  // Negative eigenvalues of the table as given, and of the table analysed
  // (after the correction; 0 when the correction did its work).
  int negatives = 0;
  int negativesanalysed = 0;
  Correction applied = Correction::none;
  double constant = 0;  // c1 (Lingoes) or c2 (Cailliez) when applied

  double coordinate(std::size_t strain, int axis) const {
    return coordinates[strain * static_cast<std::size_t>(axes) + static_cast<std::size_t>(axis)];
  }
};

// PCoA of the n x n table `distances` (row order). Raises an error stop for
// fewer than 2 strains, a number of axes outside 1..n, a table that is not
// a distance table (see checkdistances), a table of zeros, which has no
// principal axes, and a table whose eigenvalues (squared distances) lie
// beyond the range of doubles. Tables of distances near 1e-170 or 1e160 are
// analysed in units of a power of two, exactly, and the results scaled back.
PcoaResult pcoa(std::span<const double> distances, std::size_t n, const PcoaOptions& options);

}  // namespace lorvane
