#include "tables/distancetable.h"

#include <sys/stat.h>

#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <utility>

#include "core/messages.h"
#include "tables/textfields.h"

namespace lorvane {

using tablefields::allnumbers;
using tablefields::blank;
using tablefields::kNoValue;
using tablefields::quoted;
using tablefields::tokens;
using tablefields::tonumber;
using tablefields::trimmed;
using tablefields::trimright;

const char* formatname(TableFormat f) {
  switch (f) {
    case TableFormat::Triangle: return "triangle text";
    case TableFormat::PhylipSquare: return "PHYLIP square";
    case TableFormat::PhylipLower: return "PHYLIP lower-triangular";
    case TableFormat::Csv: return "CSV";
    case TableFormat::Tsv: return "TSV";
    case TableFormat::Binary: return "binary matrix";
  }
  return "";
}

// Lines of the file with their numbers, CR LF or LF ends removed; lines
// handed back are read again first.
struct TableReader::Lines {
  explicit Lines(std::FILE* f) : file(f) {}
  ~Lines() {
    if (file) std::fclose(file);
  }
  bool get(std::string& line, long& number) {
    if (!back.empty()) {
      line = std::move(back.front().first);
      number = back.front().second;
      back.pop_front();
      return true;
    }
    line.clear();
    bool any = false;
    for (;;) {
      if (at == end) {
        end = std::fread(buffer.data(), 1, buffer.size(), file);
        at = 0;
        if (end == 0) break;
      }
      any = true;
      const char* from = buffer.data() + at;
      const void* nl = std::memchr(from, '\n', end - at);
      const std::size_t length = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - from) : end - at;
      line.append(from, length);
      at += length;
      if (nl) {
        ++at;
        break;
      }
    }
    if (!any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    number = ++read;
    return true;
  }
  void unget(std::string line, long number) { back.emplace_front(std::move(line), number); }
  std::FILE* file;
  std::vector<char> buffer = std::vector<char>(1 << 16);
  std::size_t at = 0, end = 0;
  long read = 0;
  std::deque<std::pair<std::string, long>> back;
};

TableReader::TableReader(const std::string& path) : path_(path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  struct stat st {};
  if (!f || ::fstat(::fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = f ? EISDIR : errno;
    if (f) std::fclose(f);
    throw ErrorStop(filefault("Error: can't open distance table " + path + " (readtables)", path, error));
  }
  lines_ = std::make_unique<Lines>(f);
  // A binary matrix file: l x c reals of 4 bytes, then CR LF, l, CR LF, c,
  // CR LF with six digits each.
  const long long size = static_cast<long long>(st.st_size);
  size_ = size;
  if (size >= 18 && std::fseek(f, -18, SEEK_END) == 0) {
    char t[18];
    int l = 0, c = 0;
    if (std::fread(t, 1, 18, f) == 18 && t[0] == '\r' && t[1] == '\n' && t[8] == '\r' && t[9] == '\n' &&
        t[16] == '\r' && t[17] == '\n') {
      bool digits = true;
      for (int k : {2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15}) digits = digits && t[k] >= '0' && t[k] <= '9';
      if (digits) {
        std::from_chars(t + 2, t + 8, l);
        std::from_chars(t + 10, t + 16, c);
        if (4LL * l * c + 18 == size) {
          if (l != c) fail(0, "a binary matrix of " + std::to_string(l) + " rows and " + std::to_string(c) +
                                  " columns is not a square table");
          format_ = TableFormat::Binary;
          binaryrows_ = l;
        }
      }
    }
    std::rewind(f);
  }
  if (format_ == TableFormat::Binary) return;
  // Text: a first line holding one count is a triangle or PHYLIP table,
  // one with commas or tabs a CSV or TSV header.
  std::string line;
  long number = 0;
  while (lines_->get(line, number) && tokens(line).empty()) {
  }
  if (number == 0 || tokens(line).empty()) fail(number, "no table in the file");
  const auto first = tokens(line);
  int n = 0;
  const auto [end, ec] = std::from_chars(first[0].data(), first[0].data() + first[0].size(), n);
  const bool count = first.size() == 1 && ec == std::errc() && end == first[0].data() + first[0].size();
  if (!count && line.find(',') != std::string::npos) {
    format_ = TableFormat::Csv;
    delimiter_ = ',';
  } else if (!count && line.find('\t') != std::string::npos) {
    format_ = TableFormat::Tsv;
    delimiter_ = '\t';
  } else if (!count) {
    fail(number, "neither a count of strains nor a header of names");
  }
  lines_->unget(std::move(line), number);
}

TableReader::~TableReader() = default;

double TableReader::fraction() const {
  const long at = std::ftell(lines_->file);
  return size_ > 0 && at > 0 ? static_cast<double>(at) / static_cast<double>(size_) : 0.0;
}

void TableReader::fail(long line, const std::string& what) const {
  std::string where = path_;
  if (line > 0) where += ", line " + std::to_string(line);
  throw ErrorStop("Error: " + where + ": " + what + " (readtables)");
}

bool TableReader::next(DistanceTable& t) {
  t = DistanceTable{};
  if (format_ == TableFormat::Binary) {
    if (count_ > 0) return false;
    readbinary(t);
  } else if (format_ == TableFormat::Csv || format_ == TableFormat::Tsv) {
    if (!nextdelimited(t)) return false;
  } else if (!nextblock(t)) {
    return false;
  }
  ++count_;
  return true;
}

void TableReader::checknames(const DistanceTable& t, long line) {
  if (count_ == 0) {
    firstnames_ = t.names;
    return;
  }
  if (t.names != firstnames_)
    fail(line, "table " + std::to_string(count_ + 1) + " holds other strains than the first table");
}

void TableReader::readbinary(DistanceTable& t) {
  const int n = binaryrows_;
  mirrored_ = true;
  t.single = true;
  t.names.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) t.names[static_cast<std::size_t>(i)] = std::to_string(i + 1);
  t.lower.resize(Triangle::cells(n));
  std::vector<unsigned char> row(static_cast<std::size_t>(n) * 4);
  for (int i = 0; i < n; ++i) {
    if (std::fread(row.data(), 1, row.size(), lines_->file) != row.size()) fail(0, "the binary matrix ends early");
    for (int j = 0; j < n; ++j) {
      if (j == i) continue;
      const unsigned char* b = &row[static_cast<std::size_t>(j) * 4];
      const std::uint32_t bits = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                 static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
      float v;
      std::memcpy(&v, &bits, 4);
      store(t, i, j, v, 0);
    }
  }
}

void TableReader::store(DistanceTable& t, int i, int j, double v, long line) {
  auto pair = [&] { return std::to_string(std::min(i, j) + 1) + " and " + std::to_string(std::max(i, j) + 1); };
  if (!std::isfinite(v)) fail(line, "strains " + pair() + " have a value that is not a number");
  if (v == kNoValue) fail(line, "strains " + pair() + " have no value (999)");
  double& cell = t.lower[DistanceTable::at(i, j)];
  if (j > i) {
    cell = v;  // the first of the two, checked when its mirror comes
  } else if (mirrored_ && cell != v) {
    fail(line, "the table is not symmetric: strains " + pair() + " have two values");
  } else {
    cell = v;
  }
}

namespace {

// One row of a triangle or PHYLIP table read as name and values.
struct Row {
  std::string name;
  std::vector<double> values;
  std::string_view bad;  // the first field that is not a number
  bool ok() const { return bad.empty(); }
};

void fields(std::string_view s, Row& r) {
  r.values.clear();
  r.bad = {};
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && blank(s[i])) ++i;
    const std::size_t start = i;
    while (i < s.size() && !blank(s[i])) ++i;
    if (i == start) break;
    double v;
    if (!tonumber(s.substr(start, i - start), v)) {
      if (r.bad.empty()) r.bad = s.substr(start, i - start);
      v = 0;
    }
    r.values.push_back(v);
  }
}

