// lorvane-cli against bad inputs and faults, one test per row of
// docs/bad-input.md: the message on standard error, the exit status, earlier
// outputs of the same names kept, and no scratch, temporary or partial file
// left behind.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/textio.h"
#include "frame/startup.h"
#include "testutil.h"

namespace lorvane {
namespace {

namespace fs = std::filesystem;

const char* const kStrains =
    "6 24\n"
    "Ecoli-K12 110100101101001011010110\n"
    "Ecoli-B   110100101100001011010111\n"
    "Salm-LT2  100110101001101010010101\n"
    "Salm-Ty2  100110101001101010011101\n"
    "Kleb-pn   011011010110010101101010\n"
    "Shig-fl   110100101101001011000110\n";
const char* const kEarlier = "earlier result\r\n";
const char* const kOutputs[] = {".matJ", ".matJP", ".nxy"};

std::string strainlines(int count) {
  std::string s = kStrains;
  s = s.substr(s.find('\n') + 1);
  std::string lines;
  for (std::size_t at = 0; count-- > 0; at = s.find('\n', at) + 1) lines += s.substr(at, s.find('\n', at) - at + 1);
  return lines;
}

// A simple (Jaccard) and a bootstrap run on one input, as command-file blocks.
std::string simpleblock(const std::string& input) { return "1\n6\n" + input + "\n6\n\n1\n0\n0\n"; }
std::string bootblock(const std::string& input) { return "2\n6\n" + input + "\n6\n\n2\n1\n3\n"; }

class CliTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
  }

  static void put(const std::string& path, std::string_view content) { ASSERT_TRUE(writewhole(path, content)); }
  static std::string read(const std::string& path) {
    std::string s;
    readwhole(path, s);
    return s;
  }

  // lorvane-cli with the arguments, in the test folder (the user data
  // folder is the test folder's "xdg").
  test::Run cli(const std::string& args) {
    return test::runprogram(env + "LORVANE_SEED=7 '" LORVANE_CLI "' " + args, tmp.path());
  }
  // Run a command file of the given text, kept outside the data folders.
  test::Run run(const std::string& text) {
    put(dir + "run.cmd", text);
    test::Run r = cli("-f '" + dir + "run.cmd'");
    fs::remove(dir + "run.cmd");
    return r;
  }

