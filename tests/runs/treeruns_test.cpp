// Options 3 to 5 through the option runner: trees with support, consensus
// and replicates, conversions, and the bootstrap tree against the tables of
// options 1 and 2.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "../testutil.h"
#include "../trees/treecheck.h"
#include "core/interrupt.h"
#include "core/messages.h"
#include "runs/treeruns.h"
#include "tables/distancetable.h"

namespace lorvane {
namespace {

using test::edgesof;
using test::Edges;
using test::errorstopof;
using test::expectsame;
using test::readfile;
using test::TempDir;
using test::writefile;
const std::string& kData = test::kTreeData;

struct Options : test::OptionRunner {
  std::string run(int option, const std::vector<std::string>& answers) {
    return OptionRunner::run(option, answers);
  }
};

TEST(TreeOptions, TreeWithSupportConsensusAndReplicatesAndNothingHalfWritten) {
  Options o;
  const std::string table = o.dir / "t.matD", reps = o.dir / "t.matD.reps";
  writefile(table, readfile(kData + "integers.matD"));
  writefile(reps, readfile(kData + "integers.matD.reps"));
  const std::string report = o.run(3, {table, "", reps, "1"});
  ASSERT_EQ(o.error, "");
  EXPECT_EQ(report,
            "Lorvane: Reading distance table\r\nInput file: " + table +
                "\r\n--- Format: triangle text, number of rows: 12, columns: 12\r\nLorvane: Building tree\r\n"
                "Method = neighbor-joining\r\nReplicate file: " + reps + "\r\n--- Replicate tables: 20\r\nOutput file: " + table +
                ".nwk\r\nOutput file: " + table + ".cons.nwk\r\nOutput file: " + table + ".reps.nwk\r\n");
  expectsame(readfile(table + ".nwk"), readfile(kData + "integers.matD.nj.nwk"), false, "I1", 1e-8, "option 3");
  const std::string lines = readfile(table + ".reps.nwk");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 20);
  EXPECT_EQ(lines.find("\n"), lines.find(";\r\n") + 2);  // CR LF lines
  EXPECT_EQ(o.ws.progress.front(), "open Building trees");

  // A replicate file of other strains: an error naming it; the earlier outputs stay.
  writefile(reps, "2\nX         0.1\nY\n");
  const std::string before = readfile(table + ".nwk");
  o.run(3, {table, "2", reps, "1"});
  EXPECT_NE(o.error.find("replicate table 1 holds other strains"), std::string::npos) << o.error;
  EXPECT_EQ(readfile(table + ".nwk"), before);
  EXPECT_EQ(test::listfolder(o.dir.path()).size(), 6u);  // t.matD, reps, report and the three outputs

  // No replicates: the tree alone; an empty table answer runs nothing.
  std::remove((table + ".nwk").c_str());
  o.run(3, {table, "2"});
  EXPECT_NE(readfile(table + ".nwk").find("):"), std::string::npos);
  EXPECT_EQ(o.run(3, {""}), "");

