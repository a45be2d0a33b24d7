// Splitting parameter specifications, descriptors and label lines.
#include <gtest/gtest.h>

#include "aflp/module.h"
#include "dialogs/paramspec.h"

namespace lorvane {
namespace {

TEST(SplitSpecification, ModuleSpecificationsGiveSixRows) {
  const SplitSpecification s = splitspec(kSimpleSpecification, 6);
  EXPECT_EQ(s.found, 6);
  EXPECT_EQ(s.labels[1], "Input file\n");
  EXPECT_EQ(s.descriptors[1], "text,,");
  EXPECT_EQ(s.captions[4], "Index : Jaccard(1), Dice(2) or Nei&Li(3) ?");
  EXPECT_EQ(s.descriptors[6], "int,0,1");
  EXPECT_EQ(splitspec(kBootstrapSpecification, 6).captions[6], "Number of bootstrap repetitions : ");
}

TEST(SplitSpecification, CountAndMalformedText) {
  // Text past the n-th descriptor is ignored.
  SplitSpecification s = splitspec("A\n[int,,]B\nhelp\n[text,,]C\n[new,,]", 2);
  EXPECT_EQ(s.found, 2);
  EXPECT_EQ(s.captions[2], "B");
  EXPECT_EQ(s.labels[2], "B\nhelp\n");
  EXPECT_TRUE(s.labels[3].empty());
  // Fewer pairs than asked for: only the complete ones count.
  s = splitspec("A\n[int,,]B\n", 3);
  EXPECT_EQ(s.found, 1);
  EXPECT_TRUE(s.labels[2].empty());
  // Only the first 1023 characters are read.
  const std::string longlabel = std::string(1030, 'x') + "\n[int,,]";
  EXPECT_EQ(splitspec(longlabel, 1).found, 0);
}

TEST(SplitDescriptor, EmptyFieldsDoNotHoldTheirPlace) {
  Descriptor d = splitdescriptor("int,,5");
  EXPECT_EQ(d.type, "int");
  EXPECT_EQ(d.min, "5");
  EXPECT_EQ(d.max, "");
  d = splitdescriptor("text,,");
  EXPECT_EQ(d.type, "text");
  EXPECT_EQ(d.min, "");
  d = splitdescriptor("bin,abcdefghijkl,1234567890123");
  EXPECT_EQ(d.min, "abcdefghi");
  EXPECT_EQ(d.max, "123456789");
  EXPECT_EQ(setaction(splitdescriptor(" text,,").type), SetAction::None);
  EXPECT_EQ(setaction("Bin"), SetAction::None);
  EXPECT_EQ(setaction("selection"), SetAction::Prompt);
}

TEST(LabelLines, LinesAsThePromptShowsThem) {
  EXPECT_EQ(labellines("Length : \n"), std::vector<std::string>{"Length : "});
  EXPECT_EQ(labellines("Title\n\nhelp\n"), (std::vector<std::string>{"Title", "", "help"}));
  // A last line without its line feed is shown as well.
  EXPECT_EQ(labellines("Title\nhelp"), (std::vector<std::string>{"Title", "help"}));
  const std::vector<std::string> cut = labellines(std::string(300, 'y') + "\nnext\n");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0].size(), 255u);
  EXPECT_EQ(cut[1], "next");
}

TEST(FilterText, ConvertsToOnePair) {
  const auto pairs = filterpairs(filtertext("text", "tab"));
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].description, "Files with tab extension (*.tab)");
  EXPECT_EQ(pairs[0].pattern, "*.tab");
  // Letters of min that are themselves "x" do not disturb the placeholders.
  EXPECT_EQ(filtertext("text", "xlx"), "Files with xlx extension (*.xlx)|*.xlx|");
  EXPECT_EQ(filtertext("bin", "xx"), "Files with xx extension (*.*xx)|*.*xx|");
}

}  // namespace
}  // namespace lorvane
