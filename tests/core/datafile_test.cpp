// Tables, binary matrix files and output files.
#include <gtest/gtest.h>

#include "../testutil.h"
#include "core/datafile.h"
#include "core/interrupt.h"
#include "core/messages.h"
#include "core/table.h"
#include "core/textio.h"
#include "../tables.h"
#include "aflp/rowbuffer.h"
#include "aflp/tablewriters.h"

#include <fcntl.h>
#include <unistd.h>
#include <stdio.h>

#include <cerrno>
#include <filesystem>

// The program's renames come here in this test program: when armed, call
// number `failat` (from 1) fails as a disk error would; the others move.
namespace renames {
int calls = 0, failat = 0;
}
extern "C" int rename(const char* from, const char* to) noexcept {
  if (renames::failat > 0 && ++renames::calls == renames::failat) {
    errno = EIO;
    return -1;
  }
  return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace lorvane {
namespace {

using test::readfile;
using test::TempDir;
using test::writefile;


TEST(Table, CarriesItsDimensionsAndStartsAtZero) {
  RealTable t = taballoc(3, 2);
  EXPECT_EQ(t.rows(), 3);
  EXPECT_EQ(t.cols(), 2);
  EXPECT_EQ(t(0, 0), 3.0);
  EXPECT_EQ(t(1, 0), 2.0);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 2; ++j) EXPECT_EQ(t(i, j), 0.0);
  RealTable none = taballoc(4, 0);
  EXPECT_EQ(none.rows(), 4);
  EXPECT_EQ(none.cols(), 0);
}

TEST(Table, MoreThanMemoryHoldsIsAMemoryErrorNotACrash) {
  EXPECT_EQ(test::errorstopof([] { taballoc(999999999, 999999999); }), "Error: insufficient memory (taballoc)");
  EXPECT_EQ(test::errorstopof([] { taballoc(-1, 3); }), "Error: insufficient memory (taballoc)");
}

TEST(BinaryMatrix, TwoByThreeTableIsTheDocumentedFortyTwoBytes) {
  TempDir dir;
  RealTable t = taballoc(2, 3);
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 3; ++j) t(i, j) = (i - 1) * 3 + j;
  ecrmat(t, dir / "m.bin");
  const std::string expected =
      std::string("\x00\x00\x80\x3F\x00\x00\x00\x40\x00\x00\x40\x40\x00\x00\x80\x40\x00\x00\xA0\x40\x00\x00\xC0\x40", 24) +
      "\r\n000002\r\n000003\r\n";
  EXPECT_EQ(readfile(dir / "m.bin"), expected);

  int l = 0, c = 0;
  readdims(dir / "m.bin", l, c);
  EXPECT_EQ(l, 2);
  EXPECT_EQ(c, 3);
  RealTable back = taballoc(2, 3);
  lecmat(back, dir / "m.bin");
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(back(i, j), t(i, j));
}

TEST(BinaryMatrix, ValuesAreSinglePrecisionAndEmptyTablesAreJustTheTrailer) {
  TempDir dir;
  RealTable t = taballoc(1, 1);
  t(1, 1) = 0.1;
  ecrmat(t, dir / "a");
  RealTable back = taballoc(1, 1);
  lecmat(back, dir / "a");
  EXPECT_EQ(back(1, 1), static_cast<double>(0.1f));
  EXPECT_NE(back(1, 1), 0.1);

  ecrmat(taballoc(5, 0), dir / "b");
  EXPECT_EQ(readfile(dir / "b"), "\r\n000005\r\n000000\r\n");
  int l = -1, c = -1;
  readdims(dir / "b", l, c);
  EXPECT_EQ(l, 5);
  EXPECT_EQ(c, 0);
}

TEST(BinaryMatrix, TrailerAppendedTwiceIsReadFromTheEnd) {
  TempDir dir;
  writefile(dir / "t", "");
  writedims(dir / "t", 1, 2);
  writedims(dir / "t", 7, 9);
  int l = 0, c = 0;
  readdims(dir / "t", l, c);
  EXPECT_EQ(l, 7);
  EXPECT_EQ(c, 9);
  l = 11, c = 12;
  readdims(dir / "missing", l, c);  // nothing to read: left as they were
  EXPECT_EQ(l, 11);
  EXPECT_EQ(c, 12);
}

TEST(BinaryMatrix, ReadingPastTheBodyFailsAndSmallerTablesTakeTheFirstValues) {
  TempDir dir;
  RealTable t = taballoc(2, 2);
  t(1, 1) = 1, t(1, 2) = 2, t(2, 1) = 3, t(2, 2) = 4;
  ecrmat(t, dir / "m");
  RealTable small = taballoc(1, 3);
  lecmat(small, dir / "m");
  EXPECT_EQ(small(1, 3), 3.0);
  RealTable big = taballoc(3, 3);
  EXPECT_EQ(test::errorstopof([&] { lecmat(big, dir / "m"); }), "Error: can't read matrix (lecmat)");
  EXPECT_EQ(test::errorstopof([&] { lecmat(big, dir / "none"); }),
            "Error: can't open binary input file (ouvlec): " + (dir / "none") + ": No such file or directory");
}

TEST(OpenModes, WrongLettersAndUnwritablePathsAreReported) {
  TempDir dir;
  EXPECT_EQ(test::errorstopof([&] { ouvecr(dir / "x", 'x'); }), "Error: wrong open mode (ouvecr)");
  EXPECT_EQ(test::errorstopof([&] { ouvlec(dir / "x", 'q'); }), "Error: wrong open mode (ouvlec)");
  const std::string nofolder = ": " + (dir / "no/such/file") + ": No such file or directory";
  EXPECT_EQ(test::errorstopof([&] { ouvecr(dir / "no/such/file", 'a'); }),
            "Error: can't open ascii output file (ouvecr)" + nofolder);
  EXPECT_EQ(test::errorstopof([&] { ouvecr(dir / "no/such/file", 'b'); }),
            "Error: can't open binary output file (ouvecr)" + nofolder);
}

TEST(OutputFile, AppearsOnlyWhenCompleteAndTextEndsInCrLf) {
  TempDir dir;
  writefile(dir / "out.txt", "earlier result");
  {
    OutputFile out = OutputFile::open(dir / "out.txt");
    out.print("%d\n", 42);
    // Until committed, the earlier file is what others see.
    EXPECT_EQ(readfile(dir / "out.txt"), "earlier result");
  }
  EXPECT_EQ(readfile(dir / "out.txt"), "earlier result");
  EXPECT_EQ(test::listfolder(dir.path()), (std::vector<std::string>{"out.txt"}));

  OutputFile out = OutputFile::open(dir / "out.txt");
  out.text("a\nb\n");
  ASSERT_TRUE(out.commit());
  EXPECT_EQ(readfile(dir / "out.txt"), "a\r\nb\r\n");
}

TEST(OutputSet, ReplacesEveryEarlierFileOrNone) {
  // Three outputs; some have an earlier file, and a folder may stand where one
  // output goes. A set that cannot be placed whole leaves every earlier file
  // as it was and nothing else behind.
  struct Case {
    const char* what;
    int folderat;            // the output whose name a folder takes, -1: none
    std::vector<bool> earlier;  // which outputs have an earlier file
    int failedmove = 0;      // the output (from 1) whose move into place fails, after the checks
  };
  const Case cases[] = {
      {"all replaceable", -1, {true, true, true}},
      {"some new, all replaceable", -1, {false, true, false}},
      {"the last is a folder", 2, {true, true, false}},
      {"the first is a folder", 0, {false, true, true}},
      {"the middle one is a folder", 1, {true, false, true}},
      {"the second move fails, the first is put back", -1, {true, true, false}, 2},
      {"the third move fails, two are put back or removed", -1, {false, true, true}, 3},
  };
  // Nor does it leave a path for a signal to remove.
  const int registered = registeredtemporaries();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string names[] = {"x.matD", "x.matDP", "x.matS"};
    const int failed = c.failedmove > 0 ? c.failedmove - 1 : c.folderat;
    std::vector<std::string> expected;
    for (int k = 0; k < 3; ++k) {
      if (k == c.folderat) std::filesystem::create_directory(dir / names[k]);
      else if (c.earlier[static_cast<std::size_t>(k)]) writefile(dir / names[k], "earlier " + names[k]);
      if (k == c.folderat || c.earlier[static_cast<std::size_t>(k)] || failed < 0) expected.push_back(names[k]);
    }
    std::sort(expected.begin(), expected.end());
    std::string stop;
    {
      OutputSet set;
      for (const auto& n : names) set.add(dir / n, 'b', "write " + n, "close " + n).file.text("new " + n);
      renames::calls = 0;
      renames::failat = c.failedmove;
      stop = test::errorstopof([&] { set.commit(); });
      renames::failat = 0;
    }
    const std::string reason = c.failedmove > 0 ? "Input/output error" : "Is a directory";
    EXPECT_EQ(stop, failed < 0 ? "" : "close " + names[failed] + ": " + (dir / names[failed]) + ": " + reason);
    for (int k = 0; k < 3; ++k) {
      if (k == c.folderat || (failed >= 0 && !c.earlier[static_cast<std::size_t>(k)])) continue;
      EXPECT_EQ(readfile(dir / names[k]), (failed < 0 ? "new " : "earlier ") + names[k]);
    }
    EXPECT_EQ(test::listfolder(dir.path()), expected);
    EXPECT_EQ(registeredtemporaries(), registered);
  }
}