  // Earlier results beside an input, as a finished run would have left them.
  static void earlier(const std::string& input) {
    for (const char* ext : kOutputs) put(input + ext, kEarlier);
    put(input + ".matD", kEarlier);
  }
  static void expectearlierkept(const std::string& input) {
    for (const char* ext : kOutputs) EXPECT_EQ(read(input + ext), kEarlier) << input + ext;
    EXPECT_EQ(read(input + ".matD"), kEarlier);
  }
  // No scratch copy, temporary report or output under its temporary name
  // anywhere under the test folder (the run's report file may stay).
  void expectclean() {
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      const std::string name = e.path().filename().string();
      EXPECT_FALSE(name.ends_with(".provi")) << e.path();
      EXPECT_FALSE(name.starts_with("VLK.temp-")) << e.path();
      EXPECT_FALSE(name.starts_with(".lv")) << "temporary output " << e.path();
      const auto dot = name.rfind('.');
      EXPECT_FALSE(dot != std::string::npos && name.size() - dot == 7 &&
                   (name.find(".mat") < dot || name.find(".nxy") < dot || name.find(".provi") < dot))
          << "temporary output " << e.path();
    }
  }

  // A private mount of the test process (and the programs it starts): a
  // tmpfs of the given size, or the folder made read-only. False when the
  // system does not allow it (not root, no namespaces).
  bool privatemounts() {
    static const bool ok = ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
  }
  bool mounttmpfs(const std::string& folder, const std::string& size) {
    fs::create_directories(folder);
    if (!privatemounts() || ::mount("tmpfs", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0) return false;
    mounts.push_back(folder);
    return true;
  }
  bool makereadonly(const std::string& folder) {
    if (!privatemounts() || ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    mounts.push_back(folder);
    return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }

  test::TempDir tmp;
  const std::string dir = tmp.path() + "/";
  std::vector<std::string> mounts;
  std::string env;  // assignments before the program's name
};

// ---- Band-pattern files: each is run by the simple and by the bootstrap
// computation, beside earlier results of both.

struct InputCase {
  const char* name;
  std::string content;
  const char* message;  // "%s" stands for the input path
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

std::string expand(const char* message, const std::string& path) {
  std::string m = message;
  if (const auto at = m.find("%s"); at != std::string::npos) m.replace(at, 2, path);
  return m;
}

const char* const kHeaderFault =
    "Error: the first line of %s must give the number of strains and the number of bands, both 1 or more "
    "(readbands)";
const char* const kTooMany = "Error: the first line of %s announces more than 999999 strains or bands (readbands)";

// A GenAlEx file of three samples in two populations, the last sample missing.
const char* const kGenAlEx = "3,3,2,2,1\nTitle,,,P1,P2\nId,Pop,L1,L2,L3\na,P1,1,0,1\nb,P1,0,-1,1\n";

class BadInputFile : public CliTest, public ::testing::WithParamInterface<InputCase> {};

TEST_P(BadInputFile, EndsTheRunWithItsMessageAndKeepsEarlierResults) {
  const InputCase& c = GetParam();
  const std::string input = dir + "strains.txt";
  put(input, c.content);
  earlier(input);
  for (const std::string& block : {simpleblock(input), bootblock(input)}) {
    const test::Run r = run("bad\n" + block);
    EXPECT_EQ(r.status, kExitRunFailed) << r.err;
    EXPECT_NE(r.err.find(expand(c.message, input) + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("stopped: a run ended with an error"), std::string::npos) << r.err;
    expectearlierkept(input);
    expectclean();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadInputFile,
    ::testing::Values(
        InputCase{"Empty", "", kHeaderFault},
        InputCase{"Binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0\xff\xfe", 20) + "\n", kHeaderFault},
        InputCase{"HeaderLetters", "six 24\n" + strainlines(6), kHeaderFault},
        InputCase{"HeaderOneCount", "6\n" + strainlines(6), kHeaderFault},
        InputCase{"NegativeStrains", "-6 24\n" + strainlines(6), kHeaderFault},
        InputCase{"ZeroStrains", "0 24\n" + strainlines(6), kHeaderFault},
        InputCase{"ZeroBands", "6 0\n" + strainlines(6), kHeaderFault},
        InputCase{"HugeStrains", "999999999 24\n" + strainlines(6), kTooMany},
        InputCase{"HugeBands", "6 999999999\n" + strainlines(6), kTooMany},
        InputCase{"CountsTheFileCannotHold", "90000 90000\n" + strainlines(1),
                  "Error: the first line of %s announces 90000 strains of 90000 bands, more than the file's 47 bytes "
                  "hold (readbands)"},
        InputCase{"NulInHeader", std::string("6\0 24\n", 6) + strainlines(6), kHeaderFault},
        InputCase{"MegabyteHeaderLine", std::string(1 << 20, '7') + " 24\n" + strainlines(6), kHeaderFault},
        InputCase{"FewerStrainLines", "8 24\n" + strainlines(6), "Error : End of file"},
        // The other formats: every fault names the file and its line.
        InputCase{"GenAlExScoreOfTwo", kGenAlEx + std::string("c,P2,1,2,0\n"),
                  "Error: %s, line 6: column 4: \"2\" is not a band score (1 present, 0 absent; ?, -1, -9, NA, . or "
                  "an empty cell for missing) (readbands)"},
        InputCase{"GenAlExCountsDisagree", "3,3,2,2,2\n" + std::string(kGenAlEx).substr(10) + "c,P2,1,1,0\n",
                  "Error: %s, line 1: the population sizes add up to 4, not the 3 samples (readbands)"},
        InputCase{"GenAlExFewerRows", kGenAlEx,
                  "Error: %s, line 5: the file ends after 2 samples where line 1 announces 3 (readbands)"},
        InputCase{"TableDuplicateName", "name,b1,b2\nA,1,0\nB,0,1\nA,1,1\n",
                  "Error: %s: strains 1 and 3 are both named \"A\"; every strain needs a name of its own (readbands)"},
        InputCase{"NexusWithoutMatrix", "#NEXUS\nBEGIN DATA;\nDIMENSIONS NTAX=2 NCHAR=3;\nFORMAT DATATYPE=STANDARD;\nEND;\n",
                  "Error: %s, line 5: the block that starts on line 2 ends without a MATRIX (readbands)"}),
    [](const ::testing::TestParamInfo<InputCase>& row) { return std::string(row.param.name); });

TEST_F(CliTest, MissingInputFolderOrFolderInPlaceOfFileIsReportedAsInput) {
  const std::string missing = dir + "none.txt", nofolder = dir + "nofolder/strains.txt", folder = dir + "folder";
  fs::create_directories(folder);
  earlier(missing);
  for (const std::string& input : {missing, nofolder, folder})
    for (const std::string& block : {simpleblock(input), bootblock(input)}) {
      const test::Run r = run("bad\n" + block);
      EXPECT_EQ(r.status, kExitRunFailed);
      const char* reason = input == folder ? "Is a directory" : "No such file or directory";
      EXPECT_NE(r.err.find("Error: can't open input file " + input + " (readbands): " + reason + "\n"),
                std::string::npos)
          << r.err;
    }
  expectearlierkept(missing);
  expectclean();
}

// Inputs the format reads in a defined way: the runs complete.
TEST_F(CliTest, MegabyteStrainLineAndNulBytesAreReadAsTheFormatSays) {
  // A line longer than a strain line is read in pieces, each the next strain's line.
  const std::string longline = dir + "long.txt";
  put(longline, "3 24\nLong      " + std::string(1 << 20, '1') + "\n" + strainlines(2));
  const std::string nul = dir + "nul.txt";
  put(nul, "2 24\n" + std::string("Ecoli\0K12 110100101101001011010110\n", 35) + strainlines(2).substr(35));
  const test::Run r = run("ok\n" + simpleblock(longline) + "----------\n" + simpleblock(nul));
  EXPECT_EQ(r.status, kExitWorkedThrough) << r.err;
  EXPECT_EQ(read(longline + ".matJ").substr(0, 3), "3\r\n");
  EXPECT_NE(read(longline + ".matJ").find("\r\n1111111111"), std::string::npos);
  // A NUL ends the strain name; its band codes read as absent.
  EXPECT_NE(read(nul + ".nxy").find("\r\nEcoli   13 "), std::string::npos) << read(nul + ".nxy");
  EXPECT_EQ(read(nul + ".nxy").find('\0'), std::string::npos);
  expectclean();
}

TEST_F(CliTest, NonAsciiPathWithBlanksWorks) {
  const std::string folder = dir + "St\xC3\xA4mme \xC3\xBC/";
  fs::create_directories(folder);
  const std::string input = folder + "st\xC3\xA9 1.txt";
  put(input, kStrains);
  const test::Run r = run("ok\n" + simpleblock(input));
  EXPECT_EQ(r.status, kExitWorkedThrough) << r.err;
  EXPECT_EQ(read(input + ".matJ").substr(0, 3), "6\r\n");
  expectclean();
}

// A command-file line holds at most 255 characters and the input path is cut
// there as well: a longer path cannot be named. Its line is read in pieces,
// so the answers slide and the run stops on the second answer.
TEST_F(CliTest, PathLongerThan255CharactersEndsTheRunAndWritesNothing) {
  const std::string folder = dir + std::string(120, 'a') + "/" + std::string(120, 'b') + "/";
  fs::create_directories(folder);
  const std::string input = folder + "strains.txt";
  ASSERT_GT(input.size(), 255u);
  put(input, kStrains);
  earlier(input);
  const test::Run r = run("long\n" + simpleblock(input));
  EXPECT_EQ(r.status, kExitRunFailed);
  EXPECT_NE(r.err.find("Error: the length of recognition sites must be 1 or more (calcdist)\n"), std::string::npos)
      << r.err;
  expectearlierkept(input);

  const test::Run f = cli("-f " + folder + "run.cmd");
  EXPECT_EQ(f.status, kExitCommandFileUnreadable);
  EXPECT_NE(f.err.find("Error: can't find command file " + (folder + "run.cmd").substr(0, 255) + " (runcommandfile)"),
            std::string::npos)
      << f.err;
  expectclean();
}

// ---- Output faults, on private mounts.

TEST_F(CliTest, ReadOnlyOutputFolderEndsTheRunAndKeepsEarlierResults) {
  const std::string folder = dir + "ro/";
  fs::create_directories(folder);
  const std::string input = folder + "strains.txt";
  put(input, kStrains);
  earlier(input);
  if (!makereadonly(folder)) GTEST_SKIP() << "no private read-only mount here (needs root)";
  // The distance's scratch copy is the first file it makes; the bootstrap makes none.
  for (const auto& [block, message] :
       {std::pair{simpleblock(input), "Error: can't open binary output file (ouvecr): " + dir + "ro"},
        std::pair{bootblock(input), "Error: can't open ascii output file (ouvecr): " + input + ".matDJC"}}) {
    const test::Run r = run("ro\n" + block);
    EXPECT_EQ(r.status, kExitRunFailed);
    EXPECT_NE(r.err.find(message + ": Read-only file system\n"), std::string::npos) << r.err;
    expectearlierkept(input);
  }
  // Read-only data with an output folder elsewhere: nothing is made beside it.
  fs::create_directories(dir + "out");
  for (const char* verb : {"distance --sites 6", "bootstrap-tree --sites 6 --replicates 3"}) {
    const test::Run r = cli(std::string(verb) + " --quiet --output-dir '" + dir + "out' '" + input + "'");
    EXPECT_EQ(r.status, 0) << verb << ": " << r.err;
  }
  expectclean();
}

// A full disk: with no room at all the scratch copy cannot be written; with
// room for the scratch copy only, the outputs cannot; with room for one
// output more, the second output fails and the first, though complete, does
// not replace its earlier file.
TEST_F(CliTest, DiskFullEndsTheRunAndKeepsEarlierResults) {
  const std::string folder = dir + "full/";
  if (!mounttmpfs(folder, "64k")) GTEST_SKIP() << "no private tmpfs here (needs root)";
  const std::string input = folder + "strains.txt";
  put(input, kStrains);
  earlier(input);
  struct statvfs fsinfo {};
  ASSERT_EQ(::statvfs(folder.c_str(), &fsinfo), 0);
  const std::size_t page = fsinfo.f_bsize;
  auto leave = [&](std::size_t room) {
    fs::remove(folder + "filler");
    ASSERT_EQ(::statvfs(folder.c_str(), &fsinfo), 0);
    put(folder + "filler", std::string(fsinfo.f_bavail * page - room, 'x'));
  };
  for (const std::size_t room : {std::size_t{0}, page, 2 * page}) {
    leave(room);
    const test::Run r = run("full\n" + simpleblock(input));
    EXPECT_EQ(r.status, kExitRunFailed);
    const std::string message = room == 0      ? "Error: can't write scalar (writescal): " + folder + ".lv"
                                : room == page ? "Error: can't write output file " + input + ".matJ (calcdist)"
                                               : "Error: can't write output file " + input + ".matJP (calcdist)";
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": No space left on device\n"), std::string::npos) << r.err;
    expectearlierkept(input);
    expectclean();
  }
  leave(page);
  const test::Run b = run("full\n" + bootblock(input));
  EXPECT_EQ(b.status, kExitRunFailed);
  EXPECT_NE(b.err.find("Error: can't write output file " + input), std::string::npos) << b.err;
  expectearlierkept(input);
  expectclean();
}

// ---- Command files: every format fault stops the file before the block
// that has it; nothing of that block is run or written.

struct CommandCase {
  const char* name;
  std::string text;  // "@" stands for the input path
  int status;
  const char* message;  // "%s" stands for the command file's path
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class BadCommandFile : public CliTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(BadCommandFile, StopsWithItsStatusAndMessage) {
  const CommandCase& c = GetParam();
  const std::string input = dir + "strains.txt";
  put(input, kStrains);
  earlier(input);
  std::string text = c.text;
  for (auto at = text.find('@'); at != std::string::npos; at = text.find('@')) text.replace(at, 1, input);
  const test::Run r = run(text);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_NE(r.err.find(expand(c.message, dir + "run.cmd")), std::string::npos) << r.err;
  expectearlierkept(input);
  expectclean();
}

const std::string kBlock = "1\n6\n@\n6\n\n1\n0\n0\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, BadCommandFile,
    ::testing::Values(
        CommandCase{"Empty", "", kExitCommandFileUnreadable, "Command file %s is empty: expected a name line"},
        CommandCase{"NameLineOnly", "name\n", kExitCommandFileStopped,
                    "Command file %s stopped at line 2: expected an option number"},
        CommandCase{"OptionNotANumber", "name\nabc\n6\n", kExitCommandFileStopped,
                    "stopped at line 2: expected an option number from 1 to 20, not \"abc\""},
        CommandCase{"OptionZero", "name\n0\n6\n", kExitCommandFileStopped, "not \"0\""},
        CommandCase{"OptionAbove20", "name\n21\n6\n", kExitCommandFileStopped, "not \"21\""},
        CommandCase{"OptionNegative", "name\n-1\n6\n", kExitCommandFileStopped, "not \"-1\""},
        CommandCase{"NoCountLine", "name\n1\n", kExitCommandFileStopped,
                    "stopped at line 3: expected the parameter count of option 1"},
        CommandCase{"WrongCount", "name\n1\n5\n@\n6\n\n1\n0\n", kExitCommandFileStopped,
                    "stopped at line 3: expected the parameter count 6 of option 1, not \"5\""},
        CommandCase{"TooFewAnswers", "name\n1\n6\n@\n6\n", kExitCommandFileStopped,
                    "stopped at line 6: expected answer 3 of 6 of option 1"},
        CommandCase{"FaultInSecondBlock", "name\n2\n6\n@\n6\n\n1\n0\n\n----------\n1\n7\n", kExitCommandFileStopped,
                    "stopped at line 12: expected the parameter count 6 of option 1, not \"7\""},
        CommandCase{"SeparatorWithTrailingBlankEndsTheFile", "name\n19\n0\n---------- \n" + kBlock,
                    kExitWorkedThrough, ""},
        CommandCase{"IndexZeroWritesNothingAndSaysSo", "name\n1\n6\n@\n6\n\n0\n0\n0\n", kExitWorkedThrough,
                    "Note: option 1: distance index \"0\" is not 1 (Jaccard), 2 (Dice) or 3 (Nei & Li); no distance "
                    "table was written\n"},
        CommandCase{"IndexFour", "name\n1\n6\n@\n6\n\n4\n0\n0\n", kExitWorkedThrough, "index \"4\" is not"},
        CommandCase{"IndexWord", "name\n1\n6\n@\n6\n\ndice\n0\n0\n", kExitWorkedThrough, "index \"dice\" is not"},
        CommandCase{"FailedRunStopsTheFile", "name\n1\n6\n@.none\n6\n\n1\n0\n0\n----------\n" + kBlock,
                    kExitRunFailed, "Command file %s stopped: a run ended with an error"}),
    [](const ::testing::TestParamInfo<CommandCase>& row) { return std::string(row.param.name); });

// Usage faults of the command line and the environment: status 64, the
// fault named on the first line, nothing run.
TEST_F(CliTest, UsageFaultsOfTheCommandLineAndTheEnvironmentRunNothing) {
  const std::string input = dir + "strains.txt";
  put(input, kStrains);
  earlier(input);
  put(dir + "run.cmd", "name\n" + simpleblock(input));
  // The environment, the arguments and the first line of standard error
  // ("=" after "Error: ": the value is no seed).
  const std::pair<std::string, std::string> rows[] = {
      {"", "-f"}, {"", "-d . -f"}, {"LORVANE_SEED=abc", "-f run.cmd"}, {"LORVANE_SEED=4294967296", "-f run.cmd"},
      {"LORVANE_SEED=12x", "run.cmd"}, {"LORVANE_SEED=-1", "distance --sites 6 strains.txt"}};
  for (const auto& [vars, args] : rows) {
    const test::Run r = test::runprogram(vars + " '" LORVANE_CLI "' " + args, tmp.path());
    EXPECT_EQ(r.status, kExitUsage) << args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
              vars.empty() ? "lorvane-cli -f: expected the path of a command file\n"
                          : "Error: " + vars + ": expected a whole number from 0 to 4294967295\n");
    expectearlierkept(input);
  }
  // A verb's own seed takes the place of the environment's.
  const test::Run r = test::runprogram(
      "LORVANE_SEED=abc '" LORVANE_CLI "' bootstrap --sites 6 --replicates 2 --seed 5 strains.txt", tmp.path());
  EXPECT_EQ(r.status, kExitWorkedThrough) << r.err;
  expectclean();
}

