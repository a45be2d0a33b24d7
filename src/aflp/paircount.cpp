// Shared-band counts of pairs of strains: the kernels this processor runs,
// and the counts of a block of rows against a band of columns over threads.
#include "aflp/paircount.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "aflp/kernels/kernels.h"
#include "core/threadpool.h"

namespace lorvane {

const std::vector<PairKernel>& availablekernels() {
  static const std::vector<PairKernel> kernels = [] {
    std::vector<PairKernel> k{{"portable", kernels::portablecount, kernels::portabletotal, kernels::portablediffer}};
#if defined(LORVANE_X86_KERNELS)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("popcnt"))
      k.push_back({"popcnt", kernels::popcntcount, kernels::popcnttotal, kernels::popcntdiffer});
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq"))
      k.push_back({"avx512", kernels::avx512count, kernels::avx512total, kernels::avx512differ,
                   kernels::avx512countcolumns});
#endif
    return k;
  }();
  return kernels;
}

const PairKernel& pairkernel(const std::string& name) {
  const auto& all = availablekernels();
  for (const auto& k : all)
    if (name == k.name) return k;
  return all.back();
}

PairCounter::PairCounter(const BitMatrix& x, const BitMatrix* planes, int nplanes, const PairKernel& kernel,
                         int threads, const BitMatrix* scored)
    : x_(x),
      scored_(scored),
      planes_(planes && nplanes > 0 ? planes->data() : nullptr),
      nplanes_(planes ? nplanes : 0),
      kernel_(kernel),
      threads_(threads > 0 ? threads : 1) {
  if (kernel_.countcolumns && !scored_) columns_ = transposecolumns(x);
}

std::vector<std::uint64_t> transposecolumns(const BitMatrix& x) {
  const std::size_t words = x.words(), panels = (static_cast<std::size_t>(x.rows()) + 7) / 8;
  std::vector<std::uint64_t> t(panels * words * 8, 0);
  for (int s = 0; s < x.rows(); ++s) {
    const std::uint64_t* row = x.row(s);
    const std::size_t panel = static_cast<std::size_t>(s) / 8, lane = static_cast<std::size_t>(s) % 8;
    for (std::size_t w = 0; w < words; ++w) t[(panel * words + w) * 8 + lane] = row[w];
  }
  return t;
}

void PairCounter::count(int r0, int r1, int c0, int c1, bool upper) {
  constexpr int kRows = 64, kCols = 128;  // one task: 64 rows against 128 columns
  const bool panels = !columns_.empty();
  const int align = panels ? 8 : 4;  // column panels hold 8 strains
  c0 = c0 / align * align;
  const int rend = (r1 + 3) / 4 * 4, cend = (c1 + align - 1) / align * align;
  r0_ = r0;
  c0_ = c0;
  ld_ = static_cast<std::size_t>(cend - c0);
  out_.resize(static_cast<std::size_t>(rend - r0) * ld_);
  const int rowtasks = (rend - r0 + kRows - 1) / kRows, coltasks = (cend - c0 + kCols - 1) / kCols;
  const int tasks = rowtasks * coltasks;
  const std::uint64_t* x = x_.data();
  const std::size_t stride = x_.stride(), words = x_.words();
  parallelfor(tasks, threads_, [&](int task) {
    const int i = r0 + task / coltasks * kRows, j = c0 + task % coltasks * kCols;
    const int ni = std::min(kRows, rend - i), nj = std::min(kCols, cend - j);
    if (upper && j + nj <= i) return;  // wholly below the diagonal
    std::int64_t* out = out_.data() + static_cast<std::size_t>(i - r0) * ld_ + static_cast<std::size_t>(j - c0);
    if (scored_)
      kernel_.differ(x, scored_->data(), stride, words, i, ni, j, nj, planes_, nplanes_, out, ld_);
    else if (panels)
      kernel_.countcolumns(x, stride, words, columns_.data(), i, ni, j, nj, planes_, nplanes_, out, ld_);
    else
      kernel_.count(x, stride, words, i, ni, j, nj, planes_, nplanes_, out, ld_);
  });
}

// With the processor's popcount instruction where it has one (a call into
// the compiler's library otherwise: a bootstrap counts every strain's bands
// for each replicate).
#if defined(__x86_64__) && !defined(LORVANE_NO_CLONES)
[[gnu::target_clones("popcnt", "default")]]
#endif
std::int64_t sharedcount(const BitMatrix& x, int i, int j, const BitMatrix* planes, int nplanes, const BitMatrix* y) {
  std::int64_t total = 0;
  const std::uint64_t* a = x.row(i);
  const std::uint64_t* b = y ? y->row(j) : x.row(j);
  const int passes = planes && nplanes > 0 ? nplanes : 1;
  for (int t = 0; t < passes; ++t) {
    std::int64_t s = 0;
    for (std::size_t w = 0; w < x.words(); ++w)
      s += std::popcount(a[w] & b[w] & (planes && nplanes > 0 ? planes->row(t)[w] : ~std::uint64_t{0}));
    total += s << t;
  }
  return total;
}

}  // namespace lorvane
