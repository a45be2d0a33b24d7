#include "aflp/paircount.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>

#include "aflp/kernels/kernels.h"

#include <thread>

#include "aflp/workers.h"

namespace lorvane {

const std::vector<PairKernel>& availablekernels() {
  static const std::vector<PairKernel> kernels = [] {
    std::vector<PairKernel> k{{"portable", kernels::portablecount, kernels::portabletotal}};
#if defined(LORVANE_X86_KERNELS)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("popcnt")) k.push_back({"popcnt", kernels::popcntcount, kernels::popcnttotal});
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq"))
      k.push_back({"avx512", kernels::avx512count, kernels::avx512total, kernels::avx512countcolumns});
#endif
    return k;
  }();
  return kernels;
}

const PairKernel& pairkernel() {
  static const PairKernel& chosen = []() -> const PairKernel& {
    const auto& all = availablekernels();
    if (const char* name = std::getenv("LORVANE_KERNEL"))
      for (const auto& k : all)
        if (std::strcmp(k.name, name) == 0) return k;
    return all.back();
  }();
  return chosen;
}

int computethreads() {
  if (const char* text = std::getenv("LORVANE_THREADS")) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && v >= 1) return static_cast<int>(std::min(v, 1024L));
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(std::min(cores, 1024u)) : 1;
}

namespace {
int fixedrowblock = 0;
int fixedbatch = 0;
}  // namespace

void setreplicatebatch(int count) { fixedbatch = count < 0 ? 0 : count; }

int replicatebatch(long long cells) {
  if (fixedbatch > 0) return fixedbatch;
  return static_cast<int>(std::clamp((1LL << 19) / std::max(cells, 1LL), 1LL, 64LL));
}

void setrowblock(int rows) { fixedrowblock = rows < 0 ? 0 : (rows + 3) / 4 * 4; }

int rowblock(int n) {
  if (fixedrowblock > 0) return fixedrowblock;
  const int rows = (1 << 18) / (n > 0 ? n : 1);
  return std::clamp(rows / 4 * 4, 4, 1024);
}

PairCounter::PairCounter(const BitMatrix& x, const BitMatrix* planes, int nplanes, int threads)
    : x_(x),
      planes_(planes && nplanes > 0 ? planes->data() : nullptr),
      nplanes_(planes ? nplanes : 0),
      kernel_(pairkernel()),
      threads_(threads > 0 ? threads : computethreads()) {
  if (kernel_.countcolumns) columns_ = transposecolumns(x);
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
    if (panels)
      kernel_.countcolumns(x, stride, words, columns_.data(), i, ni, j, nj, planes_, nplanes_, out, ld_);
    else
      kernel_.count(x, stride, words, i, ni, j, nj, planes_, nplanes_, out, ld_);
  });
}

std::int64_t sharedcount(const BitMatrix& x, int i, int j, const BitMatrix* planes, int nplanes) {
  std::int64_t total = 0;
  const std::uint64_t* a = x.row(i);
  const std::uint64_t* b = x.row(j);
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