TEST(OutputFile, GatheredRowsFollowBufferedTextWithTheirGapsOfBlanks) {
  // Rows as the distance tables write them: text, a gap of blanks that is
  // not stored, more text (and more gaps). 1,500 rows make more parts than one system write
  // takes; one gap is longer than the shared run of blanks.
  TempDir dir;
  std::vector<RowBuffer> rows(1500);
  std::string expected = "1500\r\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::size_t gap = r == 7 ? 200000 : r % 5;
    const std::string head = "row" + std::to_string(r), tail = r % 3 == 0 ? "" : "x\r\n";
    rows[r].append(head);
    rows[r].gap(gap);
    rows[r].append(tail);
    expected += head + std::string(gap, ' ') + tail;
    if (r % 4 == 1) {  // whole triangles hold a gap per row
      rows[r].gap(r);
      rows[r].append("|");
      expected += std::string(r, ' ') + "|";
    }
  }
  OutputFile out = OutputFile::open(dir / "rows.txt");
  out.print("%zu\n", rows.size());
  writerows(out, rows.data(), rows.size());
  out.bytes("end", 3);
  ASSERT_TRUE(out.commit());
  EXPECT_EQ(readfile(dir / "rows.txt"), expected + "end");
}

// A range of one file after buffered text of another: copied by the system
// into a file, through memory into a pipe (which the system copy refuses),
// and counted short when the input ends first.
TEST(OutputFile, CopiedRangesFollowBufferedTextIntoFilesAndPipes) {
  TempDir dir;
  std::string source;
  for (int i = 0; i < 30000; ++i) source += static_cast<char>('a' + i % 26);
  writefile(dir / "source", source);
  const int in = ::open((dir / "source").c_str(), O_RDONLY);
  ASSERT_GE(in, 0);
  CFile file(std::fopen((dir / "copy").c_str(), "wb"));
  file.bytes("head", 4);
  EXPECT_EQ(file.copyfrom(in, 100, 20000), 20000u);
  EXPECT_EQ(file.copyfrom(in, 29990, 50), 10u);
  file.bytes("tail", 4);
  ASSERT_TRUE(file.close());
  EXPECT_EQ(readfile(dir / "copy"), "head" + source.substr(100, 20000) + source.substr(29990) + "tail");
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  CFile pipe(::fdopen(ends[1], "wb"));
  pipe.bytes("head", 4);
  EXPECT_EQ(pipe.copyfrom(in, 5, 9000), 9000u);
  ASSERT_TRUE(pipe.close());
  std::string got(9100, '\0');
  got.resize(static_cast<std::size_t>(::read(ends[0], got.data(), got.size())));
  EXPECT_EQ(got, "head" + source.substr(5, 9000));
  ::close(ends[0]);
  ::close(in);
}

