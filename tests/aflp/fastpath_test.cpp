// The bit-parallel, threaded, streamed computations against the
// straightforward ones: every output file, the report and the sequence of
// progress steps and messages must be the same, byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "aflp/paircount.h"
#include "core/messages.h"
#include "core/runcontext.h"
#include "core/textio.h"
#include "../testutil.h"
#include "reference.h"

namespace lorvane {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  std::map<std::string, std::string> files;  // output extension -> content
  std::string report;
  std::vector<std::string> events;
};

class FastPath : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lorvane-fastpath-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    input_ = (dir_ / "bands.txt").string();
    settings_.threads = 3;  // more threads than blocks at times
    settings_.seed = 4242;
  }
  void TearDown() override { fs::remove_all(dir_); }
  void setrowblock(int rows) { settings_.rowblock = rows; }
  void setreplicatebatch(int count) { settings_.replicatebatch = count; }

  // n strains of m bands, about `density` present; every fifth strain (and
  // the first when `bandlessfirst`) without bands; codes 1 to 9 for present,
  // 0, blank, letters for absent; some lines end early.
  void writeinput(int n, int m, double density, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::string text = std::to_string(n) + " " + std::to_string(m) + "\n";
    for (int i = 1; i <= n; ++i) {
      char label[16];
      std::snprintf(label, sizeof label, "S%d", i);
      std::string name(label);
      name.resize(10, i % 3 == 0 ? '_' : ' ');
      std::string codes(static_cast<std::size_t>(m), '0');
      const bool bandless = i % 5 == 2;
      for (auto& c : codes) {
        if (!bandless && u(random) < density)
          c = static_cast<char>('1' + random() % 9);
        else
          c = "0 a-"[random() % 4];
      }
      if (i % 7 == 3 && m > 3) codes.resize(static_cast<std::size_t>(m) - 3);  // short line: absent
      text += name + codes + "\n";
    }
    FILE* f = std::fopen(input_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }

  template <class F>
  Outcome run(F compute) {
    Outcome result;
    const std::string reportpath = (dir_ / "report.txt").string();
    {
      CFile report(std::fopen(reportpath.c_str(), "wb"));
      test::RecordingWindowSystem ws(report);
      RunContext ctx{ws, report, settings_};
      try {
        compute(ctx);
      } catch (const ErrorStop& e) {
        ADD_FAILURE() << e.what();
      }
      result.events = ws.timeline;
    }
    readwhole(reportpath, result.report);
    fs::remove(reportpath);
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name == "bands.txt") continue;
      readwhole(entry.path().string(), result.files[name]);
      fs::remove(entry.path());
    }
    return result;
  }

  void comparesimple(int r, float k, int index, int jc, int package) {
    SCOPED_TRACE("simple r=" + std::to_string(r) + " K=" + std::to_string(k) + " index=" +
                 std::to_string(index) + " JC=" + std::to_string(jc) + " package=" + std::to_string(package));
    const Outcome expected = run([&](RunContext& ctx) { reference::calcdist(ctx, input_, r, k, index, jc, package); });
    const Outcome actual = run([&](RunContext& ctx) { test::compute(ctx, input_, {1, r, k, index, jc, package}); });
    compare(expected, actual);
  }

  void compareboot(int r, float k, int index, int repetitions) {
    SCOPED_TRACE("bootstrap r=" + std::to_string(r) + " K=" + std::to_string(k) + " index=" +
                 std::to_string(index) + " R=" + std::to_string(repetitions));
    const Outcome expected =
        run([&](RunContext& ctx) { reference::calcboot(ctx, input_, r, k, index, 0, repetitions); });
    const Outcome actual = run([&](RunContext& ctx) { test::compute(ctx, input_, {2, r, k, index, 0, repetitions}); });
    compare(expected, actual);
  }

  static void compare(const Outcome& expected, const Outcome& actual) {
    EXPECT_EQ(expected.report, actual.report);
    EXPECT_EQ(expected.events, actual.events);
    ASSERT_EQ(expected.files.size(), actual.files.size());
    for (const auto& [name, content] : expected.files) {
      const auto found = actual.files.find(name);
      ASSERT_NE(found, actual.files.end()) << name;
      EXPECT_TRUE(found->second == content) << name << " differs";
    }
  }

  fs::path dir_;
  std::string input_;
  ComputeSettings settings_;
};

