// Readers of files and texts that come from elsewhere: binary matrix files
// without their trailer or with counts the trailer cannot hold, and
// parameter layouts with unbalanced brackets.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "testutil.h"
#include "runs/catalogue.h"
#include "core/datafile.h"
#include "core/messages.h"
#include "core/textio.h"
#include "tables.h"
#include "dialogs/paramlayout.h"

namespace lorvane {
namespace {

namespace fs = std::filesystem;

class MatrixFile : public ::testing::Test {
 protected:
  static std::string errorof(const std::function<void()>& f) { return test::errorstopof(f); }
  test::TempDir temp;
  std::string dir = temp.path() + "/";
};

TEST_F(MatrixFile, WithoutTrailerGivesNoCountsAndAShortBodyFailsToRead) {
  const std::string path = dir + "m.bin";
  std::string body(24, '\0');
  for (int k = 0; k < 6; ++k) putfloat(&body[static_cast<std::size_t>(k) * 4], static_cast<float>(k + 1));
  ASSERT_TRUE(writewhole(path, body));
  int l = -1, c = -1;
  readdims(path, l, c);
  EXPECT_EQ(l, -1);
  EXPECT_EQ(c, -1);
  RealTable t = taballoc(2, 3);
  lecmat(t, path);
  EXPECT_EQ(t(2, 3), 6.0);
  RealTable bigger = taballoc(2, 4);
  EXPECT_EQ(errorof([&] { lecmat(bigger, path); }), "Error: can't read matrix (lecmat)");
}

TEST_F(MatrixFile, MoreRowsThanTheTrailerHoldsIsRefusedAndTheEarlierFileKept) {
  const std::string path = dir + "m.bin";
  ASSERT_TRUE(writewhole(path, "earlier"));
  const RealTable t = taballoc(1000000, 0);
  EXPECT_EQ(errorof([&] { ecrmat(t, path); }), "Error: more than 999999 rows or columns (ecrmat)");
  std::string content;
  ASSERT_TRUE(readwhole(path, content));
  EXPECT_EQ(content, "earlier");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(ParameterLayout, UnbalancedBracketsEndTheSplitAtTheFaultyPair) {
  // A descriptor that runs into the next label's "[".
  EXPECT_EQ(splitlayout("Input file\n[text,,Length\n[int,0,]", 2).found, 0);
  // A "]" inside a label.
  const SplitLayout s = splitlayout("Input file\n[text,,]Length]\n[int,0,]", 2);
  EXPECT_EQ(s.found, 1);
  EXPECT_EQ(s.descriptors[1], "text,,");
  EXPECT_TRUE(s.labels[2].empty() && s.descriptors[2].empty());
  // A descriptor without its "]", at the end of the text.
  EXPECT_EQ(splitlayout("Input file\n[text,,]Length\n[int,0,", 2).found, 1);
  for (const OptionDescription& d : catalogue().all()) EXPECT_EQ(splitlayout(d.layout(), d.count()).found, d.count());
}

}  // namespace
}  // namespace lorvane
