// Runs in shards: the generator's jump-ahead, the shares of a run, and the
// merge of shard files into the files of the whole run, byte for byte, or
// into nothing when the shards are not those of one run.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "../testutil.h"
#include "core/messages.h"
#include "aflp/random.h"
#include "shards/sha256.h"
#include "shards/shardfile.h"

namespace lorvane {
namespace {

TEST(Shards, JumpedGeneratorStatesAreSteppedOnes) {
  for (const std::uint32_t seed : {0u, 9u, 4294967295u})
    for (const std::uint64_t draws : {0ull, 1ull, 2ull, 7ull, 1000ull, 123457ull}) {
      Rng15 stepped(seed), jumped(seed);
      for (std::uint64_t k = 0; k < draws; ++k) stepped.next();
      jumped.skip(draws);
      EXPECT_EQ(jumped.state(), stepped.state()) << seed << " after " << draws;
    }
  // Past a period of 2^32 draws the state comes back.
  Rng15 wrapped(5);
  wrapped.skip(std::uint64_t{1} << 32);
  EXPECT_EQ(wrapped.state(), 5u);
}

TEST(Shards, RangesCoverTheRunInOrderTheFirstOnesOneLarger) {
  const struct {
    int total, count;
    std::vector<int> sizes;
  } cases[] = {{10, 3, {4, 3, 3}}, {1000, 7, {143, 143, 143, 143, 143, 143, 142}},
               {999, 4, {250, 250, 250, 249}}, {2, 4, {1, 1, 0, 0}}, {5, 1, {5}}};
  for (const auto& c : cases) {
    int next = 1;
    for (int i = 1; i <= c.count; ++i) {
      const ItemRange r = shardrange({i, c.count}, c.total);
      EXPECT_EQ(r.first, next) << c.total << " in " << c.count << ", shard " << i;
      EXPECT_EQ(r.count, c.sizes[static_cast<std::size_t>(i - 1)]);
      next = r.last() + 1;
    }
    EXPECT_EQ(next, c.total + 1);
  }
}

// The published examples, the padding's edge cases (55 and 64 bytes) and
// 200,003 bytes, against digests made with Python's hashlib; with the
// processor's SHA instructions (where it has them) and without.
TEST(Shards, Sha256OfKnownTextsAndOfAFile) {
  std::string bytes;
  for (int i = 0; i < 200003; ++i) bytes += static_cast<char>((i * 7 + 3) % 251);
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {bytes, "584fa6288b63e7581c58df87ee23741edce0fd3a851c3e008066370563474122"},
  };
  for (const bool accelerated : {true, false})
    for (const auto& [text, digest] : cases) {
      Sha256 h(accelerated);
      h.add(text.data(), text.size());
      EXPECT_EQ(h.hex(), digest) << text.size() << " bytes, accelerated " << accelerated;
    }
  test::TempDir dir;
  test::writefile(dir / "data", bytes);
  EXPECT_EQ(filesha256(dir / "data", "test"), cases[5].second);
}

// A shard file written and read back: its header and its blocks whole, one
// of them taken from an output not yet committed; then the faults that
// make a file no shard file or a damaged one.
TEST(Shards, AShardFileReadsBackAsWrittenAndItsFaultsAreNamed) {
  test::TempDir dir;
  ShardHeader h;
  h.kind = "bootstrap";
  h.inputs = {{sha256("x"), "my bands.txt"}, {sha256("y"), "b.txt"}};
  h.parameters = "index=2 sites=6";
  h.seed = 4294967295u;
  h.part = {3, 7};
  h.total = 10;
  h.range = shardrange(h.part, h.total);
  OutputFile part = OutputFile::open(dir / "part");
  part.text("5\nA\n");
  std::string binary(70000, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31 % 256);
  ShardWriter writer(h);
  writer.add("tally", binary);
  writer.add(".matD", part);
  writer.add("empty", "");
  writer.commit(dir / "s", "test");
  const ShardReader r(dir / "s");
  EXPECT_EQ(r.header().kind, "bootstrap");
  EXPECT_EQ(r.header().inputs, h.inputs);
  EXPECT_EQ(r.header().parameters, h.parameters);
  EXPECT_EQ(r.header().seed, h.seed);
  EXPECT_EQ(r.header().part.index, 3);
  EXPECT_EQ(r.header().part.count, 7);
  EXPECT_EQ(r.header().range.first, 5);
  EXPECT_EQ(r.header().range.count, 2);
  EXPECT_EQ(r.header().total, 10);
  EXPECT_EQ(r.blocks(), (std::vector<std::string>{"tally", ".matD", "empty"}));
  EXPECT_EQ(r.block(".matD"), "5\r\nA\r\n");
  EXPECT_EQ(r.block("tally"), binary);
  EXPECT_EQ(r.block("empty"), "");

  const std::string whole = test::readfile(dir / "s");
  const std::string head = whole.substr(0, whole.find("\r\n\r\n") + 4);
  const struct {
    std::string content, error;
  } faults[] = {
      {"5 12\nA         1100\n", dir / "f is not a shard file"},
      {"Lorvane shard 1\r\n" + whole.substr(whole.find('\n') + 1), dir / "f was written by another version"},
      {whole + "x", dir / "f is damaged"},
      {whole.substr(0, whole.size() - 1), dir / "f is damaged"},
      {head.substr(0, head.size() - 2), dir / "f is damaged"},
      {[&] {
         std::string s = whole;
         s.replace(s.find("shard: 3 of 7"), 13, "shard: 8 of 7");
         return s;
       }(),
       dir / "f is damaged"},
  };
  for (const auto& f : faults) {
    test::writefile(dir / "f", f.content);
    const std::string error = test::errorstopof([&] { ShardReader{dir / "f"}; });
    EXPECT_NE(error.find(f.error), std::string::npos) << error;
  }
}

// A band file of `strains` strains and `bands` bands, its bits drawn from `seed`.
std::string bandfile(int strains, int bands, std::uint32_t seed) {
  std::string text = std::to_string(strains) + " " + std::to_string(bands) + "\n";
  for (int i = 1; i <= strains; ++i) {
    const std::string name = std::string("S") + std::to_string(i);
    text += name + std::string(10 - name.size(), ' ');
    for (int b = 0; b < bands; ++b) {
      seed = seed * 1103515245u + 12345u;
      text += (seed >> 16) % 3 == 0 ? '1' : '0';
    }
    text += "\n";
  }
  return text;
}

struct ShardFolder {
  test::TempDir dir;
  ShardFolder() {
    test::writefile(dir / "bands.txt", bandfile(12, 90, 1));
    test::writefile(dir / "wide.txt", bandfile(3, 33000, 2));
    test::writefile(dir / "a.txt", bandfile(9, 60, 3));
    test::writefile(dir / "b.txt", bandfile(9, 60, 4));
    std::string groups = "name,Region,Pop\n";
    for (int i = 1; i <= 12; ++i)
      groups += "S" + std::to_string(i) + ",R" + std::to_string(i % 2) + ",P" + std::to_string(i % 4) + "\n";
    test::writefile(dir / "pops.csv", groups);
    EXPECT_EQ(cli("distance --sites 6 a.txt").status, 0);
    EXPECT_EQ(cli("distance --sites 6 b.txt").status, 0);
  }
  test::Run cli(const std::string& args) { return test::runprogram(std::string(LORVANE_CLI) + " " + args, dir.path()); }
  // The files of those extensions after `stem`, by extension, taken away.
  std::map<std::string, std::string> take(const std::string& stem, const std::vector<std::string>& extensions) {
    std::map<std::string, std::string> files;
    for (const std::string& e : extensions) {
      files[e] = test::exists(dir / (stem + e)) ? test::readfile(dir / (stem + e)) : "(none)";
      std::remove((dir / (stem + e)).c_str());
    }
    return files;
  }
};

std::string shardname(const std::string& stem, int index, int count, const std::string& verb) {
  return stem + ".shard-" + std::to_string(index) + "-of-" + std::to_string(count) + "." + verb;
}

TEST(ShardVerbs, MergedShardsAreTheFilesOfTheWholeRunByteForByte) {
  const struct {
    std::string verb, args, inputs;
    std::vector<int> counts;
    std::vector<std::string> outputs;
  } cases[] = {
      {"bootstrap", "--index dice --sites 6 --replicates 9 --seed 9", "bands.txt", {1, 7}, {".matD", ".matDJC"}},
      // Two values a column beyond 32,768 bands.
      {"bootstrap", "--sites 6 --replicates 4 --seed 11 --threads 1", "wide.txt", {3}, {".matJ"}},
      {"bootstrap-tree", "--index dice --jc --sites 6 --replicates 12 --seed 4", "bands.txt", {3},
       {".nwk", ".cons.nwk", ".reps.nwk"}},
      // Shards 6 and 7 have no replicate.
      {"bootstrap-tree", "--index neili --method upgma --sites 6 --replicates 5 --seed 4 --threads 1", "bands.txt",
       {7}, {".nwk", ".cons.nwk", ".reps.nwk"}},
      {"mantel", "--permutations 99 --seed 3", "a.txt.matJ b.txt.matJ", {4}, {".mantel.csv"}},
      {"mantel", "--method spearman --permutations 50 --seed 3 --threads 1", "a.txt.matJ b.txt.matJ", {3},
       {".mantel.csv"}},
      {"amova", "--groups pops.csv --levels Region,Pop --permutations 45 --seed 5", "bands.txt", {2, 4},
       {".amova.csv"}},
  };
  ShardFolder f;
  for (const auto& c : cases) {
    const std::string stem = c.inputs.substr(0, c.inputs.find(' '));
    const std::string run = c.verb + " " + c.args;
    ASSERT_EQ(f.cli(run + " " + c.inputs).status, 0) << run;
    const auto whole = f.take(stem, c.outputs);
    for (const int count : c.counts) {
      SCOPED_TRACE(run + " in " + std::to_string(count));
      std::string shards;
      for (int i = count; i >= 1; --i) {
        const test::Run r = f.cli(run + " --shard " + std::to_string(i) + "/" + std::to_string(count) + " " + c.inputs);
        ASSERT_EQ(r.status, 0) << r.err;
        shards.append(" ").append(shardname(stem, i, count, c.verb));
      }
      // A shard writes none of the run's files.
      for (const std::string& e : c.outputs) EXPECT_FALSE(test::exists(f.dir / (stem + e))) << e;
      const test::Run merged = f.cli("merge" + shards);
      ASSERT_EQ(merged.status, 0) << merged.err;
      EXPECT_EQ(f.take(stem, c.outputs), whole);
      for (int i = 1; i <= count; ++i) std::remove((f.dir / shardname(stem, i, count, c.verb)).c_str());
    }
  }
}

TEST(ShardVerbs, AMergeOfShardsNotOfOneRunEndsWithStatusOneAndWritesNothing) {
  ShardFolder f;
  const std::string run = "bootstrap --index dice --sites 6 --replicates 6 --seed 9 ";
  for (int i = 1; i <= 3; ++i) ASSERT_EQ(f.cli(run + "--shard " + std::to_string(i) + "/3 bands.txt").status, 0);
  ASSERT_EQ(test::runprogram("mkdir other changed && cp wide.txt changed/bands.txt", f.dir.path()).status, 0);
  ASSERT_EQ(f.cli(run + "--seed 8 --shard 2/3 --output-dir other bands.txt").status, 0);
  ASSERT_EQ(f.cli(run + "--shard 2/3 changed/bands.txt").status, 0);
  ASSERT_EQ(f.cli("mantel --seed 3 --shard 1/1 a.txt.matJ b.txt.matJ").status, 0);
  const std::string s1 = shardname("bands.txt", 1, 3, "bootstrap"), s2 = shardname("bands.txt", 2, 3, "bootstrap"),
                    s3 = shardname("bands.txt", 3, 3, "bootstrap");
  test::writefile(f.dir / "cut", test::readfile(f.dir / s3).substr(0, 400));
  const struct {
    std::string shards, message;
  } cases[] = {
      {s1 + " other/" + s2 + " " + s3, std::string("other/") + s2 + " is not a shard of the run of " + f.dir.path() + "/" + s1 +
                                           ": its seed is 8, not 9 (merge)"},
      {s1 + " changed/" + s2 + " " + s3, "its input file bands.txt has other content (merge)"},
      {s3 + " " + s1 + " " + s2 + " " + s1, "Error: shard 1 of 3 is given twice"},
      {s3 + " " + s1, "Error: shard 2 of 3 is missing (merge)"},
      {s1 + " " + s2 + " cut", "Error: the shard file " + f.dir.path() + "/cut is damaged (merge)"},
      {s1 + " bands.txt", "Error: " + f.dir.path() + "/bands.txt is not a shard file (merge)"},
      {s1 + " " + s2 + " a.txt.matJ.shard-1-of-1.mantel", "it is a shard of mantel, not of bootstrap (merge)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shards);
    const test::Run r = f.cli("merge " + c.shards);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(test::exists(f.dir / "bands.txt.matD"));
    EXPECT_FALSE(test::exists(f.dir / "bands.txt.matDJC"));
  }
}

TEST(ShardVerbs, ShardsNameTheirRangeAndAShardNeedsASeedAndAShareOfTheRun) {
  ShardFolder f;
  const std::string run = "bootstrap-tree --sites 6 --replicates 7 --seed 9 ";
  ASSERT_EQ(f.cli(run + "--shard 2/3 bands.txt").status, 0);
  ASSERT_EQ(f.cli(run + "--shard 3/3 bands.txt").status, 0);
  ASSERT_EQ(f.cli(run + "--shard 1/3 bands.txt").status, 0);
  ASSERT_EQ(test::runprogram("mkdir out", f.dir.path()).status, 0);
  const test::Run merged = f.cli("merge --output-dir out bands.txt.shard-*-of-3.bootstrap-tree");
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_TRUE(test::exists(f.dir / "out/bands.txt.nwk"));
  EXPECT_FALSE(test::exists(f.dir / "bands.txt.nwk"));
  std::string reports;
  for (const std::string& name : test::listfolder(f.dir / "xdg/lorvane"))
    if (name.starts_with("l-")) reports += test::readfile(f.dir / ("xdg/lorvane/" + name));
  for (const std::string& line :
       {"Shard 2 of 3: replicates 4 to 5 of 7\r\nShard file: " + f.dir / "bands.txt.shard-2-of-3.bootstrap-tree",
        std::string("Merge of shards"), "Shard file: " + f.dir / "bands.txt.shard-3-of-3.bootstrap-tree (replicates 6 to 7)",
        "Output file: " + f.dir / "out/bands.txt.nwk"})
    EXPECT_NE(reports.find(line), std::string::npos) << line;

  const struct {
    std::string args, error;
  } usage[] = {
      {"--shard 1/3", "--shard needs --seed"},
      {"--seed 1 --shard 0/3", "--shard 0/3: expected I/N"},
      {"--seed 1 --shard 4/3", "--shard 4/3: expected I/N"},
      {"--seed 1 --shard 3", "--shard 3: expected I/N"},
      {"--seed 1 --shard 1/x", "--shard 1/x: expected I/N"},
      {"--seed 1 --shard 1/2 --svg t.svg", "--svg and --shard"},
  };
  for (const auto& u : usage) {
    const test::Run r = f.cli("bootstrap-tree --sites 6 --replicates 6 " + u.args + " bands.txt");
    EXPECT_EQ(r.status, 64) << u.args;
    EXPECT_NE(r.err.find(u.error), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace lorvane