TEST_F(FastPath, SimpleComputationMatchesOnEveryIndexAndForm) {
  struct Shape {
    int n, m, block;
  };
  // Bands around the word sizes, one strain, several row blocks, blocks
  // that do not divide the strains.
  for (const Shape s : {Shape{1, 1, 0}, Shape{2, 5, 0}, Shape{9, 64, 4}, Shape{13, 65, 8}, Shape{23, 130, 4},
                        Shape{41, 513, 12}}) {
    SCOPED_TRACE("n=" + std::to_string(s.n) + " m=" + std::to_string(s.m));
    writeinput(s.n, s.m, 0.3, static_cast<unsigned>(s.n * 1000 + s.m));
    setrowblock(s.block);
    for (int index : {1, 2, 3})
      for (float k : {0.0f, 0.3f, 1.0f, 2.0f}) comparesimple(1, k, index, 0, s.n % 2);
    for (int package : {0, 1}) {
      comparesimple(3, 1.0f, 2, 1, package);
      comparesimple(1, 0.3f, 2, 1, package);
      comparesimple(2, 2.0f, 1, 1, package);
      comparesimple(1, 1.0f, 7, 1, package);  // no output file, warnings only
    }
  }
}

TEST_F(FastPath, DenseAndSparseBandsGiveMessagesInLoopOrder) {
  // Sparse bands give many Dice distances of 0.75 or more: the messages of
  // the correction come in the pair loop's order across row blocks.
  writeinput(30, 200, 0.05, 7);
  setrowblock(4);
  comparesimple(1, 1.0f, 2, 1, 0);
  comparesimple(1, 1.0f, 2, 1, 1);
  writeinput(17, 70, 0.9, 8);
  comparesimple(4, 0.3f, 2, 1, 0);
}

TEST_F(FastPath, BootstrapMatchesWithTheSameSeed) {
  for (const auto& [n, m] : {std::pair{1, 3}, std::pair{6, 41}, std::pair{19, 130}, std::pair{33, 64}}) {
    SCOPED_TRACE("n=" + std::to_string(n) + " m=" + std::to_string(m));
    writeinput(n, m, 0.3, static_cast<unsigned>(n + m));
    setrowblock(n > 10 ? 8 : 0);
    for (float k : {0.0f, 0.3f, 1.0f, 2.0f}) {
      compareboot(1, k, 1, 3);
      compareboot(1, k, 2, 3);
    }
    setreplicatebatch(1);  // replicates one at a time, rows over the threads
    compareboot(1, 1.0f, 2, 3);
    setreplicatebatch(2);  // a last batch that is not full
    compareboot(1, 0.3f, 1, 5);
    setreplicatebatch(0);
    compareboot(3, 0.5f, 2, 2);
    compareboot(1, 1.0f, 2, 0);
  }
}

// Each kernel this processor runs against popcount pair by pair, with and
// without multiplicity planes, on rows that end inside a word.
TEST(PairKernels, EveryKernelCountsSharedBits) {
  std::mt19937_64 random(5);
  // 13, 29 and 37 strains: column panels in groups of 2, 3 + 1 and 3 + 2.
  for (int n : {13, 29, 37})
    for (long long m : {1LL, 63LL, 64LL, 200LL, 1031LL}) {
      BitMatrix x(n, m), planes(3, m);
      for (int i = 0; i < n; ++i)
        for (long long q = 0; q < m; ++q)
          if (random() % 3 == 0) x.set(i, q);
      for (int t = 0; t < 3; ++t)
        for (long long q = 0; q < m; ++q)
          if (random() % 2 == 0) planes.set(t, q);
      const std::vector<std::uint64_t> columns = transposecolumns(x);
      const int width = (n + 7) / 8 * 8;
      const std::size_t ld = static_cast<std::size_t>(width);
      for (const PairKernel& kernel : availablekernels())
        for (int nplanes : {0, 1, 3})
          for (bool panels : {false, true}) {
            if (panels && !kernel.countcolumns) continue;
            std::vector<std::int64_t> out(ld * ld, -1);
            if (panels)
              kernel.countcolumns(x.data(), x.stride(), x.words(), columns.data(), 0, x.paddedrows(), 0, width,
                                  planes.data(), nplanes, out.data(), ld);
            else
              kernel.count(x.data(), x.stride(), x.words(), 0, x.paddedrows(), 0, x.paddedrows(),
                           planes.data(), nplanes, out.data(), ld);
            for (int i = 0; i < n; ++i)
              for (int j = 0; j < n; ++j)
                ASSERT_EQ(out[static_cast<std::size_t>(i) * ld + static_cast<std::size_t>(j)],
                          sharedcount(x, i, j, nplanes ? &planes : nullptr, nplanes))
                    << kernel.name << " n=" << n << " m=" << m << " planes=" << nplanes << " panels=" << panels
                    << " i=" << i << " j=" << j;
          }
    }
}

}  // namespace
}  // namespace lorvane
