// lorvane-cli as a script would use it: exit statuses, messages and files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <sstream>
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
  std::vector<int> started;
  Cli() { writefile(bands, "3 6\nAlpha     110100\nBeta      110110\nGamma     001011\n"); }
  // A program a failed test left running does not outlive it.
  ~Cli() {
    for (const int pid : started)
      if (::waitpid(pid, nullptr, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
  }
  test::Run run(const std::string& args) { return test::runprogram(std::string(LORVANE_CLI) + " " + args, dir.path()); }
  std::string data() { return dir / "xdg/lorvane"; }
  // lorvane-cli started in the background, its standard output and error
  // going to out.txt and err.txt in the test folder, or its error to `err`.
  int start(std::vector<std::string> args, int err = -1) {
    args.insert(args.begin(), LORVANE_CLI);
    const int o = ::open((dir / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = err >= 0 ? err : ::open((dir / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int pid = test::startprogram(args, dir.path(), o, e);
    started.push_back(pid);
    ::close(o);
    if (err < 0) ::close(e);
    return pid;
  }
  // Temporary files and temporary reports in a folder.
  std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> r;
    for (const auto& name : listfolder(folder))
      if (name.starts_with(".lv") || name.starts_with("VLK.temp-")) r.push_back(name);
    return r;
  }
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

  const int pid = c.start({"-f", "boot.cmd"});
  // Wait until the run writes its outputs (their temporary files).
  ASSERT_TRUE(test::waituntil([&] { return !c.leftovers(c.dir.path()).empty(); }, 30));
  ::kill(pid, SIGINT);
  ASSERT_EQ(test::waitprogram(pid, 30), 128 + SIGINT) << "the run did not stop on its own";
  const std::string messages = readfile(c.dir / "err.txt");
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

// Whether the process waits for a lock: "N: -> FLOCK ADVISORY WRITE pid ..."
// in /proc/locks.
bool waitsonlock(int pid) {
  std::istringstream lines(readfile("/proc/locks"));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    const std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (w.size() > 5 && w[1] == "->" && w[5] == std::to_string(pid)) return true;
  }
  return false;
}

// A FIFO input with no writer (the open blocks), or with a writer that
// sends nothing (the read of the header blocks).
TEST(Cli, AFirstSignalBreaksABlockingOpenOrReadOfAFifoInput) {
  for (const bool writer : {false, true})
  for (const bool table : {false, true}) {
    Cli c;
    const std::string fifo = c.dir / "fifo.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int held = writer ? ::open(fifo.c_str(), O_RDWR) : -1;
    const int pid = table ? c.start({"tree", "fifo.txt"}) : c.start({"distance", "--sites", "6", "fifo.txt"});
    // The run has begun its report; the input's open comes next.
    ASSERT_TRUE(test::waituntil([&] { return !c.reports().empty(); }, 30));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(pid, SIGTERM);
    EXPECT_EQ(test::waitprogram(pid, 20), 128 + SIGTERM) << writer;
    EXPECT_NE(readfile(c.dir / "err.txt").find("Error: interrupted by signal 15\n"), std::string::npos) << writer;
    EXPECT_EQ(c.leftovers(c.dir.path()), std::vector<std::string>{});
    if (held >= 0) ::close(held);
  }
}

// Long loops look for a stop asked for: a hundred million permutations, a
// million replicate trees; the run ends well within seconds, not at the
// loop's end, in memory that does not grow with the count.
TEST(Cli, LongLoopsStopSoonAfterASignal) {
  Cli c;
  writefile(c.dir / "t.csv", ",A,B,C,D\nA,0,1,2,3\nB,1,0,4,5\nC,2,4,0,6\nD,3,5,6,0\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"mantel", "--permutations", "100000000", "t.csv", "t.csv"},
        std::vector<std::string>{"bootstrap-tree", "--sites", "6", "--replicates", "1000000", "my bands.txt"}}) {
    const int pid = c.start(args);
    ASSERT_TRUE(test::waituntil([&] { return !c.reports().empty(); }, 30));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(pid, SIGTERM);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(test::waitprogram(pid, 20), 128 + SIGTERM) << args[0];
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5)) << args[0];
    EXPECT_EQ(readfile(c.dir / "err.txt"), "Error: interrupted by signal 15\n") << args[0];
  }
}

// The run waits to place its files (the scratch copy of its input first)
// while another holds the output folder's lock: the first signal only asks
// it to stop there, the second ends it at once, with the temporary outputs,
// the scratch file and the temporary report removed and the earlier outputs
// whole.
TEST(Cli, ASecondSignalRemovesTheTemporaryFilesAndEndsAtOnce) {
  for (const auto& [first, second] : {std::pair{SIGTERM, SIGTERM}, std::pair{SIGINT, SIGHUP}}) {
    Cli c;
    const std::string out = c.dir / "out";
    ::mkdir(out.c_str(), 0755);
    const std::vector<std::string> outputs{"my bands.txt.matJ", "my bands.txt.matJP", "my bands.txt.nxy"};
    for (const auto& name : outputs) writefile(out + "/" + name, "earlier");
    const int lock = ::open(out.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const int pid = c.start({"distance", "--sites", "6", "--output-dir", "out", "my bands.txt"});
    ASSERT_TRUE(test::waituntil([&] { return waitsonlock(pid); }, 30));
    EXPECT_FALSE(c.leftovers(out).empty());
    ::kill(pid, first);
    EXPECT_FALSE(test::waituntil([&] { return ::waitpid(pid, nullptr, WNOHANG) != 0; }, 0.2)) << "ended at once";
    ::kill(pid, second);
    EXPECT_EQ(test::waitprogram(pid, 20), 128 + second);
    ::close(lock);
    for (const auto& name : outputs) EXPECT_EQ(readfile(out + "/" + name), "earlier") << name;
    EXPECT_EQ(listfolder(out), outputs);
    for (const std::string& folder : {c.dir.path(), c.data()}) EXPECT_EQ(c.leftovers(folder), std::vector<std::string>{});
  }
}

// Standard error a pipe nobody reads: the messages are lost, the run and
// its status are not.
TEST(Cli, AClosedPipeOnStandardErrorChangesNeitherTheRunNorItsStatus) {
  Cli c;
  // A warning on standard error, then status 0: nine hyphens end the file early.
  const std::string block = "1\n6\n" + c.bands + "\n4\n\n1\n\n\n";
  writefile(c.dir / "runs.cmd", "n\n" + block + "---------\n" + block);
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ::close(pipe[0]);
  const int pid = c.start({"-f", "runs.cmd"}, pipe[1]);
  ::close(pipe[1]);
  EXPECT_EQ(test::waitprogram(pid, 30), 0);
  EXPECT_TRUE(exists(c.bands + ".matJ"));
  EXPECT_EQ(c.leftovers(c.dir.path()), std::vector<std::string>{});
}

// Temporary files of a run that ended without removing them go when the next
// run makes its first temporary file in their folder; nothing else does.
TEST(Cli, ADeadRunsTemporaryFilesGoAtTheNextRunsStart) {
  Cli c;
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
  const std::string gone = ".lv" + std::to_string(dead), alive = ".lv" + std::to_string(::getpid());
  // Each name as a file, or (f) a folder or (l) a link.
  const std::vector<std::pair<std::string, bool>> rows = {
      {gone + "-Ab12Cd", false},   {alive + "-Ab12Cd", true}, {gone + "-Ab12C", true}, {gone + "-Ab12Cd.txt", true},
      {gone + "-Ab1_Cd", true},    {".lv0" + gone.substr(3) + "-Ab12Cd", true},      {gone + "-Fold0f", true},
      {gone + "-Link0l", true}};
  for (const auto& [name, stays] : rows) {
    const std::string path = c.dir / name;
    if (name.ends_with('f')) ::mkdir(path.c_str(), 0755);
    else if (name.ends_with('l')) ASSERT_EQ(::symlink("my bands.txt", path.c_str()), 0);
    else writefile(path, "x");
  }
  const auto r = c.run("distance --sites 6 'my bands.txt'");
  EXPECT_EQ(r.status, 0) << r.err;
  struct stat st {};
  for (const auto& [name, stays] : rows) EXPECT_EQ(::lstat((c.dir / name).c_str(), &st) == 0, stays) << name;
}

}  // namespace
}  // namespace lorvane