TEST(LineReader, TakesCrLfAsOneLineEndAndCutsLongLinesIntoPieces) {
  TempDir dir;
  writefile(dir / "in", "ab\r\ncd\rx\n0123456789");
  FilePtr f(std::fopen((dir / "in").c_str(), "rb"));
  LineReader r(f.get());
  std::string line;
  ASSERT_TRUE(r.read(line, 256));
  EXPECT_EQ(line, "ab\n");
  ASSERT_TRUE(r.read(line, 256));
  EXPECT_EQ(line, "cd\rx\n");  // a lone CR stays
  ASSERT_TRUE(r.read(line, 5));
  EXPECT_EQ(line, "0123");
  ASSERT_TRUE(r.read(line, 5));
  EXPECT_EQ(line, "4567");
  ASSERT_TRUE(r.read(line, 5));
  EXPECT_EQ(line, "89");
  EXPECT_FALSE(r.read(line, 5));
}

TEST(LineReader, CrLfAcrossTheReadBufferAndTheCapacity) {
  TempDir dir;
  // The CR is the last byte of the first 64 KiB block, its LF the first of the next.
  writefile(dir / "in", std::string(65535, 'a') + "\r\nb\rc\nab\r\nxy");
  FilePtr f(std::fopen((dir / "in").c_str(), "rb"));
  LineReader r(f.get());
  std::string line;
  ASSERT_TRUE(r.read(line, 1 << 20));
  EXPECT_EQ(line, std::string(65535, 'a') + "\n");
  ASSERT_TRUE(r.read(line, 256));
  EXPECT_EQ(line, "b\rc\n");
  ASSERT_TRUE(r.read(line, 3));  // two characters fill it; the line end comes next
  EXPECT_EQ(line, "ab");
  ASSERT_TRUE(r.read(line, 3));
  EXPECT_EQ(line, "\n");
  ASSERT_TRUE(r.read(line, 3));
  EXPECT_EQ(line, "xy");
}

}  // namespace
}  // namespace lorvane