// Strict: the name is the first 10 characters. Relaxed: the first field.
void readrow(std::string_view line, bool relaxed, Row& r) {
  std::size_t cut = std::min<std::size_t>(10, line.size());
  if (relaxed) {
    std::size_t b = 0;
    while (b < line.size() && blank(line[b])) ++b;
    cut = b;
    while (cut < line.size() && !blank(line[cut])) ++cut;
    r.name.assign(line.substr(b, cut - b));
  } else {
    r.name = trimright(line.substr(0, cut));
  }
  fields(line.substr(cut), r);
}

}  // namespace

// The form of a text table: ours (triangle, with the diagonal for shared
// bands), PHYLIP lower-triangular or square; names are the first 10
// characters, or else the first field (relaxed).
struct TableReader::TextForm {
  TableFormat format = TableFormat::PhylipSquare;
  bool diagonal = false;  // a triangle table with its diagonal (shared-band counts)
  bool relaxed = false;
  // The values row i of `rows` holds.
  std::size_t values(std::size_t i, std::size_t rows) const {
    switch (format) {
      case TableFormat::PhylipSquare: return rows;
      case TableFormat::PhylipLower: return i;
      default: return rows - 1 - i + (diagonal ? 1 : 0);
    }
  }
};

// The form from the first two rows, which are read again afterwards: ours
// holds n - 1 values on the first row (n with the diagonal, then n - 2 on
// the second), PHYLIP lower-triangular none, PHYLIP square n.
TableReader::TextForm TableReader::textform(std::size_t un, long countline) {
  std::string first, second;
  long n1 = 0, n2 = 0;
  if (!lines_->get(first, n1)) fail(countline, "the table ends before its first strain");
  const bool hassecond = un > 1 && lines_->get(second, n2);
  const TextForm forms[] = {{TableFormat::Triangle, false},
                            {TableFormat::PhylipLower, false},
                            {TableFormat::Triangle, true},
                            {TableFormat::PhylipSquare, false}};
  TextForm form = forms[3];
  bool found = false;
  // Both rows fitting, or else the first (a later row is then at fault).
  for (bool both : {true, false})
    for (bool r : {false, true})
      for (const TextForm& f : forms) {
        if (found) break;
        auto fits = [&](const std::string& l, std::size_t i) {
          Row row;
          readrow(l, r, row);
          return row.ok() && row.values.size() == f.values(i, un);
        };
        if (fits(first, 0) && (!both || !hassecond || fits(second, 1))) form = f, form.relaxed = r, found = true;
      }
  if (hassecond) lines_->unget(std::move(second), n2);
  lines_->unget(std::move(first), n1);
  return form;
}