TEST_F(CliTest, MissingOrFolderCommandFileIsNotFound) {
  fs::create_directories(dir + "folder.cmd");
  for (const std::string& path : {dir + "none.cmd", dir + "folder.cmd"}) {
    const test::Run r = cli("-f '" + path + "'");
    EXPECT_EQ(r.status, kExitCommandFileUnreadable);
    EXPECT_EQ(r.err, "Error: can't find command file " + path + " (runcommandfile): " +
                         (path.ends_with("folder.cmd") ? "Is a directory\n" : "No such file or directory\n"));
  }
  expectclean();
}

// Faults after the last block: the blocks before have run and their results
// replaced the earlier ones.
TEST_F(CliTest, SeparatorAtTheEndRunsTheBlocksThenStops) {
  const std::string input = dir + "strains.txt";
  put(input, kStrains);
  earlier(input);
  std::string text = "name\n" + kBlock + "----------\n";
  text.replace(text.find('@'), 1, input);
  const test::Run r = run(text);
  EXPECT_EQ(r.status, kExitCommandFileStopped);
  EXPECT_NE(r.err.find("stopped at line 11: expected an option number"), std::string::npos) << r.err;
  EXPECT_EQ(read(input + ".matJ").substr(0, 3), "6\r\n");
  expectclean();
}

