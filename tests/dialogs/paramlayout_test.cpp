// Splitting parameter layouts, descriptors and label lines.
#include <gtest/gtest.h>

#include "dialogs/paramlayout.h"

namespace lorvane {
namespace {

TEST(SplitLayout, CountLimitsAndIncompleteText) {
  // Text past the n-th descriptor is ignored; a help line stays in the label.
  SplitLayout s = splitlayout("A\n[int,,]B\nhelp\n[text,,]C\n[new,,]", 2);
  EXPECT_EQ(s.found, 2);
  EXPECT_EQ(s.captions[2], "B");
  EXPECT_EQ(s.labels[2], "B\nhelp\n");
  EXPECT_TRUE(s.labels[3].empty());
  // Fewer pairs than asked for: only the complete ones count.
  EXPECT_EQ(splitlayout("A\n[int,,]B\n", 3).found, 1);
  // Only the first 1023 characters are read.
  EXPECT_EQ(splitlayout(std::string(1030, 'x') + "\n[int,,]", 1).found, 0);
}

TEST(SplitDescriptor, EmptyFieldsDoNotHoldTheirPlaceAndLongOnesAreCut) {
  const Descriptor d = splitdescriptor("int,,5");
  EXPECT_EQ(d.min, "5");
  EXPECT_EQ(d.max, "");
  const Descriptor cut = splitdescriptor("bin,abcdefghijkl,1234567890123");
  EXPECT_EQ(cut.min, "abcdefghi");
  EXPECT_EQ(cut.max, "123456789");
}

TEST(LabelLines, LinesAsThePromptShowsThem) {
  EXPECT_EQ(labellines("Title\n\nhelp\n"), (std::vector<std::string>{"Title", "", "help"}));
  // A last line without its line feed is shown as well.
  EXPECT_EQ(labellines("Title\nhelp"), (std::vector<std::string>{"Title", "help"}));
  const std::vector<std::string> cut = labellines(std::string(300, 'y') + "\nnext\n");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0].size(), 255u);
}

TEST(FilterText, LettersOfMinThatAreXDoNotDisturbThePlaceholders) {
  EXPECT_EQ(filtertext("text", "xlx"), "Files with xlx extension (*.xlx)|*.xlx|");
  EXPECT_EQ(filtertext("bin", "xx"), "Files with xx extension (*.*xx)|*.*xx|");
}

}  // namespace
}  // namespace lorvane