  // A signal stops the run at its first step; nothing is written.
  std::remove((table + ".nwk").c_str());
  setinterrupt(SIGTERM);
  o.run(3, {table});
  setinterrupt(0);
  EXPECT_NE(o.error.find("interrupted"), std::string::npos) << o.error;
  EXPECT_FALSE(test::exists(table + ".nwk"));
}

TEST(TreeOptions, ConversionKeepsEveryTable) {
  Options o;
  const std::string reps = o.dir / "r.matD";
  writefile(reps, readfile(kData + "integers.matD.reps"));
  const auto tables = readtables(reps);
  using Writer = std::string (*)(const DistanceTable&);
  for (auto [format, extension, writer] : {std::tuple<const char*, const char*, Writer>{"1", ".phy", phylipsquare},
                                           {"2", ".lower.phy", phyliplower},
                                           {"3", ".csv", csvtable}}) {
    const std::string report = o.run(5, {reps, format});
    ASSERT_EQ(o.error, "");
    std::string expected;
    for (const auto& t : tables) expected += writer(t);
    std::string crlf;
    for (char ch : expected) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    EXPECT_EQ(readfile(reps + extension), crlf);
    EXPECT_NE(report.find("tables: 20, number of rows: 12"), std::string::npos) << report;
  }
}

// The same splits, the lengths within what the 3-decimal text tables change.
void expectsplits(const std::string& ours, const std::string& theirs, const std::string& what) {
  const Edges a = edgesof(ours, false, "S1"), b = edgesof(theirs, false, "S1");
  ASSERT_EQ(a.edges.size(), b.edges.size()) << what;
  for (const auto& [side, value] : b.edges) {
    auto it = a.edges.find(side);
    ASSERT_NE(it, a.edges.end()) << what << "\n" << ours << "\n" << theirs;
    EXPECT_NEAR(it->second.first, value.first, 2e-3) << what;
  }
}

std::vector<std::string> lines(const std::string& text) {  // without their ends
  std::vector<std::string> out;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    out.push_back(text.substr(at, end - at));
  return out;
}

// Option 4 in one step against options 1 and 2, then option 3 on their files.
TEST(TreeOptions, BootstrapTreeIsTheTreeOfTheTablesOfOptionsOneAndTwo) {
  Options o;
  // Three groups of three near strains.
  const std::string bands =
      "9 60\n"
      "S1        100101101010010110101001011010100101001010010000001001010111\n"
      "S2        101101111010010100001011110010100111001110010100000001010000\n"
      "S3        100101001010010100100001010010100101001000010100101001010010\n"
      "S4        010010100101001000010101100001000010101101001111010100101001\n"
      "S5        010011000101001010010100101001010010000101001010010100101001\n"
      "S6        011010101101001010010110101001010010110101101011010100101001\n"
      "S7        110010010010100111001010010100101001111010100111101010010100\n"
      "S8        101001010010100110011011010101101001010010000101001010010001\n"
      "S9        101001010010100011011010100101111101001010101111001000010100\n";
  const std::string input = o.dir / "bands.txt";
  const struct {
    const char* index;
    const char* jc;
    const char* simple;     // option 1's table of the index
    const char* replicate;  // option 2's table of the index, if it has one
  } cases[] = {{"1", "0", ".matJ", ".matJ"}, {"2", "1", ".matDJC", ".matDJC"}, {"3", "0", ".matNL", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.simple);
    for (const std::string& f : test::listfolder(o.dir.path())) std::remove((o.dir / f).c_str());
    writefile(input, bands);
    CFile none(std::fopen((o.dir / "r1").c_str(), "wb"));
    RunContext ctx{o.ws, none};
    ctx.settings.seed = 77;
    // Option 2 first, its file moved aside: options 1 and 2 share some names.
    const std::string reps = c.replicate ? input + c.replicate + ".reps" : "";
    if (c.replicate) {
      test::compute(ctx, input, {2, 4, 1.0f, std::stoi(c.index), 0, 6});
      std::rename((input + c.replicate).c_str(), reps.c_str());
    }
    test::compute(ctx, input, {1, 4, 1.0f, std::stoi(c.index), std::stoi(c.jc), 0});
    none.close();
    o.run(3, {input + c.simple, "", reps});
    ASSERT_EQ(o.error, "");
    // Replicates side by side (two batches on two threads) and one at a
    // time: the same files, byte for byte.
    o.settings.threads = 2;
    std::string sidebyside;
    for (const int batch : {4, 1}) {
      o.settings.seed = 77;
      o.settings.replicatebatch = batch;
      const std::string report = o.run(4, {input, "4", "", c.index, c.jc, "6"});
      ASSERT_EQ(o.error, "");
      EXPECT_TRUE(report.ends_with("Output file: " + input + ".reps.nwk\r\nRandom number seed: 77\r\n")) << report;
      if (batch == 4)
        sidebyside = readfile(input + ".reps.nwk") + readfile(input + ".cons.nwk");
      else
        EXPECT_EQ(readfile(input + ".reps.nwk") + readfile(input + ".cons.nwk"), sidebyside);
    }
    expectsplits(readfile(input + ".nwk"), readfile(input + c.simple + ".nwk"), "reference");
    EXPECT_EQ(lines(readfile(input + ".reps.nwk")).size(), 6u);
    // The tables behind the trees: option 1's, then option 2's one by one (to their 3 decimals).
    std::vector<DistanceTable> theirs = readtables(input + c.simple);
    if (c.replicate) {
      const auto replicates = readtables(reps);
      theirs.insert(theirs.end(), replicates.begin(), replicates.end());
    }
    BootTreeRequest request;
    request.path = input, request.sites = 4, request.index = static_cast<DistanceIndex>(std::stoi(c.index));
    request.jukescantor = c.jc[0] == '1', request.replicates = 6;
    CFile quiet(std::fopen((o.dir / "r2").c_str(), "wb"));
    RunContext again{o.ws, quiet, o.settings};
    boottables(again, request, [&](int k, DistanceTable& t) {
      if (static_cast<std::size_t>(k) >= theirs.size()) return;
      const DistanceTable& file = theirs[static_cast<std::size_t>(k)];
      ASSERT_EQ(t.names, file.names);
      for (std::size_t p = 0; p < t.lower.size(); ++p) ASSERT_NEAR(t.lower[p], file.lower[p], 5e-4) << k;
    });
  }

  // A Jukes-Cantor correction of 0.75 or more: an error naming the pair, nothing written.
  for (const std::string& f : test::listfolder(o.dir.path())) std::remove((o.dir / f).c_str());
  writefile(input, "3 12\nA         110100101101\nB         001011010010\nC         111111111111\n");
  o.run(4, {input, "1", "", "2", "1", "3"});
  EXPECT_EQ(o.error, "Error: strains 1 (A) and 2 (B) have no finite distance (boottree)");
  EXPECT_EQ(test::listfolder(o.dir.path()).size(), 2u);  // the band file and the report
}

}  // namespace
}  // namespace lorvane
