#pragma once
// Distance tables in and out: the triangle text tables and binary matrix
// files of the computations, PHYLIP distance matrices (square or lower
// triangular, strict 10-character or relaxed names), CSV and TSV, and files
// of several tables one after another.
//
// Faults are error stops (ErrorStop) whose message names the file and line.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/lowerhalf.h"
#include "core/triangle.h"

namespace lorvane {

// A symmetric table with a zero diagonal: the strain names (trailing blanks
// trimmed) and the lower half without the diagonal (core/triangle.h), 0-based.
struct DistanceTable {
  std::vector<std::string> names;
  LowerHalf lower;
  // The values came from single-precision reals (binary matrix files): the
  // writers give each the shortest text that reads back to the same real.
  bool single = false;

  int size() const { return static_cast<int>(names.size()); }
  static std::size_t at(int i, int j) { return Triangle::at(i, j); }
  double operator()(int i, int j) const { return i == j ? 0.0 : lower[at(i, j)]; }
};

enum class TableFormat { Triangle, PhylipSquare, PhylipLower, Csv, Tsv, Binary };
const char* formatname(TableFormat f);

// Reads the tables of one file one after another; the format is found from
// the content (the first table's), and every later table must hold the same
// names in the same order. The names of a table are distinct. A table takes
// memory only once the file is seen to hold what its count announces; a
// pipe, a FIFO or a device is read as text (a binary matrix, whose counts
// come at its end, must be a file).
class TableLines;
class TableReader {
 public:
  // Error stop when the file cannot be opened or its format is not one of
  // the above; a signal that asks the run to stop breaks into the open of a
  // FIFO that has no writer.
  explicit TableReader(const std::string& path);
  ~TableReader();
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  // The next table, or false at the end of the file. Error stop on a fault.
  bool next(DistanceTable& table);
  // The strains the next table announces (its count line, its header's
  // names, a binary matrix's trailer), seen without reading the table; -1
  // at the end of the file or when the count or header is at fault.
  int announced();
  TableFormat format() const { return format_; }
  int tablesread() const { return count_; }
  // The share of the file read so far (0 to 1; 0 for a stream).
  double fraction() const;

 private:
  struct TextForm;
  // The next line holding more than blanks, a table's count or header,
  // bounded by its fields only; false at the end of the file.
  bool headline(std::string& line, long& number);
  bool nextblock(DistanceTable& t);
  TextForm textform(std::size_t rows, long countline);
  bool nextdelimited(DistanceTable& t);
  void readbinary(DistanceTable& t);
  // Refuses a table of n strains when the input cannot hold `bytes` more.
  void checkroom(std::size_t n, long long bytes, long line);
  void checknames(const DistanceTable& t, long line);
  // Value (i, j) read on the line; both halves given: the second must match.
  void store(DistanceTable& t, int i, int j, double v, long line);
  [[noreturn]] void fail(long line, const std::string& what) const;

  std::string path_;
  std::unique_ptr<TableLines> lines_;
  TableFormat format_ = TableFormat::Triangle;
  char delimiter_ = ',';
  int count_ = 0;
  std::vector<std::string> firstnames_;
  int binaryrows_ = 0;
  bool mirrored_ = false;
  std::size_t announced_ = 0;  // the strains of the table being read
};

// Every table of a file.
std::vector<DistanceTable> readtables(const std::string& path);

// The fields of a CSV or TSV line, without the blanks around them; a field
// in double quotes may hold the delimiter and blanks, kept whole, and ""
// stands for one quote inside it.
std::vector<std::string> csvfields(const std::string& line, char delimiter);
// A decimal number as the table readers take it (a plain decimal, or any
// finite number from_chars reads, with an optional leading +); false for
// anything else, the whole text must be the number.
bool readnumber(std::string_view s, double& v);

// The text of one table, lines ending in "\n" (the text outputs turn them
// into CR LF). Values are written with the shortest text that reads back to
// the same value.
//   PHYLIP: the count, then per strain its name (phylipnames) and its row:
//   all n values (square) or the i - 1 before the diagonal (lower
//   triangular). Strict names are blank-padded to 10 characters; relaxed
//   ones to one more than the longest, so that every reader of either
//   form, Lorvane's included, takes the table back.
//   CSV: a header of an empty cell and the names, then per strain its name
//   and its n values; fields holding a comma, a quote or outer blanks are
//   quoted.
// The names as PHYLIP holds them: as they are when every name fits the
// strict form's 10 characters; else the relaxed form, whose names end at a
// blank: each blank or tab in a name becomes an underscore ("_" for an
// empty name). The CSV form keeps every name whole.
std::vector<std::string> phylipnames(const DistanceTable& t);
// Two strains whose PHYLIP names are the same ("a b" and "a_b" in the
// relaxed form), or none.
std::optional<std::pair<int, int>> phylipclash(const DistanceTable& t);
std::string phylipsquare(const DistanceTable& t);
std::string phyliplower(const DistanceTable& t);
std::string csvtable(const DistanceTable& t);
// A CSV field as csvtable writes a name: quoted when it holds a comma, a
// quote, a tab or a line end, or starts or ends with a blank.
std::string csvfield(const std::string& s);

// The shortest decimal text of a value (of the single-precision real when
// `single`) that reads back to it.
std::string shortestnumber(double v, bool single);

}  // namespace lorvane
