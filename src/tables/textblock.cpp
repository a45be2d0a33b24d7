// The text tables that start with a count of strains: ours (triangle) and
// PHYLIP's square and lower-triangular forms.
#include <charconv>

#include "core/interrupt.h"
#include "tables/distancetable.h"
#include "tables/lines.h"
#include "tables/textfields.h"

namespace lorvane {

using tablefields::blank;
using tablefields::kNoValue;
using tablefields::quoted;
using tablefields::tokens;
using tablefields::tonumber;
using tablefields::trimright;

namespace {

// One row of a triangle or PHYLIP table read as name and values.
struct Row {
  std::string name;
  std::vector<double> values;
  std::string bad;    // the first field that is not a number (counted among the values as 0)
  long badline = 0;   // and its line
  bool ok() const { return bad.empty(); }
};

// The fields of s appended to the row's values.
void fields(std::string_view s, Row& r, long line) {
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && blank(s[i])) ++i;
    const std::size_t start = i;
    while (i < s.size() && !blank(s[i])) ++i;
    if (i == start) break;
    double v;
    if (!tonumber(s.substr(start, i - start), v)) {
      if (r.bad.empty()) r.bad = s.substr(start, i - start), r.badline = line;
      v = 0;
    }
    r.values.push_back(v);
  }
}

// Strict: the name is the first `width` characters (10 unless the count
// line gives more). Relaxed: the first field.
void readrow(std::string_view line, long number, bool relaxed, std::size_t width, Row& r) {
  std::size_t cut = std::min<std::size_t>(width, line.size());
  if (relaxed) {
    std::size_t b = 0;
    while (b < line.size() && blank(line[b])) ++b;
    cut = b;
    while (cut < line.size() && !blank(line[cut])) ++cut;
    r.name.assign(line.substr(b, cut - b));
  } else {
    r.name = trimright(line.substr(0, cut));
  }
  r.values.clear();
  r.bad.clear();
  fields(line.substr(cut), r, number);
}

// A line that goes on with the row before it: it starts with a blank, then
// a field that looks like a number ("nan" among them, to be refused on its
// own line); a name after a blank does not.
bool continues(std::string_view line) {
  if (line.empty() || !blank(line[0])) return false;
  const auto t = tokens(line);
  if (t.empty()) return false;
  const char c = t[0][0];
  if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') return true;
  std::string word(t[0].substr(0, 3));
  for (char& w : word) w = static_cast<char>(w | 0x20);
  return word == "nan" || word == "inf";
}

}  // namespace

// The form of a text table: ours (triangle, with the diagonal for shared
// bands), PHYLIP lower-triangular or square; names are the first 10
// characters, or else the first field (relaxed).
struct TableReader::TextForm {
  TableFormat format = TableFormat::PhylipSquare;
  bool diagonal = false;  // a triangle table with its diagonal (shared-band counts)
  bool relaxed = false;
  std::size_t width = 10;  // of a strict name
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
// the second), PHYLIP lower-triangular none, PHYLIP square n. Both rows
// fitting a form decide; else a second line that goes on with the first
// (a square row over several lines); else the first row alone, a field that
// is not a number counted as a value (the row is then at fault).
TableReader::TextForm TableReader::textform(std::size_t un, long countline, std::size_t width) {
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
  auto reads = [&](const std::string& l, long number, std::size_t i, bool relaxed, const TextForm& f, bool exact) {
    Row row;
    readrow(l, number, relaxed, width, row);
    return (row.ok() || !exact) && row.values.size() == f.values(i, un);
  };
  // A strict name that ends inside a field of the first row is the less
  // likely reading when the relaxed one fits as well: a lone strain whose
  // long name ends in digits would otherwise read as a shorter name and a
  // diagonal value.
  const bool cuts = first.size() > width && width > 0 && !blank(first[width - 1]) && !blank(first[width]);
  for (bool r : {cuts, !cuts})
    for (const TextForm& f : forms)
      if (!found && reads(first, n1, 0, r, f, true) && (!hassecond || reads(second, n2, 1, r, f, true)))
        form = f, form.relaxed = r, found = true;
  for (bool r : {false, true}) {
    Row row;
    readrow(first, n1, r, width, row);
    if (!found && hassecond && continues(second) && row.ok() && row.values.size() < un)
      form = forms[3], form.relaxed = r, found = true;
  }
  for (bool r : {false, true})
    for (const TextForm& f : forms)
      if (!found && reads(first, n1, 0, r, f, false)) form = f, form.relaxed = r, found = true;
  if (hassecond) lines_->unget(std::move(second), n2);
  lines_->unget(std::move(first), n1);
  form.width = width;
  return form;
}

namespace {

// Row `line` read; PHYLIP rows may go on over lines that continue it. A
// line that does not fit the table's reading of names is read the other
// way when that fits it exactly (a relaxed name in a strict table: the
// strict reading takes part of the name for a field).
template <class Lines>
void textrow(Lines& lines, const std::string& line, long number, bool relaxed, std::size_t width, bool phylip,
             std::size_t expected, Row& row) {
  readrow(line, number, relaxed, width, row);
  if (phylip && (!row.ok() || row.values.size() > expected)) {
    Row other;
    readrow(line, number, !relaxed, width, other);
    if (other.ok() && other.values.size() == expected) row = std::move(other);
  }
  std::string more;
  long m = 0;
  while (phylip && row.ok() && row.values.size() < expected && lines.get(more, m)) {
    if (!continues(more)) {
      lines.unget(std::move(more), m);
      break;
    }
    fields(more, row, m);
  }
}

}  // namespace

bool TableReader::nextblock(DistanceTable& t) {
  std::string line;
  long number = 0;
  if (!headline(line, number)) return false;
  int n = 0, width = 10;
  if (!tablefields::countline(line, n, width) || n < 1) fail(number, "a count of strains (1 or more) was expected");
  const long countline = number;
  const std::size_t un = static_cast<std::size_t>(n);
  // Each of the n(n - 1)/2 values takes two bytes at least (a digit and a
  // blank or line end): a count the input cannot hold is refused before any
  // memory is taken for it.
  checkroom(un, static_cast<long long>(un) * static_cast<long long>(un - 1), countline);
  lines_->limitwords(un + 2);

  const TextForm form = textform(un, countline, static_cast<std::size_t>(width));
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
    textrow(*lines_, line, rowline, form.relaxed, form.width, form.format != TableFormat::Triangle, expected, row);
    if (!row.ok()) fail(row.badline, quoted(row.bad) + " is not a number");
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
        for (std::size_t j = top + 1; j < un; ++j) {
          // The first blocks touch every page of the table, which the
          // system zeroes then: most of a second for a large one.
          if (j % 1024 == 0) checkinterrupt();
          for (std::size_t r = top; r < std::min(j, ui + 1); ++r)
            t.lower[Triangle::below(j, r)] = block[(r % kBlock) * un + j];
        }
      }
      continue;
    }
    for (std::size_t k = 0; k < expected; ++k)
      if (k != ui) store(t, i, static_cast<int>(k), row.values[k], rowline);
  }
  checknames(t, countline);
  return true;
}

}  // namespace lorvane