namespace {

// Row `line` read; PHYLIP rows may go on over lines that start with a blank.
template <class Lines>
void textrow(Lines& lines, std::string& line, bool relaxed, bool phylip, std::size_t expected, Row& row) {
  readrow(line, relaxed, row);
  std::string more;
  long m = 0;
  while (phylip && row.ok() && row.values.size() < expected && lines.get(more, m)) {
    const auto t2 = tokens(more);
    if (more.empty() || !blank(more[0]) || t2.empty() || !allnumbers(t2)) {
      lines.unget(std::move(more), m);
      break;
    }
    line += " " + more;
    readrow(line, relaxed, row);
  }
}

}  // namespace

bool TableReader::nextblock(DistanceTable& t) {
  std::string line;
  long number = 0;
  do {
    if (!lines_->get(line, number)) return false;
  } while (tokens(line).empty());
  const auto head = tokens(line);
  int n = 0;
  const auto [end, ec] = std::from_chars(head[0].data(), head[0].data() + head[0].size(), n);
  if (head.size() != 1 || ec != std::errc() || end != head[0].data() + head[0].size() || n < 1)
    fail(number, "a count of strains (1 or more) was expected");
  const long countline = number;
  const std::size_t un = static_cast<std::size_t>(n);
  // Each of the n(n - 1)/2 values takes two bytes at least (a digit and a
  // blank or line end): a count the file cannot hold is refused before any
  // memory is taken for it.
  if (static_cast<long double>(un) * static_cast<long double>(un - 1) > static_cast<long double>(size_))
    fail(number, "a table of " + std::to_string(n) + " strains cannot fit in the file's " + std::to_string(size_) +
                     " bytes");

  const TextForm form = textform(un, countline);
  if (count_ == 0) format_ = form.format;
  mirrored_ = form.format == TableFormat::PhylipSquare;

  t.names.resize(un);
  // A triangle's rows write every cell of the lower half, so it is not
  // zeroed first; the PHYLIP forms keep the zeros (the square one reads
  // cells back for its symmetry check).
  if (form.format == TableFormat::Triangle)
    t.lower.resize(Triangle::cells(un));
  else
    t.lower.assign(Triangle::cells(un), 0.0);
  constexpr std::size_t kBlock = 32;
  std::vector<double> block(form.format == TableFormat::Triangle ? std::min(un, kBlock) * un : 0);
  Row row;
  for (int i = 0; i < n; ++i) {
    if (!lines_->get(line, number))
      fail(number, "the table ends after " + std::to_string(i) + " of its " + std::to_string(n) + " strains");
    const std::size_t ui = static_cast<std::size_t>(i);
    const std::size_t expected = form.values(ui, un);
    const long rowline = number;
    textrow(*lines_, line, form.relaxed, form.format != TableFormat::Triangle, expected, row);
    if (!row.ok()) fail(rowline, quoted(row.bad) + " is not a number");
    if (row.values.size() != expected)
      fail(rowline, "strain " + std::to_string(i + 1) + " has " + std::to_string(row.values.size()) +
                        " values where " + std::to_string(expected) + " were expected");
    t.names[ui] = row.name;
    if (form.format == TableFormat::Triangle) {
      // Row i holds column i of the lower half: rows are gathered a block
      // at a time and then written along the lower half's rows.
      const std::size_t skip = form.diagonal ? 1 : 0;
      double* to = &block[(ui % kBlock) * un];
      for (std::size_t k = skip; k < expected; ++k) {
        const double v = row.values[k];
        if (v == kNoValue)
          fail(rowline, "strains " + std::to_string(i + 1) + " and " + std::to_string(ui + 1 + k - skip + 1) +
                            " have no value (999)");
        to[ui + 1 + k - skip] = v;
      }
      if (ui % kBlock == kBlock - 1 || ui + 1 == un) {
        const std::size_t top = ui - ui % kBlock;
        for (std::size_t j = top + 1; j < un; ++j)
          for (std::size_t r = top; r < std::min(j, ui + 1); ++r)
            t.lower[Triangle::below(j, r)] = block[(r % kBlock) * un + j];
      }
      continue;
    }
    for (std::size_t k = 0; k < expected; ++k)
      if (k != ui) store(t, i, static_cast<int>(k), row.values[k], rowline);
  }
  checknames(t, countline);
  return true;
}

