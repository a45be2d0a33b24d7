// The frame: command line, options menu, answers, report files, banner and
// command files.
#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <climits>
#include <functional>
#include <limits>
#include <tuple>
#include <optional>

#include "../testutil.h"
#include "core/interrupt.h"
#include "aflp/pairtable.h"
#include "runs/catalogue.h"
#include "frame/cmdfile.h"
#include "frame/frame.h"
#include "frame/startup.h"

namespace lorvane {
namespace {

using test::exists;
using test::readfile;
using test::TempDir;
using test::writefile;

TEST(CommandLine, SwitchesAndTheWholeLineRule) {
  CommandLine a = parsecommandline("-o 2 -f runs.cmd -d /data -m");
  EXPECT_EQ(a.optiontoopen, 2);
  EXPECT_EQ(a.commandfile, "runs.cmd");
  EXPECT_EQ(a.basefolder, "/data");

  // A bare token makes the whole line the path; later switches are read too.
  CommandLine b = parsecommandline("my runs.cmd -o 1");
  EXPECT_EQ(b.commandfile, "my runs.cmd -o 1");
  EXPECT_EQ(b.optiontoopen, 1);

  CommandLine c = parsecommandline("-o x -f");  // missing value: ignored
  EXPECT_EQ(c.optiontoopen, 0);
  EXPECT_EQ(c.commandfile, "");
  EXPECT_EQ(parsecommandline("-o\t2").commandfile, "-o\t2");  // a tab does not split

  const char* argv[] = {"lorvane-cli", "-f", "a b.cmd"};
  EXPECT_EQ(commandlinetext(3, argv), "-f a b.cmd");

  // The data folder from the environment values the programs read.
  EXPECT_EQ(userdatafolder("/x/data", "/home/u"), "/x/data/lorvane");
  EXPECT_EQ(userdatafolder("relative", "/home/u"), "/home/u/.local/share/lorvane");
  EXPECT_EQ(userdatafolder(nullptr, "/home/u"), "/home/u/.local/share/lorvane");
}

TEST(OptionsMenu, SeparatorsUseUpAnOptionNumber) {
  HeadlessWindowSystem ws;
  Frame f(ws, "");
  f.buildoptionsmenu("A\n-\nB\n", 3);
  ASSERT_EQ(f.registry.optionsmenu.size(), 4u);
  EXPECT_TRUE(f.registry.optionsmenu[0].separator);
  EXPECT_EQ(f.registry.optionsmenu[1].text, "A");
  EXPECT_EQ(f.registry.optionsmenu[1].id, 1301);
  EXPECT_TRUE(f.registry.optionsmenu[2].separator);
  EXPECT_EQ(f.registry.optionsmenu[3].text, "B");
  EXPECT_EQ(f.registry.optionsmenu[3].id, 1303);

  test::RecordingWindowSystem rec;
  Frame g(rec, "");
  g.buildoptionsmenu(std::string(20, '\n'), 20);
  EXPECT_EQ(rec.errors, (std::vector<std::string>{"Error: Too many options in program"}));
  EXPECT_TRUE(rec.closing());
}

// Every answer goes through one conversion per kind, as command files
// always read them: leading numbers, K narrowed to single precision.
TEST(Answers, EachKindConvertsTheLeadingNumber) {
  EXPECT_EQ(answerreal("0.3"), 0.3f);
  EXPECT_EQ(answerreal("abc"), 0.0f);
  EXPECT_EQ(answerreal("1e300"), std::numeric_limits<float>::infinity());  // refused by the runs, never UB
  EXPECT_EQ(answerreal("-1e300"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(answerinteger("2x"), 2);
  EXPECT_EQ(answerinteger(" "), 0);  // a blank is not empty: it converts to 0
  EXPECT_EQ(answerinteger("99999999999"), INT_MAX);
  EXPECT_TRUE(answerflag(" 1"));
  EXPECT_FALSE(answerflag("2"));
  EXPECT_EQ(answerpath(std::string(300, 'p')).size(), 255u);
}

// The typed request of an option: empty answers keep their defaults, a
// required one keeps the option from running, a count outside its range
// stops it with its limits named.
TEST(Answers, RequestsTakeDefaultsRequiredAnswersAndCountLimits) {
  struct Probe {
    std::string path;
    int count = 999;
    float k = 1.0f;
    DistanceIndex index = DistanceIndex::Jaccard;
    bool flag = false;
    std::optional<int> axes;
  };
  std::optional<Probe> seen;
  const OptionDescription d = describe<Probe>(
      {.operation = "probe"},
      {bind(Parameter{.kind = ParameterKind::Path, .slot = 1, .required = true}, &Probe::path),
       bind(Parameter{.kind = ParameterKind::Count, .slot = 2, .minimum = 0, .maximum = 50, .noun = "the count"},
            &Probe::count),
       bind(Parameter{.kind = ParameterKind::Real, .slot = 3}, &Probe::k),
       bind(Parameter{.kind = ParameterKind::Choice, .slot = 4}, &Probe::index),
       bind(Parameter{.kind = ParameterKind::Flag, .slot = 5}, &Probe::flag),
       bind(Parameter{.kind = ParameterKind::Integer, .slot = 6}, &Probe::axes)},
      std::function<std::shared_ptr<const RunOutcome>(RunContext&, const Probe&)>(
          [&](RunContext&, const Probe& p) { return seen = p, std::make_shared<RunOutcome>(); }));
  test::RecordingWindowSystem ws;
  CFile none;
  RunContext ctx{ws, none};
  Answers a{};
  EXPECT_EQ(d.run(ctx, a), nullptr);
  a[1] = "in.txt";
  ASSERT_NE(d.run(ctx, a), nullptr);
  EXPECT_EQ(seen->count, 999);
  EXPECT_EQ(seen->k, 1.0f);
  EXPECT_FALSE(seen->axes);
  a = {"", "in.txt", "7", "0.3", "4", "1", "2"};
  d.run(ctx, a);
  EXPECT_EQ(std::tie(seen->count, seen->k, seen->flag, *seen->axes), std::tuple(7, 0.3f, true, 2));
  EXPECT_EQ(static_cast<int>(seen->index), 4);  // passed on: the run decides what an index out of the list does
  for (const auto& [answer, message] : {std::pair{"-1", "Error: the count must not be negative (probe)"},
                                        std::pair{"51", "Error: the count must be at most 50 (probe)"}}) {
    a[2] = answer;
    EXPECT_EQ(test::errorstopof([&] { d.run(ctx, a); }), message);
  }
}

// The parameter layouts the dialogs and command files have always known,
// made from the descriptions.
TEST(Answers, RegisteredLayoutsAreTheOptionsOwn) {
  const char* const layouts[] = {
      "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
      "Index : Jaccard(1), Dice(2) or Nei&Li(3) ?\n[int,1,3]Jukes-Cantor correction (yes = 1, default = no) ? "
      "\n[int,0,1]VELK outputs (yes = 1, default = no) ? \n[int,0,1]",
      "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
      "Index : Jaccard (1) or Dice (2) ?\n[int,1,2]Jukes-Cantor correction (yes = 1, default = no) ? "
      "\n[int,0,1]Number of bootstrap repetitions : \n[int,0,]",
      "Distance table\n[text,,]Method : neighbor-joining (1) or UPGMA (2) ?\n[int,1,2]"
      "Replicate tables (default = none)\n[text,,]Consensus tree (yes = 1, default = no) ? \n[int,0,1]",
      "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
      "Index : Jaccard(1), Dice(2) or Nei&Li(3) ?\n[int,1,3]Jukes-Cantor correction (yes = 1, default = no) ? "
      "\n[int,0,1]Number of bootstrap repetitions : \n[int,0,]Method : neighbor-joining (1) or UPGMA (2) ?\n[int,1,2]",
      "Distance table\n[text,,]Format : PHYLIP square (1), PHYLIP lower-triangular (2) or CSV (3) ?\n[int,1,3]",
      "Distance table\n[text,,]Number of axes (default = 3) ? \n[int,1,]"
      "Correction : none (0), Lingoes (1) or Cailliez (2) ?\n[int,0,2]",
      "Distance table A (of a file of several tables, the first)\n[text,,]"
      "Distance table B (of a file of several tables, the first)\n[text,,]"
      "Number of permutations (default = 999) : \n[int,0,]Correlation : Pearson (1) or Spearman (2) ?\n[int,1,2]",
      "Input file\n[text,,]",
      "Input file\n[text,,]Levels of the groups, top first (TOP or TOP,LOWER) : \n[text,,]"
      "Number of permutations (default = 999) : \n[int,0,]Clone correction by level (default = none) : \n[text,,]"
      "Distance : bands (1) or table (2) ?\n[int,1,2]The table holds squared distances (yes = 1) ? \n[int,0,1]"
      "Correction : none (0), Lingoes (1), Cailliez (2) or square root (3) ?\n[int,0,3]",
      "Input file\n[text,,]Level of the groups : \n[text,,]Number of permutations (default = 999) : \n[int,0,]"
      "Clone correction by level (default = none) : \n[text,,]",
  };
  test::RecordingWindowSystem ws;
  Frame f(ws, "");
  registermodule(f);
  EXPECT_EQ(f.registry.titles,
            "Simple computation\nBootstrap computation\nTree from a distance table\nBootstrap tree\n"
            "Convert a distance table\nPrincipal coordinates\nMantel test\nImport band data\nExport band data\n"
            "Multilocus genotypes\nAMOVA\nPairwise PhiPT\n");
  const int options[] = {1, 2, 3, 4, 5, 6, 7, 10, 11, 12};
  const int counts[] = {6, 6, 4, 7, 2, 3, 4, 1, 7, 4};
  for (std::size_t k = 0; k < std::size(options); ++k) {
    const auto option = static_cast<std::size_t>(options[k]);
    EXPECT_EQ(f.registry.layout[option], layouts[k]) << option;
    EXPECT_EQ(f.registry.paramcount[option], counts[k]) << option;
  }
}

// A frame with the module registered, in a scratch folder.
struct Registered {
  TempDir dir;
  test::RecordingWindowSystem ws;
  Frame frame{ws, dir.datafolder()};
  explicit Registered(std::time_t now = 0) {
    if (now) frame.files.clock = [now] { return now; };
    registermodule(frame);
  }
};

std::time_t localtimeof(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
  tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second, tm.tm_isdst = -1;
  return std::mktime(&tm);
}

TEST(RunFiles, FirstStartMakesThePreferenceFileInTheDataFolder) {
  Registered r(localtimeof(2026, 12, 7, 14, 5, 33));
  const std::string data = r.dir / "xdg/lorvane";
  EXPECT_EQ(readfile(data + "/VELKPREF.txt"), data);
  EXPECT_EQ(r.frame.files.defaultfolder(), data);
  EXPECT_EQ(currentfolder(), data);
  EXPECT_EQ(r.frame.files.reportpath(), data + "/l-Lorvane-14-05-33.txt");
  // The temporary report is made at the first run, under a unique name.
  EXPECT_EQ(r.frame.files.temporaryreportpath(), "");
  r.frame.beginreport();
  EXPECT_TRUE(r.frame.files.temporaryreportpath().starts_with(data + "/.lv"));
}

TEST(RunFiles, PointerFileOfTheBaseFolderNamesWhereThePreferenceLies) {
  TempDir dir;
  ::mkdir((dir / "base").c_str(), 0777);
  ::mkdir((dir / "prefs").c_str(), 0777);
  ::mkdir((dir / "work").c_str(), 0777);
  writefile(dir / "base/VELKDIRP.txt", dir / "prefs");
  writefile(dir / "prefs/VELKPREF.txt", dir / "work");
  HeadlessWindowSystem ws;
  Frame f(ws, dir.datafolder());
  f.files.setbasefolder(dir / "base");
  f.setupfiles("x");
  EXPECT_EQ(f.files.defaultfolder(), dir / "work");
  EXPECT_EQ(currentfolder(), dir / "work");

  // A preference ending in a line end cannot be made current: the folder stays.
  writefile(dir / "prefs/VELKPREF.txt", dir / "work\n");
  f.setupfiles("x");
  EXPECT_EQ(currentfolder(), dir / "prefs");
  EXPECT_EQ(f.files.defaultfolder(), dir / "work\n");
}

TEST(RunFiles, ChangeFolderWritesThePickedFilesFolderAndACancelChangesNothing) {
  test::RecordingWindowSystem ws;
  TempDir dir;
  ::mkdir((dir / "chosen").c_str(), 0777);
  Frame f(ws, dir.datafolder());
  f.setupfiles("x");
  const std::string preference = dir / "xdg/lorvane/VELKPREF.txt";
  const std::string before = readfile(preference);
  f.changefolder();
  EXPECT_EQ(readfile(preference), before);
  ws.answers = {dir / "chosen/any.txt"};
  f.changefolder();
  EXPECT_EQ(readfile(preference), dir / "chosen");
  EXPECT_EQ(f.dialogs.folder(), dir / "chosen");
  f.setupfiles("x");
  EXPECT_EQ(currentfolder(), dir / "chosen");
}

TEST(RunFiles, LongOrPathLikeNamesStayOneFileInTheDefaultFolder) {
  TempDir dir;
  HeadlessWindowSystem ws;
  Frame f(ws, dir.datafolder());
  f.setupfiles("../up/" + std::string(100, 'n'));
  const std::string name = f.files.reportpath().substr(f.files.reportpath().rfind('/') + 1);
  EXPECT_EQ(name, "l-.._up_" + std::string(73, 'n') + name.substr(name.size() - 13));
  EXPECT_EQ(f.files.reportpath().substr(0, f.files.reportpath().rfind('/')), dir / "xdg/lorvane");
}

TEST(Banner, ThirdLineIsAsWideAsTheFrame) {
  Registered r(localtimeof(2026, 12, 7, 14, 5, 0));
  r.frame.store.currentoption = 1;
  r.frame.beginreport();
  r.frame.store.currentoption = 2;
  r.frame.registry.optionsmenu[2].text = std::string(60, 'T');  // leaves no room for blanks
  r.frame.writebanner();
  r.frame.files.report().close();
  const std::string frameline = "+" + std::string(60, '-') + "+\r\n";
  const std::string second = "|" + std::string(60, ' ') + "|\r\n";
  EXPECT_EQ(readfile(r.frame.files.temporaryreportpath()),
            frameline + second + "| Quillmoor: Simple computation" + std::string(13, ' ') + "07/12/26  14/05  |\r\n" +
                frameline + frameline + second + "| Quillmoor: " + std::string(60, 'T') + "07/12/26  14/05  |\r\n" +
                frameline);
}

TEST(RunFiles, RefreshCopiesTheRunIntoTheReportAndShutdownRemovesTheTemporary) {
  Registered r;
  r.frame.store.currentoption = 2;
  r.frame.beginreport();
  r.frame.runoption(2);  // no answers: the option does nothing, its banner stays
  EXPECT_FALSE(exists(r.frame.files.reportpath()));
  r.frame.refreshreport();
  EXPECT_TRUE(r.frame.files.reportshown());
  EXPECT_NE(readfile(r.frame.files.reportpath()).find("Bootstrap computation"), std::string::npos);
  r.frame.shutdown();  // headless: the question is answered No
  EXPECT_FALSE(exists(r.frame.files.temporaryreportpath()));
  EXPECT_TRUE(exists(r.frame.files.reportpath()));
}

TEST(RunFiles, TheWindowIsToldWhereEachRunsLinesBegin) {
  Registered r;
  for (int run = 0; run < 3; ++run) {
    if (run == 2) r.frame.files.entercommandfilemode();
    r.frame.store.currentoption = 1;
    r.frame.beginreport();
    r.frame.refreshreport();
  }
  // Each run wrote its four banner lines; the command-file run is not shown.
  const std::string path = r.frame.files.reportpath();
  EXPECT_EQ(r.ws.reports, (std::vector<test::RecordingWindowSystem::ReportChange>{
                              {path, 0, true}, {path, 4, true}, {path, 8, false}}));
}

// Each refresh appends only the new lines; a report taken by another file
// gets the next name and a note; a report changed from outside is written
// again whole. Either way it holds what the temporary report holds.
TEST(RunFiles, TheReportHoldsTheTemporaryReportWhateverHappensToItsName) {
  const std::vector<std::string> outside{"", "removed", "cut", "grown"};
  for (const std::string& change : outside) {
    SCOPED_TRACE(change);
    Registered r(localtimeof(2026, 12, 7, 14, 5, 33));
    const std::string taken = r.frame.files.reportpath();
    writefile(taken, "another run's report\r\n");
    for (int run = 0; run < 3; ++run) {
      r.frame.store.currentoption = 1;
      r.frame.beginreport();
      if (run == 2 && change == "removed") ::unlink(r.frame.files.reportpath().c_str());
      if (run == 2 && change == "cut") writefile(r.frame.files.reportpath(), "");
      if (run == 2 && change == "grown") writefile(r.frame.files.reportpath(), readfile(r.frame.files.reportpath()) + "x");
      r.frame.refreshreport();
    }
    const std::string path = r.frame.files.reportpath();
    EXPECT_EQ(path, taken.substr(0, taken.size() - 4) + "-2.txt");
    EXPECT_EQ(readfile(taken), "another run's report\r\n");
    r.frame.files.report().close();
    EXPECT_EQ(readfile(path), "Note: l-Lorvane-14-05-33.txt was taken; this report is l-Lorvane-14-05-33-2.txt\r\n" +
                                  readfile(r.frame.files.temporaryreportpath()));
    EXPECT_EQ(r.ws.reports.front(), (test::RecordingWindowSystem::ReportChange{path, 1, true}));
    EXPECT_FALSE(r.frame.files.reportfailed());
  }
}

// Which pieces of the frame an operation may write: the others must come out
// as they went in.
TEST(FrameState, EachOperationWritesOnlyWhatItOwns) {
  struct State {
    std::vector<MenuEntry> menu;
    std::array<std::string, kMaxOptions + 1> layout;
    AnswerStore store;
    FileDialogRecord dialogs;
    std::string reportpath, basefolder;
    bool commandfilemode, helpmessages;
    explicit State(const Frame& f)
        : menu(f.registry.optionsmenu), layout(f.registry.layout), store(f.store), dialogs(f.dialogs),
          reportpath(f.files.reportpath()), basefolder(f.files.basefolder()),
          commandfilemode(f.files.commandfilemode()), helpmessages(f.files.helpmessages()) {}
  };
  struct Case {
    const char* name;
    std::function<void(Registered&)> operation;
    bool store, dialogs, files;  // may change
  };
  const std::vector<Case> cases{
      {"run and refresh", [](Registered& r) { r.frame.beginreport(), r.frame.refreshreport(); }, false, false, true},
      {"change folder",
       [](Registered& r) {
         r.ws.answers = {r.dir / "any.txt"};
         r.frame.changefolder();
       },
       false, true, false},
      {"command file",
       [](Registered& r) {
         writefile(r.dir / "x.cmd", "n\n3\n0\n");
         runcommandfile(r.frame, r.dir / "x.cmd");
       },
       true, false, true},
  };
  for (const Case& c : cases) {
    Registered r;
    r.frame.store.answers[1] = "kept";
    r.frame.dialogs.setfilename("/earlier/choice");
    const State before(r.frame);
    c.operation(r);
    const State after(r.frame);
    EXPECT_EQ(after.menu, before.menu) << c.name;
    EXPECT_EQ(after.layout, before.layout) << c.name;
    EXPECT_TRUE(c.store || after.store == before.store) << c.name;
    EXPECT_TRUE(c.dialogs || after.dialogs == before.dialogs) << c.name;
    EXPECT_TRUE(c.files || (after.reportpath == before.reportpath && after.basefolder == before.basefolder &&
                            after.commandfilemode == before.commandfilemode &&
                            after.helpmessages == before.helpmessages))
        << c.name;
  }
}

// Command files.
struct CommandFiles : Registered {
  std::string bands = dir / "bands.txt";
  CommandFiles() { writefile(bands, "2 4\nA         1100\nB         1110\n"); }
  CommandFileResult run(const std::string& text) {
    writefile(dir / "runs.cmd", text);
    return runcommandfile(frame, dir / "runs.cmd");
  }
  std::string block(int option, const std::string& sixth, const std::string& index = "1") {
    return std::to_string(option) + "\n6\n" + bands + "\n1\n\n" + index + "\n\n" + sixth + "\n";
  }
  std::string report() { return readfile(frame.files.reportpath()); }
};

TEST(CommandFile, RunsEveryBlockThenRemovesTheTemporaryReport) {
  CommandFiles c;
  const auto result = c.run("strains\r\n" + c.block(1, "", "1") + "----------\n" + c.block(1, "", "2"));
  EXPECT_EQ(result.status, CommandFileResult::Status::Completed);
  EXPECT_TRUE(exists(c.bands + ".matJ"));
  EXPECT_TRUE(exists(c.bands + ".matD"));
  EXPECT_TRUE(c.frame.files.commandfilemode());
  EXPECT_EQ(c.frame.files.basefolder(), c.dir.path() + "/");
  EXPECT_NE(c.frame.files.reportpath().find("/l-strains-"), std::string::npos);
  EXPECT_FALSE(exists(c.frame.files.temporaryreportpath()));
  const std::string report = c.report();
  EXPECT_NE(report.find("Distance = Jaccard"), std::string::npos);
  EXPECT_NE(report.find("Distance = Dice"), std::string::npos);
  EXPECT_TRUE(c.ws.infos.empty());
}

TEST(CommandFile, CrLfAndLfFilesGiveTheSameAnswersAndALastLineKeepsItsCharacters) {
  CommandFiles lf, crlf;
  std::string text = "n\n" + lf.block(1, "") + "extra";
  lf.run(text);
  std::string withcr;
  for (char ch : text) {
    if (ch == '\n') withcr += '\r';
    withcr += ch;
  }
  crlf.run(withcr);
  EXPECT_EQ(lf.frame.store.answers, crlf.frame.store.answers);
  lf.run("n\n1\n6\n" + lf.bands + "\n1\n\n1\n\nlast answer");
  EXPECT_EQ(lf.frame.store.answers[6], "last answer");
}

TEST(CommandFile, ExtraLineAfterTheAnswersAndTheSeparatorRule) {
  // Seven answer lines for six: the seventh is the extra line, then the separator.
  CommandFiles seven;
  auto r = seven.run("n\n" + seven.block(1, "") + "extra\n----------\n" + seven.block(1, "", "2"));
  EXPECT_EQ(r.status, CommandFileResult::Status::Completed);
  EXPECT_TRUE(exists(seven.bands + ".matD"));

  // Eight: the eighth is not the separator, so the first block is the last.
  CommandFiles eight;
  r = eight.run("n\n" + eight.block(1, "") + "extra\nmore\n----------\n" + eight.block(1, "", "2"));
  EXPECT_EQ(r.status, CommandFileResult::Status::Completed);
  EXPECT_TRUE(exists(eight.bands + ".matJ"));
  EXPECT_FALSE(exists(eight.bands + ".matD"));

  // A separator with a trailing blank is no separator.
  CommandFiles blank;
  blank.run("n\n" + blank.block(1, "") + "---------- \n" + blank.block(1, "", "2"));
  EXPECT_FALSE(exists(blank.bands + ".matD"));
}

TEST(CommandFile, FormatFaultsStopBeforeTheBlockAndSayWhere) {
  struct Case {
    std::string text;
    int line;
    const char* expected;
  };
  CommandFiles c;
  const std::string one = c.block(1, "");
  for (const Case& k : {Case{"n\n" + one + "----------\n", 11, "an option number"},
                        Case{"n\nabc\n6\n", 2, "an option number from 1 to 20, not \"abc\""},
                        Case{"n\n21\n6\n", 2, "an option number from 1 to 20"},
                        Case{"n\n1\n5\n", 3, "the parameter count 6 of option 1, not \"5\""},
                        Case{"n\n1\n", 3, "the parameter count of option 1"},
                        Case{"n\n1\n6\na\nb\n", 6, "answer 3 of 6 of option 1"}}) {
    CommandFiles f;
    const auto r = f.run(k.text);
    EXPECT_EQ(r.status, CommandFileResult::Status::Stopped) << k.text;
    EXPECT_EQ(r.line, k.line) << k.text;
    EXPECT_NE(r.problem.find(k.expected), std::string::npos) << r.problem;
    EXPECT_EQ(f.frame.store.currentoption, 0);
  }
  CommandFiles empty;
  EXPECT_EQ(empty.run("").status, CommandFileResult::Status::Empty);
  EXPECT_EQ(runcommandfile(empty.frame, empty.dir / "none.cmd").status, CommandFileResult::Status::CannotOpen);
}

TEST(CommandFile, OptionsWithoutARunWriteTheirBannerOnly) {
  // Option 19 (not offered) with count 0 passes the check; option 2 without repetitions runs nothing.
  CommandFiles c;
  const auto r = c.run("n\n19\n0\n----------\n" + c.block(2, "") + "----------\n" + c.block(1, ""));
  EXPECT_EQ(r.status, CommandFileResult::Status::Completed);
  const std::string report = c.report();
  EXPECT_NE(report.find("| Quillmoor: " + std::string(31, ' ')), std::string::npos);
  EXPECT_NE(report.find("| Quillmoor: Bootstrap computation"), std::string::npos);
  EXPECT_EQ(report.find("Brisane"), std::string::npos);
  EXPECT_NE(report.find("Distance = Jaccard"), std::string::npos);
}

TEST(CommandFile, AnErrorStopEndsTheRunAndTheFileKeepingTheReport) {
  CommandFiles c;
  writefile(c.bands + ".matJ", "earlier");
  const auto r = c.run("n\n1\n6\n" + c.bands + "\n0\n\n1\n\n\n----------\n" + c.block(1, "", "2"));
  EXPECT_EQ(r.status, CommandFileResult::Status::Failed);
  EXPECT_EQ(c.ws.errors, (std::vector<std::string>{"Error: the length of recognition sites must be 1 or more (calcdist)"}));
  EXPECT_TRUE(c.ws.closing());
  EXPECT_EQ(readfile(c.bands + ".matJ"), "earlier");
  EXPECT_FALSE(exists(c.bands + ".matD"));  // the next block never ran
  EXPECT_NE(c.report().find("Simple computation"), std::string::npos);
}

TEST(CommandFile, AStopAskedForBeginsNoFurtherRun) {
  CommandFiles c;
  setinterrupt(SIGTERM);
  const auto r = c.run("n\n" + c.block(1, ""));
  setinterrupt(0);
  EXPECT_EQ(r.status, CommandFileResult::Status::Interrupted);
  EXPECT_EQ(describe(r, "x.cmd"), "Command file x.cmd stopped: interrupted by signal " + std::to_string(SIGTERM));
  EXPECT_FALSE(exists(c.bands + ".matJ"));
  // Dropped files: none after the interrupted one runs.
  setinterrupt(SIGINT);
  writefile(c.dir / "a.cmd", "n\n" + c.block(1, ""));
  EXPECT_EQ(dropfiles(c.frame, {c.dir / "a.cmd", c.dir / "a.cmd"}).status, CommandFileResult::Status::Interrupted);
  setinterrupt(0);
  EXPECT_FALSE(exists(c.bands + ".matJ"));
}

TEST(CommandFile, DroppedFilesRunInOrderUntilOneIsWorkedThrough) {
  CommandFiles c;
  writefile(c.dir / "bad.cmd", "n\nxyz\n");
  writefile(c.dir / "good.cmd", "n\n" + c.block(1, ""));
  writefile(c.dir / "never.cmd", "n\n" + c.block(1, "", "2"));
  // A long path is taken whole: cut at 79 characters it would name another file.
  const std::string deep = c.dir / (std::string(80, 'd') + ".cmd");
  writefile(deep, "n\n" + c.block(1, "", "3"));
  writefile(deep.substr(0, 79), "n\n" + c.block(1, "", "2"));
  const auto r = dropfiles(c.frame, {c.dir / "bad.cmd", deep, c.dir / "good.cmd", c.dir / "never.cmd"});
  EXPECT_EQ(r.status, CommandFileResult::Status::Completed);
  EXPECT_TRUE(exists(c.bands + ".matNL"));
  EXPECT_FALSE(exists(c.bands + ".matJ"));
  EXPECT_FALSE(exists(c.bands + ".matD"));
}

}  // namespace
}  // namespace lorvane
