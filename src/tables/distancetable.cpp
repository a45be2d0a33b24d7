#include "tables/distancetable.h"

#include <sys/stat.h>

#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "core/messages.h"
#include "tables/lines.h"
#include "tables/textfields.h"

namespace lorvane {

using tablefields::allnumbers;
using tablefields::blank;
using tablefields::kNoValue;
using tablefields::quoted;
using tablefields::tokens;
using tablefields::tonumber;
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

TableReader::TableReader(const std::string& path) : path_(path) {
  FilePtr f = openinput(path);
  struct stat st {};
  if (!f || ::fstat(::fileno(f.get()), &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = f ? EISDIR : errno;
    throw ErrorStop(filefault("Error: can't open distance table " + path + " (readtables)", path, error));
  }
  // A pipe, a FIFO or a device has no size: it is read as text, and what it
  // holds is found by reading it.
  const bool file = S_ISREG(st.st_mode);
  const long long size = file ? static_cast<long long>(st.st_size) : -1;
  std::FILE* stream = f.get();
  lines_ = std::make_unique<TableLines>(std::move(f), path, size);
  // A binary matrix file: l x c reals of 4 bytes, then CR LF, l, CR LF, c,
  // CR LF with six digits each.
  if (size >= 18 && std::fseek(stream, -18, SEEK_END) == 0) {
    char t[18];
    int l = 0, c = 0;
    if (std::fread(t, 1, 18, stream) == 18 && t[0] == '\r' && t[1] == '\n' && t[8] == '\r' && t[9] == '\n' &&
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
    std::rewind(stream);
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
  const long long size = lines_->size();
  const long long at = lines_->consumed();
  return size > 0 && at > 0 ? std::min(1.0, static_cast<double>(at) / static_cast<double>(size)) : 0.0;
}

void TableReader::fail(long line, const std::string& what) const { tablefault(path_, line, what); }

bool TableReader::next(DistanceTable& t) {
  t = DistanceTable{};
  announced_ = 0;
  try {
    if (format_ == TableFormat::Binary) {
      if (count_ > 0) return false;
      readbinary(t);
    } else if (format_ == TableFormat::Csv || format_ == TableFormat::Tsv) {
      if (!nextdelimited(t)) return false;
    } else if (!nextblock(t)) {
      return false;
    }
  } catch (const std::bad_alloc&) {
    t = DistanceTable{};
    const auto cells = static_cast<long double>(Triangle::cells(announced_));
    char bytes[32];
    std::snprintf(bytes, sizeof bytes, "%.0Lf", cells * sizeof(double));
    fail(0, "insufficient memory for a table of " + std::to_string(announced_) + " strains (" + bytes +
                " bytes asked)");
  }
  ++count_;
  return true;
}

bool TableReader::headline(std::string& line, long& number) {
  lines_->limitwords(0);
  do {
    if (!lines_->get(line, number)) return false;
  } while (tokens(line).empty());
  return true;
}

int TableReader::announced() {
  if (format_ == TableFormat::Binary) return count_ == 0 ? binaryrows_ : -1;
  std::string line, row;
  long number = 0, rownumber = 0;
  if (!headline(line, number)) return -1;
  int n = -1;
  if (format_ == TableFormat::Csv || format_ == TableFormat::Tsv) {
    std::vector<std::string> head = csvfields(line, delimiter_);
    // As nextdelimited: a corner cell unless the first row is one field longer.
    const bool corner = !(lines_->get(row, rownumber) && csvfields(row, delimiter_).size() == head.size() + 1 &&
                          !head.front().empty());
    if (rownumber > 0) lines_->unget(std::move(row), rownumber);
    n = static_cast<int>(head.size()) - (corner ? 1 : 0);
  } else {
    const auto head = tokens(line);
    const auto [end, ec] = std::from_chars(head[0].data(), head[0].data() + head[0].size(), n);
    if (head.size() != 1 || ec != std::errc() || end != head[0].data() + head[0].size()) n = -1;
  }
  lines_->unget(std::move(line), number);
  return n;
}

void TableReader::checkroom(std::size_t n, long long bytes, long line) {
  announced_ = n;
  const long long left = lines_->available(bytes);
  if (left >= bytes) return;
  fail(line, "a table of " + std::to_string(n) + " strains cannot fit in the " +
                 std::to_string(left) + " bytes " + (lines_->stream() ? "the input holds" : "left in the file"));
}

void TableReader::checknames(const DistanceTable& t, long line) {
  if (count_ == 0) {
    std::unordered_map<std::string_view, int> seen;
    seen.reserve(t.names.size());
    for (int i = 0; i < t.size(); ++i) {
      const auto [at, fresh] = seen.emplace(t.names[static_cast<std::size_t>(i)], i);
      if (!fresh)
        fail(line, "strains " + std::to_string(at->second + 1) + " and " + std::to_string(i + 1) + " have the same name " +
                       quoted(at->first) + ": every strain needs a name of its own");
    }
    firstnames_ = t.names;
    return;
  }
  if (t.names != firstnames_)
    fail(line, "table " + std::to_string(count_ + 1) + " holds other strains than the first table");
}

void TableReader::readbinary(DistanceTable& t) {
  const int n = binaryrows_;
  announced_ = static_cast<std::size_t>(n);
  mirrored_ = true;
  t.single = true;
  t.names.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) t.names[static_cast<std::size_t>(i)] = std::to_string(i + 1);
  t.lower.resize(Triangle::cells(n));
  std::vector<unsigned char> row(static_cast<std::size_t>(n) * 4);
  for (int i = 0; i < n; ++i) {
    if (!lines_->readbytes(row.data(), row.size())) fail(0, "the binary matrix ends early");
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

bool TableReader::nextdelimited(DistanceTable& t) {
  std::string line;
  long number = 0;
  if (!headline(line, number)) return false;
  const long headerline = number;
  std::vector<std::string> head = csvfields(line, delimiter_);
  for (auto& h : head) h = trimright(h);  // names keep no trailing blanks, quoted or not
  lines_->limitwords(head.size() + 2);
  // The header names the strains, after a corner cell (empty or a label)
  // unless the rows are one field longer than the header.
  std::string firstrow;
  long rownumber = 0;
  if (!lines_->get(firstrow, rownumber)) fail(headerline, "a header without rows");
  const std::size_t rowfields = csvfields(firstrow, delimiter_).size();
  lines_->unget(std::move(firstrow), rownumber);
  if (rowfields == head.size() + 1 && !head.front().empty())
    t.names = head;
  else
    t.names.assign(head.begin() + 1, head.end());
  const int n = t.size();
  if (n < 1) fail(headerline, "a header without names");
  const std::size_t un = static_cast<std::size_t>(n);
  // Each row holds n delimiters and its line end at least.
  checkroom(un, static_cast<long long>(un) * static_cast<long long>(un + 1), headerline);
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
    if (trimright(f[0]) != name)
      fail(number, "the row of " + quoted(f[0]) + " stands where the header puts " + quoted(name));
    for (int j = 0; j < n; ++j) {
      const std::string& field = f[static_cast<std::size_t>(j) + 1];
      double v;
      if (!tonumber(field, v)) fail(number, quoted(field) + " is not a number");
      if (j != i) store(t, i, j, v, number);
    }
  }
  checknames(t, headerline);
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
