// The verbs of lorvane-cli against the command files they stand for, and
// the line between the verbs and the old command-line forms.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include <sys/stat.h>

#include <filesystem>

#include "testutil.h"

namespace lorvane {
namespace {

using test::exists;
using test::listfolder;
using test::readfile;
using test::TempDir;
using test::writefile;

struct Folder {
  TempDir dir;
  std::string bands = dir / "my bands.txt";
  Folder() {
    writefile(bands, "5 12\nAlpha     110100110011\nBeta      110110100011\nGamma     001011011100\n"
                     "Delta     111111000000\nEps       000000000000\n");
  }
  test::Run run(const std::string& args) { return test::runprogram(std::string(LORVANE_CLI) + " " + args, dir.path()); }
  // The outputs beside the input, by name, taken away for the next run.
  std::map<std::string, std::string> takeoutputs(const std::string& input = "my bands.txt") {
    std::map<std::string, std::string> files;
    for (const auto& name : listfolder(dir.path()))
      if (name.starts_with(input + ".")) {
        files[name] = readfile(dir / name);
        std::remove((dir / name).c_str());
      }
    return files;
  }
  // The report files made so far, joined, taken away.
  std::string takereports() {
    std::string all;
    const std::string data = dir / "xdg/lorvane";
    for (const auto& name : listfolder(data))
      if (name.starts_with("l-")) {
        all += readfile(data + "/" + name);
        std::remove((data + "/" + name).c_str());
      }
    return all;
  }
};

TEST(Verbs, GiveTheOutputsOfTheCommandFileTheyStandFor) {
  struct Case {
    const char* args;     // the verb, before the band file
    const char* block;    // the command-file block: option, count, answers (@ = the band file)
    std::vector<std::string> outputs;
  };
  const std::vector<Case> cases{
      {"distance --sites 6", "1\n6\n@\n6\n\n\n\n\n", {".matJ", ".matJP", ".nxy"}},
      {"distance --index dice --sites 4 --k 0.5 --jc", "1\n6\n@\n4\n0.5\n2\n1\n\n",
       {".matD", ".matDJC", ".matDP", ".nxy"}},
      {"distance --index=neili --sites=6 --k 2", "1\n6\n@\n6\n2\n3\n\n\n", {".matNL"}},
      {"distance --index 2 --sites 6 --binary --threads 1 --quiet", "1\n6\n@\n6\n\n2\n\n1\n",
       {".matD", ".matDP", ".nxy"}},
      {"bootstrap --sites 6 --replicates 4 --seed 5", "2\n6\n@\n6\n\n\n\n4\n", {".matJ"}},
      {"bootstrap --index dice --sites 4 --k 0.5 --replicates 3 --seed 5 --threads 1", "2\n6\n@\n4\n0.5\n2\n\n3\n",
       {".matD", ".matDJC"}},
      {"bootstrap-tree --index dice --sites 6 --replicates 4 --seed 5", "4\n7\n@\n6\n\n2\n\n4\n\n",
       {".cons.nwk", ".nwk", ".reps.nwk"}},
  };
  Folder f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    // The verb, with the band file named relative to the current folder.
    const auto verb = f.run(std::string(c.args) + " 'my bands.txt'");
    ASSERT_EQ(verb.status, 0) << verb.err;
    EXPECT_EQ(verb.err, "");
    const auto byverb = f.takeoutputs();
    const std::string verbreport = f.takereports();

    std::string block = c.block;
    block.replace(block.find('@'), 1, f.bands);
    writefile(f.dir / "runs.cmd", "runs\n" + block);
    ::setenv("LORVANE_SEED", "5", 1);
    const auto file = f.run("-f runs.cmd");
    ::unsetenv("LORVANE_SEED");
    ASSERT_EQ(file.status, 0) << file.err;
    const auto byfile = f.takeoutputs();
    const std::string filereport = f.takereports();

    std::vector<std::string> names;
    for (const auto& [name, content] : byverb) names.push_back(name.substr(std::string("my bands.txt").size()));
    EXPECT_EQ(names, c.outputs);
    EXPECT_TRUE(byverb == byfile);
    // The reports differ only in their banners' times.
    const auto tail = [](const std::string& r) { return r.substr(r.find("\r\n+-") + 4); };
    EXPECT_EQ(tail(verbreport), tail(filereport));
    if (c.block[0] == '2' || c.block[0] == '4') {
      EXPECT_TRUE(verbreport.ends_with("\r\nRandom number seed: 5\r\n")) << verbreport;
    }
  }
}

TEST(Verbs, PcoaAndMantelGiveTheFilesOfTheirCommandFiles) {
  const struct {
    const char* args;   // the verb, before its tables
    const char* block;  // the command-file block (@ = table t, # = table u)
    std::vector<std::string> outputs;
  } cases[] = {
      {"pcoa", "6\n3\n@\n\n\n", {".eig.csv", ".pcoa.csv"}},
      {"pcoa --axes 2 --correction=lingoes", "6\n3\n@\n2\n1\n", {".eig.csv", ".pcoa.csv"}},
      {"mantel", "7\n4\n@\n#\n\n\n", {".mantel.csv"}},
      {"mantel --permutations 49 --method spearman --threads 1", "7\n4\n@\n#\n49\n2\n", {".mantel.csv"}},
  };
  Folder f;
  const std::string t = f.dir / "t.csv", u = f.dir / "u.csv";
  writefile(t, ",A,B,C,D,E\nA,0,1,3,2,5\nB,1,0,4,1,2\nC,3,4,0,2,3\nD,2,1,2,0,1\nE,5,2,3,1,0\n");
  writefile(u, ",E,D,C,B,A\nE,0,2,1,4,4\nD,2,0,3,1,2\nC,1,3,0,5,2\nB,4,1,5,0,1\nA,4,2,2,1,0\n");
  ::setenv("LORVANE_SEED", "5", 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string args(c.args);
    const auto verb = f.run(args + " t.csv" + (args.starts_with("mantel") ? " u.csv" : ""));
    ASSERT_EQ(verb.status, 0) << verb.err;
    const auto byverb = f.takeoutputs("t.csv");
    std::string block = c.block;
    block.replace(block.find('@'), 1, t);
    if (const auto at = block.find('#'); at != std::string::npos) block.replace(at, 1, u);
    writefile(f.dir / "runs.cmd", "runs\n" + block);
    const auto file = f.run("-f runs.cmd");
    ASSERT_EQ(file.status, 0) << file.err;
    const auto byfile = f.takeoutputs("t.csv");
    std::vector<std::string> names;
    for (const auto& [name, content] : byverb) names.push_back(name.substr(5));
    EXPECT_EQ(names, c.outputs);
    EXPECT_TRUE(byverb == byfile);
  }
  ::unsetenv("LORVANE_SEED");
}

TEST(Verbs, OutputDirTakesTheOutputsWithTheirNames) {
  Folder f;
  ASSERT_EQ(f.run("distance --index dice --jc --sites 6 'my bands.txt'").status, 0);
  const auto beside = f.takeoutputs();
  f.takereports();
  ASSERT_EQ(::mkdir((f.dir / "out").c_str(), 0755), 0);
  for (const char* verb : {"distance --index dice --jc --sites 6", "convert", "tree --svg pic.svg",
                           "bootstrap-tree --sites 6 --replicates 3 --svg boot.svg", "pcoa --axes 2 --svg scatter.svg"}) {
    SCOPED_TRACE(verb);
    const bool bands = verb[0] == 'd' || verb[0] == 'b';
    const std::string input = bands ? "'my bands.txt'" : "'out/my bands.txt.matD'";
    const auto r = f.run(std::string(verb) + " --output-dir out " + input);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(f.takeoutputs().empty());  // nothing beside the input
    const std::string report = f.takereports();
    EXPECT_NE(report.find("Output file: " + f.dir.path() + "/out/my bands.txt."), std::string::npos) << report;
  }
  for (const auto& [name, content] : beside) EXPECT_EQ(readfile(f.dir / "out/" + name), content) << name;
  EXPECT_TRUE(exists(f.dir / "out/my bands.txt.matD.phy"));
  EXPECT_TRUE(exists(f.dir / "out/my bands.txt.matD.nwk"));
  EXPECT_TRUE(exists(f.dir / "pic.svg"));
  EXPECT_NE(readfile(f.dir / "boot.svg").find("Alpha"), std::string::npos);
  const auto scatter = test::svgtexts(f.dir / "scatter.svg");
  EXPECT_NE(std::find(scatter.begin(), scatter.end(), "Alpha"), scatter.end());
}

TEST(Verbs, UsageErrorsExit64NamingTheOption) {
  Folder f;
  const std::vector<std::pair<std::string, std::string>> cases{
      {"distance --index 7 --sites 6 x", "--index 7: expected jaccard, dice or neili"},
      {"bootstrap --index neili --sites 6 --replicates 2 x", "--index neili: expected jaccard or dice"},
      {"distance x --sites", "--sites needs a value"},
      {"distance --sites 0 x", "--sites 0: expected a whole number of 1 or more"},
      {"distance --k -1 --sites 6 x", "--k -1: expected a number of 0 or more"},
      {"distance --sites 6 --bogus x", "unknown option --bogus"},
      {"distance --sites 6 --jc=1 x", "--jc takes no value"},
      {"distance --sites 6 --threads 0 x", "--threads 0"},
      {"bootstrap --sites 6 --replicates 2 --seed 4294967296 x", "--seed 4294967296"},
      {"distance --sites 6 --seed 1 x", "unknown option --seed"},
      {"bootstrap --sites 6 x", "missing --replicates N"},
      {"distance --sites 6", "missing BANDFILE"},
      {"distance --sites 6 x y", "one BANDFILE only"},
      {"run a.cmd b.cmd", "one COMMANDFILE only"},
      {"distance --sites 6 --output-dir nowhere x", "--output-dir nowhere: not a folder"},
      {"tree --method xyz t", "--method xyz: expected nj or upgma"},
      {"convert --format nexus t", "--format nexus: expected phylip, phylip-lower or csv"},
      {"pcoa --correction 3 t", "--correction 3: expected none, lingoes or cailliez"},
      {"pcoa --axes 0 t", "--axes 0: expected a whole number of 1 or more"},
      {"mantel --permutations -1 a b", "--permutations -1: expected a whole number from 0 to 100000000"},
      {"mantel --method kendall a b", "--method kendall: expected pearson or spearman"},
      {"mantel --seed 1 a", "missing TABLEB"},
      {"mantel a b c", "TABLEA and TABLEB only, not \"c\""},
      {"mantel --permutations 300000000 a b", "--permutations 300000000: expected a whole number from 0 to 100000000"},
      {"bootstrap --sites 6 --replicates 99999999999 x", "--replicates 99999999999: expected a whole number from 1 to 2147483647"},
      {"tree --svg '' t", "--svg '': expected the path of a file"},
      {"tree --support '' t", "--support '': expected the path of a file"},
      {"tree --consensus t", "--consensus needs --support REPLICATES"},
      {"pcoa --color-by Pop t", "--color-by colours a picture: it needs --svg FILE"},
      {"tree --groups g.csv t", "--groups colours a picture: it needs --svg FILE"},
      {"pcoa ''", "TABLE '': expected the path of a file"},
      {"pcoa --axes 4 tables/three.csv", "--axes 4: expected a whole number from 1 to 3, the number of strains of"},
  };
  std::filesystem::create_directory(f.dir / "tables");
  writefile(f.dir / "tables/three.csv", ",A,B,C\nA,0,1,2\nB,1,0,3\nC,2,3,0\n");
  for (const auto& [args, message] : cases) {
    const auto r = f.run(args);
    EXPECT_EQ(r.status, 64) << args;
    EXPECT_NE(r.err.find("lorvane-cli " + args.substr(0, args.find(' ')) + ": " + message), std::string::npos)
        << args << "\n" << r.err;
  }
  EXPECT_TRUE(listfolder(f.dir.path()) == (std::vector<std::string>{"my bands.txt", "tables"}));
  EXPECT_TRUE(listfolder(f.dir / "tables") == (std::vector<std::string>{"three.csv"}));

  auto r = f.run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("lorvane-cli ")) << r.out;
  r = f.run("bootstrap --help");
  EXPECT_EQ(r.status, 0);
  for (const char* word : {"Usage: lorvane-cli bootstrap [options] BANDFILE", "--replicates N", "--seed S", "--threads N"})
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

TEST(Verbs, AreRecognisedOnlyFirstAndWithMoreToFollow) {
  Folder f;
  // A command file named like a verb still runs when nothing follows it.
  writefile(f.dir / "distance", "named\n1\n6\n" + f.bands + "\n6\n\n\n\n\n");
  auto r = f.run("distance");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(exists(f.bands + ".matJ"));
  f.takeoutputs();
  // Named after a switch, it is the old form too.
  r = f.run("-f distance");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(exists(f.bands + ".matJ"));
  f.takeoutputs();
  // With more after it, the first word is the verb.
  r = f.run("distance --index dice --sites 6 'my bands.txt'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(exists(f.bands + ".matD"));
  // And run runs a command file by any name.
  f.takeoutputs();
  r = f.run("run distance");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(exists(f.bands + ".matJ"));
  r = f.run("run nothing.cmd");
  EXPECT_EQ(r.status, 3);
}

TEST(Verbs, AFailedRunEndsWithStatusOneAndItsMessageInTheReport) {
  Folder f;
  const auto r = f.run("distance --sites 6 missing.txt");
  EXPECT_EQ(r.status, 1);
  const std::string message =
      "Error: can't open input file " + (f.dir / "missing.txt") + " (readbands): No such file or directory";
  EXPECT_EQ(r.err, message + "\n");
  EXPECT_NE(f.takereports().find("\r\n" + message + "\r\n"), std::string::npos);
}

// The fill colours of the circles of an SVG file.
std::set<std::string> circlefills(const std::string& svg) {
  std::set<std::string> fills;
  for (std::size_t at = 0; (at = svg.find("<circle", at)) != std::string::npos; ++at) {
    const std::size_t fill = svg.find("fill=\"", at) + 6;
    fills.insert(svg.substr(fill, svg.find('"', fill) - fill));
  }
  return fills;
}

TEST(Verbs, PicturesColourTheStrainsByTheGroupsOfALevelWithALegend) {
  Folder f;
  writefile(f.dir / "t.csv", ",A,B,C,D,E,F\nA,0,1,4,6,7,5\nB,1,0,3,6,6,5\nC,4,3,0,5,5,4\n"
                             "D,6,6,5,0,1,3\nE,7,6,5,1,0,3\nF,5,5,4,3,3,0\n");
  writefile(f.dir / "g.csv", "name,Region,Pop\nA,north,p1\nB,north,p1\nC,north,p2\nD,south,p3\nE,south,p3\nF,south,p4\n");
  writefile(f.dir / "b.csv", "name,Site\nAlpha,x\nBeta,y\nGamma,x\nDelta,z\nEps,y\n");
  const struct {
    std::string args;
    std::vector<std::string> legend;  // the level, then its groups
    std::size_t fills;                // of the scatter's points; 0 for a tree
  } cases[] = {
      {"pcoa --axes 2 --svg s.svg --groups g.csv --color-by Pop t.csv", {"Pop", "p1", "p2", "p3", "p4"}, 4},
      {"pcoa --axes 2 --svg s.svg --groups g.csv t.csv", {"Region", "north", "south"}, 2},
      {"tree --svg s.svg --groups g.csv --color-by Region t.csv", {"Region", "north", "south"}, 0},
      {"bootstrap-tree --sites 6 --replicates 2 --seed 1 --groups b.csv --color-by Site --svg s.svg 'my bands.txt'",
       {"Site", "x", "y", "z"}, 0},
  };
  for (const auto& c : cases) {
    const auto r = f.run(c.args);
    ASSERT_EQ(r.status, 0) << c.args << "\n" << r.err;
    const std::string svg = readfile(f.dir / "s.svg");
    const std::string legend = svg.substr(svg.find("<g class=\"groups\">"));
    for (const std::string& name : c.legend) EXPECT_NE(legend.find(">" + name + "<"), std::string::npos) << c.args << " " << name;
    if (c.fills) {
      EXPECT_EQ(circlefills(svg).size(), c.fills) << c.args;
    }
  }
  const auto r = f.run("pcoa --svg s.svg --groups g.csv --color-by Site t.csv");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("give no level \"Site\" (levels: Region, Pop)"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace lorvane
