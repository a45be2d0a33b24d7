// The fast "%5.3f " / "%5.0f " fields against the C library's formatted print.
#include "core/fixedformat.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace lorvane {
namespace {

std::string printed(const char* format, float v) {
  char text[512];
  const bool three = std::strcmp(format, "%5.3f ") == 0;
  const int n = std::snprintf(text, sizeof text, three ? "%5.3f " : "%5.0f ", static_cast<double>(v));
  return std::string(text, static_cast<std::size_t>(n));
}

std::string fast3(float v) {
  char text[kMaxFixedField];
  return std::string(text, fixed3field(text, v));
}

std::string fast0(float v) {
  char text[kMaxFixedField];
  return std::string(text, fixed0field(text, v));
}

// Every float from 0 to 1. Printing each through the C library would take
// minutes, so the sweep uses what rounding guarantees: the printed field
// never decreases as the value grows. Wherever the fast field changes, both
// neighbours are checked against the formatted print; between two such
// places the fast field is constant and the print, being monotone and equal
// at both ends, is the same. The sanitizer build checks a stride of values.
// The fields of one sweep as 8-byte words (every field below 10 has six bytes).
struct SweepState {
  std::uint64_t field = 0;
  float before = 0.0f;
  int changes = 0;
};

// True when the field was checked against the formatted print.
template <int Decimals>
bool sweepstep(SweepState& s, float v, bool checkall) {
  char text[kMaxFixedField] = {};
  const std::size_t n = fixedfield<Decimals>(text, v);
  std::uint64_t word;
  std::memcpy(&word, text, sizeof word);
  if (!checkall && n == 6 && word == s.field) {
    s.before = v;
    return false;
  }
  const char* format = Decimals == 3 ? "%5.3f " : "%5.0f ";
  EXPECT_EQ(std::string(text, n), printed(format, v)) << v;
  char previous[8];
  std::memcpy(previous, &s.field, sizeof previous);
  EXPECT_EQ(std::string(previous, 6), printed(format, s.before)) << s.before;
  s.field = word;
  s.before = v;
  ++s.changes;
  return true;
}

// Every float from 0 to 1. Printing each through the C library would take
// minutes, so the sweep uses what rounding guarantees: the printed field
// never decreases as the value grows. Wherever the fast field changes, both
// neighbours are checked against the formatted print; between two such
// places the fast field is constant and the print, being monotone and equal
// at both ends, is the same. The sanitizer build checks a stride of values.
TEST(FixedFormat, EveryFloatFromZeroToOneMatchesPrintf) {
  const std::uint32_t last = std::bit_cast<std::uint32_t>(1.0f);
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
  const std::uint32_t stride = 1;
#else
  const std::uint32_t stride = 4099;
#endif
  SweepState s3, s0;
  char text[kMaxFixedField] = {};
  ASSERT_EQ(fixed3field(text, 0.0f), 6u);
  std::memcpy(&s3.field, text, 8);
  ASSERT_EQ(fixed0field(text, 0.0f), 6u);
  std::memcpy(&s0.field, text, 8);
  for (std::uint64_t bits = 1; bits <= last; bits += stride) {
    const float v = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    const bool checked3 = sweepstep<3>(s3, v, stride != 1);
    const bool checked0 = sweepstep<0>(s0, v, stride != 1);
    if ((checked3 || checked0) && HasFailure()) return;
  }
  EXPECT_EQ(fast3(1.0f), "1.000 ");
  if (stride == 1) {
    EXPECT_EQ(s3.changes, 1000);  // 0.001 to 1.000
    EXPECT_EQ(s0.changes, 1);     // 0.5 is a tie that stays 0; 1 comes after it
  }
}

TEST(FixedFormat, SpecialAndRandomValuesMatchPrintf) {
  const float specials[] = {-0.0f, 0.0f, 999.0f, -999.0f, 0.0005f, 0.0015f, 0.5f, 1.5f, 2.5f, 9.9995f,
                            99999.5f, 1e5f, 123456.789f, 4.0e6f, 4.3e6f, 3.9e9f, 4.2e9f, 1e20f,
                            std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::denorm_min(), -1e-30f, -0.0004f, -0.0006f,
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
  for (float v : specials) {
    EXPECT_EQ(fast3(v), printed("%5.3f ", v)) << v;
    EXPECT_EQ(fast0(v), printed("%5.0f ", v)) << v;
  }
  std::mt19937_64 random(2026);
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
  const int count = 4'000'000;
#else
  const int count = 100'000;
#endif
  for (int t = 0; t < count; ++t) {
    float v;
    switch (t % 4) {
      case 0:  // any bit pattern: every sign and magnitude
        v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (std::isnan(v)) continue;
        break;
      case 1:  // the ranges the tables hold: distances, counts, 999
        v = static_cast<float>(std::uniform_real_distribution<double>(-2.0, 1100.0)(random));
        break;
      case 2:  // near the integer-path limit
        v = static_cast<float>(std::uniform_real_distribution<double>(3.0e6, 5.0e9)(random));
        break;
      default:  // exact halves and thousandths: the rounding ties
        v = static_cast<float>(static_cast<int>(random() % 20001) - 10000) / 2.0f;
        break;
    }
    ASSERT_EQ(fast3(v), printed("%5.3f ", v)) << v;
    ASSERT_EQ(fast0(v), printed("%5.0f ", v)) << v;
  }
}

}  // namespace
}  // namespace lorvane
