// The progress bar of the command-line program.
#include "core/terminal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/textio.h"
#include "testutil.h"

namespace lorvane {
namespace {

TEST(TerminalProgress, BarShowsTitleStepsAndElapsedTime) {
  EXPECT_EQ(TerminalWindowSystem::barline("Computing distances", 0, 0, 0.0, 10),
            "Computing distances [..........] 0/0  0:00");
  EXPECT_EQ(TerminalWindowSystem::barline("Computing bootstraps", 1, 3, 75.9, 9),
            "Computing bootstraps [###......] 1/3  1:15");
  EXPECT_EQ(TerminalWindowSystem::barline("T", 7, 7, 3600.0, 4), "T [####] 7/7  60:00");

  // A message in the middle of the bar gets a line of its own, the bar comes
  // back after it, and closing ends the bar's line.
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    TerminalWindowSystem ws(out, 4);
    ws.progressOpen("Work");
    ws.progressStep(1, 2);
    ws.infoBox("note");
    ws.progressStep(2, 2);
    ws.progressClose();
  }
  std::fflush(out);
  std::rewind(out);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  EXPECT_NE(text.find("Work [##..] 1/2"), std::string::npos) << text;
  EXPECT_NE(text.find("Work [####] 2/2  0:00\n"), std::string::npos) << text;
  EXPECT_EQ(text.back(), '\n');
}

TEST(TerminalProgress, NothingOnStandardErrorWhenItIsNotATerminal) {
  test::TempDir dir;
  test::writefile(dir / "bands.txt", "3 4\nA         1010\nB         1100\nC         0111\n");
  test::writefile(dir / "run.cmd", "t\n1\n6\n" + (dir / "bands.txt") + "\n1\n\n2\n\n\n");
  const test::Run run = test::runprogram(LORVANE_CLI " -f run.cmd", dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(test::exists(dir / "bands.txt.matD"));
}

}  // namespace
}  // namespace lorvane