// ---- Names and folders: long names, report names taken, data folders that
// cannot be used, folders that cannot be written. Every case keeps the
// files it finds ("mine") and leaves no temporary file.

std::string clockstamp(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[16];
  std::strftime(text, sizeof text, "-%H-%M-%S", &tm);
  return text;
}

class NamesAndFolders;
struct FolderCase {
  const char* name;
  int status;
  // Makes the case's files and returns the command file's text; "" skips
  // the case (no private mounts here).
  std::function<std::string(NamesAndFolders&)> prepare;
  // The line standard error must hold, from its start.
  std::function<std::string(NamesAndFolders&)> message;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class NamesAndFolders : public CliTest, public ::testing::WithParamInterface<FolderCase> {
 public:
  using CliTest::dir, CliTest::env, CliTest::put, CliTest::read, CliTest::makereadonly, CliTest::mounttmpfs;
  std::string input, named;  // the input's path, and as the command file names it
  std::map<std::string, std::string> mine;
  std::string datafolder() const { return dir + "xdg/lorvane/"; }
  // An input of a long name, named without its folder in the command file
  // (a line holds 255 characters): runs take it from the default folder.
  std::string strains(std::size_t namebytes) {
    const std::string name = std::string(namebytes - 4, 's') + ".txt";
    input = datafolder() + name;
    named = name;
    fs::create_directories(datafolder());
    put(input, kStrains);
    return "names\n" + simpleblock(name);
  }
  void keep(const std::string& path, const std::string& content = "mine\r\n") {
    fs::create_directories(folderof(path));
    put(path, content);
    mine[path] = content;
  }
  // The reports a run in these seconds would be named after, and their
  // second names, taken already.
  void takereports(const std::string& name) {
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 1; t <= now + 20; ++t)
      for (const char* suffix : {".txt", "-2.txt"}) keep(datafolder() + "l-" + name + clockstamp(t) + suffix);
  }
};