bool TableReader::nextdelimited(DistanceTable& t) {
  std::string line;
  long number = 0;
  do {
    if (!lines_->get(line, number)) return false;
  } while (tokens(line).empty());
  const long headline = number;
  std::vector<std::string> head = csvfields(line, delimiter_);
  for (auto& h : head) h = trimmed(h);
  // The header names the strains, after a corner cell (empty or a label)
  // unless the rows are one field longer than the header.
  std::string firstrow;
  long rownumber = 0;
  if (!lines_->get(firstrow, rownumber)) fail(headline, "a header without rows");
  const std::size_t rowfields = csvfields(firstrow, delimiter_).size();
  lines_->unget(std::move(firstrow), rownumber);
  if (rowfields == head.size() + 1 && !head.front().empty())
    t.names = head;
  else
    t.names.assign(head.begin() + 1, head.end());
  const int n = t.size();
  if (n < 1) fail(headline, "a header without names");
  const std::size_t un = static_cast<std::size_t>(n);
  t.lower.assign(Triangle::cells(un), 0.0);
  mirrored_ = true;
  for (int i = 0; i < n; ++i) {
    if (!lines_->get(line, number) || tokens(line).empty())
      fail(number, "the table ends after " + std::to_string(i) + " of its " + std::to_string(n) + " strains");
    const std::vector<std::string> f = csvfields(line, delimiter_);
    if (f.size() != un + 1)
      fail(number, "strain " + std::to_string(i + 1) + " has " + std::to_string(f.size() - 1) +
                       " values where " + std::to_string(n) + " were expected");
    const std::string& name = t.names[static_cast<std::size_t>(i)];
    if (trimmed(f[0]) != name)
      fail(number, "the row of " + quoted(trimmed(f[0])) + " stands where the header puts " + quoted(name));
    for (int j = 0; j < n; ++j) {
      const std::string field = trimmed(f[static_cast<std::size_t>(j) + 1]);
      double v;
      if (!tonumber(field, v)) fail(number, quoted(field) + " is not a number");
      if (j != i) store(t, i, j, v, number);
    }
  }
  checknames(t, headline);
  return true;
}

std::vector<DistanceTable> readtables(const std::string& path) {
  TableReader reader(path);
  std::vector<DistanceTable> all;
  DistanceTable t;
  while (reader.next(t)) all.push_back(std::move(t));
  return all;
}


}  // namespace lorvane
