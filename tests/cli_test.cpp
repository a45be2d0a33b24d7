// lorvane-cli as a script would use it: exit statuses, messages and files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

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
      if (name.starts_with("l-") || name.starts_with(".lv")) r.push_back(name);
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
  for (const auto& name : c.reports()) EXPECT_FALSE(name.starts_with(".lv")) << name;
}

TEST(Cli, TextLeftAfterTheLastBlockIsNamedButChangesNothingElse) {
  Cli c;
  const std::string block = "1\n6\n" + c.bands + "\n4\n\n1\n\n\n";
  // Nine hyphens: taken as the extra line, so the block after it is never read.
  writefile(c.dir / "runs.cmd", "n\n" + block + "---------\n" + block);
  auto r = c.run("-f runs.cmd");
  EXPECT_EQ(r.status, 0);
  const std::string warning = "Warning: command file " + (c.dir / "runs.cmd") +
                              ": the text from line 11 on was not read (a separator line is exactly ten hyphens)";
  EXPECT_EQ(r.err, warning + "\n");
  const auto reports = c.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(readfile(c.data() + "/" + reports[0]).ends_with("\r\n" + warning + "\r\n"));
  ::unlink((c.data() + "/" + reports[0]).c_str());
  // Blank lines after the last block are no text.
  writefile(c.dir / "runs.cmd", "n\n" + block + "\n \n\n");
  r = c.run("-f runs.cmd");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(Cli, ErrorStopEndsWithStatusOneAndKeepsEarlierResults) {
  Cli c;
  writefile(c.bands + ".matJ", "earlier");
  writefile(c.dir / "runs.cmd", "n\n1\n6\n" + c.bands + "\n4\n\n1\n\n\n----------\n1\n6\n" + c.dir.path() +
                                    "/missing.txt\n4\n\n1\n\n\n");
  const auto r = c.run("-f runs.cmd");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: can't open input file " + (c.dir / "missing.txt") + " (readbands): No such file or directory\n"),
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
  // So did the message that ended it.
  EXPECT_TRUE(report.ends_with("\r\nError: can't open input file " + (c.dir / "missing.txt") + " (readbands): No such file or directory\r\n"));
}

TEST(Cli, ASignalStopsTheRunRemovingItsUnfinishedFiles) {
  // A bootstrap long enough to be caught running: 20 strains of 200,000
  // bands, a million replicates.
  Cli c;
  std::string bands = "20 200000\n";
  for (int i = 0; i < 20; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "S%-9d", i);
    bands.append(name);
    for (int k = 0; k < 200000; ++k) bands.push_back((k * 13 + i * 7) % 10 < 3 ? '1' : '0');
    bands.push_back('\n');
  }
  const std::string input = c.dir / "big.txt";
  writefile(input, bands);
  writefile(input + ".matD", "earlier");
  writefile(c.dir / "boot.cmd", "n\n2\n6\n" + input + "\n1\n\n2\n\n1000000\n");

  const std::string out = c.dir / "out.txt", err = c.dir / "err.txt";
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::execl(LORVANE_CLI, LORVANE_CLI, "-f", "boot.cmd", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Wait until the run writes its outputs (their temporary files exist).
  auto running = [&] {
    for (const auto& name : listfolder(c.dir.path()))
      if (name.starts_with(".lv")) return true;  // a temporary output or the scratch file
    return false;
  };
  const auto start = std::chrono::steady_clock::now();
  while (!running() && std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(running());
  // Past the scratch file of the input's reading: the outputs' temporaries.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(running());
  ::kill(pid, SIGINT);
  int raw = 0;
  pid_t ended = 0;
  const auto signalled = std::chrono::steady_clock::now();
  while ((ended = ::waitpid(pid, &raw, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - signalled < std::chrono::seconds(30))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (ended == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &raw, 0);
    FAIL() << "the run did not stop";
  }
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 128 + SIGINT);
  const std::string messages = readfile(err);
  EXPECT_NE(messages.find("Error: interrupted by signal " + std::to_string(SIGINT) + "\n"), std::string::npos)
      << messages;
  EXPECT_NE(messages.find("boot.cmd stopped: interrupted by signal"), std::string::npos) << messages;
  EXPECT_EQ(readfile(input + ".matD"), "earlier");
  EXPECT_EQ(listfolder(c.dir.path()),
            (std::vector<std::string>{"big.txt", "big.txt.matD", "boot.cmd", "err.txt", "my bands.txt", "out.txt", "xdg"}));
  // The report was finished: only the report file is left in the data folder.
  const auto reports = c.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].starts_with("l-n-"));
  EXPECT_NE(readfile(c.data() + "/" + reports[0]).find("Brisane: Computing bootstraps"), std::string::npos);
}

}  // namespace
}  // namespace lorvane