TEST_P(NamesAndFolders, SayWhatFailedWithPathAndReasonAndLoseNothing) {
  const FolderCase& c = GetParam();
  const std::string text = c.prepare(*this);
  if (text.empty()) GTEST_SKIP() << "no private read-only mount here (needs root)";
  const test::Run r = run(text);
  EXPECT_EQ(r.status, c.status) << r.err;
  const std::string message = c.message(*this);
  if (!message.empty()) {
    EXPECT_NE(("\n" + r.err).find("\n" + message), std::string::npos) << r.err;
  }
  for (const auto& [path, content] : mine) EXPECT_EQ(read(path), content) << path;
  // No folder file dropped where the program was started or beside the command file.
  EXPECT_FALSE(test::exists(dir + "VELKPREF.txt"));
  expectclean();
}

// A report name of the clash case: "l-clash-HH-MM-SS-3.txt" with its note.
std::string clashreport(const std::string& folder) {
  for (const auto& name : test::listfolder(folder))
    if (name.starts_with("l-clash-") && name.ends_with("-3.txt")) return name;
  return "";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NamesAndFolders,
    ::testing::Values(
        FolderCase{"InputName249Bytes", kExitWorkedThrough, [](NamesAndFolders& f) { return f.strains(249); },
                   [](NamesAndFolders& f) {
                     EXPECT_EQ(f.read(f.input + ".matJP").substr(0, 3), "6\r\n");
                     return std::string();
                   }},
        // The outputs' own names go past 255 bytes. (A name of 255 bytes cannot
        // be given: a command-file line of 255 characters reads as two lines.)
        FolderCase{"InputName254Bytes", kExitRunFailed, [](NamesAndFolders& f) { return f.strains(254); },
                   [](NamesAndFolders& f) {
                     return "Error: can't write output file " + f.named + ".matJ (calcdist): File name too long\n";
                   }},
        FolderCase{"ReportNameTakenTwice", kExitWorkedThrough,
                   [](NamesAndFolders& f) {
                     f.takereports("clash");
                     f.keep(f.dir + "strains.txt", kStrains);
                     return "clash\n" + simpleblock(f.dir + "strains.txt");
                   },
                   [](NamesAndFolders& f) {
                     const std::string name = clashreport(f.datafolder());
                     const std::string report = f.read(f.datafolder() + name);
                     EXPECT_EQ(report.substr(0, report.find('\n') + 1),
                               "Note: " + name.substr(0, name.size() - 6) + ".txt was taken; this report is " + name +
                                   "\r\n");
                     EXPECT_NE(report.find("Souche 6 : Shig-fl"), std::string::npos) << name;
                     return std::string();
                   }},
        FolderCase{"DataHomeIsAPlainFile", kExitWorkedThrough,
                   [](NamesAndFolders& f) {
                     f.keep(f.dir + "plain");
                     f.env = "XDG_DATA_HOME='" + f.dir + "plain' ";
                     f.keep(f.dir + "strains.txt", kStrains);
                     return "plain\n" + simpleblock(f.dir + "strains.txt");
                   },
                   [](NamesAndFolders& f) {
                     return "Warning: can't use the data folder " + f.dir +
                            "plain/lorvane (setupfiles): Not a directory; no folder file is read or written";
                   }},
        FolderCase{"DataHomeReadOnly", kExitWorkedThrough,
                   [](NamesAndFolders& f) {
                     fs::create_directories(f.dir + "ro");
                     f.env = "XDG_DATA_HOME='" + f.dir + "ro' ";
                     f.keep(f.dir + "strains.txt", kStrains);
                     return f.makereadonly(f.dir + "ro") ? "ro\n" + simpleblock(f.dir + "strains.txt") : "";
                   },
                   [](NamesAndFolders& f) {
                     return "Warning: can't use the data folder " + f.dir +
                            "ro/lorvane (setupfiles): Read-only file system; no folder file";
                   }},
        // The data folder is there but cannot be written: no report.
        FolderCase{"DataFolderReadOnly", kExitReportFailed,
                   [](NamesAndFolders& f) {
                     f.keep(f.datafolder() + "VELKPREF.txt", f.datafolder().substr(0, f.datafolder().size() - 1));
                     f.keep(f.dir + "strains.txt", kStrains);
                     return f.makereadonly(f.datafolder()) ? "ro\n" + simpleblock(f.dir + "strains.txt") : "";
                   },
                   [](NamesAndFolders& f) {
                     return "Warning: can't open temporary report file in " + f.dir + "xdg/lorvane" +
                            " (beginreport): Read-only file system\n";
                   }},
        FolderCase{"DataFolderFull", kExitReportFailed,
                   [](NamesAndFolders& f) {
                     if (!f.mounttmpfs(f.datafolder(), "64k")) return std::string();
                     f.keep(f.datafolder() + "VELKPREF.txt", f.datafolder().substr(0, f.datafolder().size() - 1));
                     f.keep(f.dir + "strains.txt", kStrains);
                     struct statvfs room {};
                     ::statvfs(f.datafolder().c_str(), &room);
                     f.put(f.datafolder() + "filler", std::string(room.f_bavail * room.f_bsize, 'x'));
                     return "full\n" + simpleblock(f.dir + "strains.txt");
                   },
                   [](NamesAndFolders& f) {
                     return "Warning: can't write temporary report file " + f.datafolder() + ".lv";
                   }}),
    [](const ::testing::TestParamInfo<FolderCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lorvane
