#pragma once
// Similarities and distances of a pair of strains from its band counts:
// a shared bands (taken as 1 when there are none), b and c the bands of
// each strain, K the weight of the unshared bands, r the site length.
#include <cmath>

namespace lorvane {

// Stored for a value that has no finite result (a corrected distance of
// 0.75 or more, or a Nei & Li distance without a real value).
inline constexpr double kNoValue = 999.0;

// Jaccard form a / (K c + K b + (1 - 2K) a). A denominator of zero or below
// (a strain without bands) gives the similarity 0.
inline double jaccardform(double a, double b, double c, double k) {
  const double den = k * c + k * b + (1 - 2 * k) * a;
  return den > 0 ? a / den : 0.0;
}

// Dice form a / ((K/2) c + (K/2) b + (1 - K) a), same rule for the denominator.
inline double diceform(double a, double b, double c, double k) {
  const double den = (k / 2) * c + (k / 2) * b + (1 - k) * a;
  return den > 0 ? a / den : 0.0;
}

// 1 - S^(1/r). S^1 is S itself, without the cost of the power function.
inline double sitedistance(double s, int r) { return r == 1 ? 1.0 - s : 1.0 - std::pow(s, 1.0 / r); }

// -0.75 ln(1 - (4/3) d), for d below 0.75.
inline double jukescantorcorrection(double d) { return -0.75 * std::log(1.0 - (4.0 / 3.0) * d); }

// Nei & Li (1979): G = S^(1/4), then 12 times G = ((3 - 2G) S)^(1/4);
// the distance is -(2/r) ln G. No real value gives kNoValue.
inline double neili(double sd, int r) {
  double g = std::sqrt(std::sqrt(sd));
  for (int t = 0; t < 12; ++t) g = std::sqrt(std::sqrt((3 - 2 * g) * sd));
  const double d = -(2.0 / r) * std::log(g);
  return std::isfinite(d) ? d : kNoValue;
}

// A finite value, or kNoValue: no file ever receives "nan" or "inf".
inline double finiteor999(double v) { return std::isfinite(v) ? v : kNoValue; }

}  // namespace lorvane
