// lorvane-cli as a script would use it: exit statuses, messages and files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "testutil.h"

namespace lorvane {
namespace {

using test::exists;
using test::listfolder;
using test::readfile;
using test::TempDir;
using test::writefile;

struct Cli {
  TempDir dir;
  std::string bands = dir / "my bands.txt";
  Cli() { writefile(bands, "3 6\nAlpha     110100\nBeta      110110\nGamma     001011\n"); }
  test::Run run(const std::string& args) { return test::runprogram(std::string(LORVANE_CLI) + " " + args, dir.path()); }
  std::string data() { return dir / "xdg/lorvane"; }
  std::vector<std::string> reports() {
    std::vector<std::string> r;
    for (const auto& name : listfolder(data()))
      if (name.starts_with("l-") || name.starts_with("VLK.temp-")) r.push_back(name);
    return r;
  }
};

TEST(Cli, WorkedThroughCommandFileExitsZeroWithOutputsAndReport) {
  Cli c;
  ::setenv("LORVANE_SEED", "7", 1);
  writefile(c.dir / "runs.cmd", "study\n1\n6\n" + c.bands + "\n4\n\n2\n1\n\n----------\n2\n6\n" + c.bands +
                                    "\n4\n0.5\n1\n\n10\n");
  const auto r = c.run("-f runs.cmd");
  ::unsetenv("LORVANE_SEED");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* ext : {".matD", ".matDP", ".nxy", ".matDJC", ".matJ"}) EXPECT_TRUE(exists(c.bands + ext)) << ext;
  const auto reports = c.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].starts_with("l-study-"));
  const std::string report = readfile(c.data() + "/" + reports[0]);
  EXPECT_NE(report.find("Brisane: Computing bootstraps\r\n"), std::string::npos);
  EXPECT_NE(report.find("Distance = Dice\r\n"), std::string::npos);
  EXPECT_FALSE(exists(c.bands + ".provi"));
}

TEST(Cli, BarePathWithBlanksIsTheWholeLine) {
  Cli c;
  writefile(c.dir / "my runs.cmd", "n\n1\n6\n" + c.bands + "\n4\n\n1\n\n\n");
  const auto r = c.run("my runs.cmd");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(exists(c.bands + ".matJ"));
}

TEST(Cli, FailuresHaveTheirOwnStatusAndSayWhy) {
  Cli c;
  auto r = c.run("");
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("Usage: lorvane-cli"), std::string::npos);

  r = c.run("-f none.cmd");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("can't find command file " + (c.dir / "none.cmd")), std::string::npos) << r.err;

  writefile(c.dir / "empty.cmd", "");
  r = c.run("-f empty.cmd");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("is empty"), std::string::npos) << r.err;

  writefile(c.dir / "stops.cmd", "n\n1\n5\n");
  r = c.run("-f stops.cmd");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("stopped at line 3: expected the parameter count 6 of option 1"), std::string::npos) << r.err;
  // The shutdown steps ran: no temporary report is left behind.
  for (const auto& name : c.reports()) EXPECT_FALSE(name.starts_with("VLK.temp-")) << name;
}

TEST(Cli, ErrorStopEndsWithStatusOneAndKeepsEarlierResults) {
  Cli c;
  writefile(c.bands + ".matJ", "earlier");
  writefile(c.dir / "runs.cmd", "n\n1\n6\n" + c.bands + "\n4\n\n1\n\n\n----------\n1\n6\n" + c.dir.path() +
                                    "/missing.txt\n4\n\n1\n\n\n");
  const auto r = c.run("-f runs.cmd");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: can't open input file " + (c.dir / "missing.txt") + " (readbands)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(readfile(c.bands + ".matJ"), "earlier");  // the first run completed and replaced it
  const auto reports = c.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].starts_with("l-n-"));
  const std::string report = readfile(c.data() + "/" + reports[0]);
  // The failed run's first line reached the report file too.
  const auto first = report.find("Lorvane: Reading input file");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(report.find("Lorvane: Reading input file", first + 1), std::string::npos);
}

}  // namespace
}  // namespace lorvane
