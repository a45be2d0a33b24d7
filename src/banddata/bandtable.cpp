// Delimited 0/1 tables (CSV, TSV or semicolons, found from the header
// line). Strains as rows: a header of band names (after a corner cell, which
// may be left out), then per strain its name, its group columns and its
// scores. Strains as columns: a header of strain names (the same), rows of
// groups (named in their first cell), then per band its name and its scores.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "banddata/readers.h"
#include "tables/distancetable.h"

namespace lorvane::banddata {

namespace {

char delimiterof(const std::string& line) {
  const auto count = [&](char c) { return std::count(line.begin(), line.end(), c); };
  const long tabs = count('\t'), commas = count(','), semicolons = count(';');
  if (tabs >= commas && tabs >= semicolons && tabs > 0) return '\t';
  return semicolons > commas ? ';' : ',';
}

// The cells of a line, without the empty ones at its end (spreadsheet exports).
std::vector<std::string> cellsof(const std::string& line, char delimiter) {
  std::vector<std::string> c = csvfields(line, delimiter);
  while (!c.empty() && trimcell(c.back()).empty()) c.pop_back();
  return c;
}

bool blankline(const std::string& line, char delimiter) {
  for (char c : line)
    if (c != delimiter && c != ' ' && c != '\t') return false;
  return true;
}

// How many group columns (or rows) lead: the option's number, or those
// whose heading starts with "pop" or "group".
std::size_t leadinggroups(const std::vector<std::string>& headings, std::size_t from, int option) {
  if (option > 0) return static_cast<std::size_t>(option);
  std::size_t k = from;
  while (k < headings.size() && groupheading(headings[k])) ++k;
  return k - from;
}

ScoreGrid strainsasrows(Lines& in, const std::vector<std::string>& header, char delimiter, int groupcolumns) {
  ScoreGrid g;
  std::size_t groups = 0, m = 0;
  auto setup = [&](std::size_t from) {  // from: the first heading after the corner cell
    groups = leadinggroups(header, from, groupcolumns);
    if (from + groups >= header.size()) in.fail("a header without band names", 1);
    g.groups.levels.clear();
    for (std::size_t k = from; k < from + groups; ++k) g.groups.levels.push_back(trimcell(header[k]));
    g.groups.labels.assign(groups, {});
    g.bandnames.clear();
    for (std::size_t k = from + groups; k < header.size(); ++k) g.bandnames.push_back(trimcell(header[k]));
    m = g.bandnames.size();
  };
  setup(1);
  std::string line;
  std::vector<std::string> store;
  while (in.next(line)) {
    if (blankline(line, delimiter)) continue;
    const std::vector<std::string_view> c = cellviews(line, delimiter, store);
    std::size_t used = c.size();
    while (used > 1 + groups + m && trimcell(c[used - 1]).empty()) --used;
    // A header without a corner cell: every heading names a column after the strain's name.
    if (g.names.empty() && used == 1 + header.size() && !trimcell(header[0]).empty()) setup(0);
    if (used != 1 + groups + m)
      in.fail(std::to_string(used > 1 + groups ? used - 1 - groups : 0) + " scores where the header names " +
              std::to_string(m) + " bands");
    g.names.push_back(trimcell(c[0]));
    if (g.names.back().empty()) in.fail("a strain without a name");
    for (std::size_t k = 0; k < groups; ++k) g.groups.labels[k].push_back(trimcell(c[1 + k]));
    for (std::size_t k = 0; k < m; ++k) {
      const Score s = quickscore(c[1 + groups + k]);
      if (s == kNoScore) in.fail(notascore(c[1 + groups + k], static_cast<long>(2 + groups + k)));
      g.scores.push_back(s);
    }
  }
  return g;
}

ScoreGrid strainsascolumns(Lines& in, const std::vector<std::string>& header, char delimiter, int grouprows) {
  ScoreGrid g;
  std::size_t width = header.size();  // without the empty cells a spreadsheet leaves at the end
  while (width > 1 && trimcell(header[width - 1]).empty()) --width;
  for (std::size_t k = 1; k < width; ++k) g.names.push_back(trimcell(header[k]));
  std::size_t n = width - 1;
  if (n == 0) in.fail("a header without strain names", 1);
  bool first = true;
  std::vector<std::uint8_t> bybands;  // band by band
  std::string line;
  int groups = 0;
  while (in.next(line)) {
    if (blankline(line, delimiter)) continue;
    std::vector<std::string> c = cellsof(line, delimiter);
    if (c.empty()) continue;  // empty cells only ("", "")
    while (c.size() > 1 + n && trimcell(c.back()).empty()) c.pop_back();
    // A header without a corner cell: every heading names a strain.
    if (first && c.size() == 2 + n && !trimcell(header[0]).empty()) {
      g.names.clear();
      for (std::size_t k = 0; k < width; ++k) g.names.push_back(trimcell(header[k]));
      ++n;
    }
    for (std::size_t k = 0; first && k < n; ++k)
      if (g.names[k].empty()) in.fail("strain " + std::to_string(k + 1) + " without a name in the header", 1);
    first = false;
    const bool grouprow = g.bandnames.empty() && (grouprows > 0 ? groups < grouprows : groupheading(c[0]));
    if (c.size() > 1 + n || (grouprow ? c.size() < 2 : false))
      in.fail(std::to_string(c.size() - 1) + " cells where the header names " + std::to_string(n) + " strains");
    if (grouprow) {
      ++groups;
      g.groups.levels.push_back(trimcell(c[0]));
      g.groups.labels.emplace_back();
      for (std::size_t k = 0; k < n; ++k) g.groups.labels.back().push_back(k + 1 < c.size() ? trimcell(c[k + 1]) : "");
      continue;
    }
    g.bandnames.push_back(trimcell(c[0]));
    for (std::size_t k = 0; k < n; ++k) {
      const std::string cell = k + 1 < c.size() ? c[k + 1] : "";
      const Score s = cellscore(cell);
      if (s == kNoScore) in.fail(notascore(cell, static_cast<long>(k + 2)));
      bybands.push_back(s);
    }
  }
  const std::size_t m = g.bandnames.size();
  g.scores.resize(n * m);
  for (std::size_t b = 0; b < m; ++b)
    for (std::size_t i = 0; i < n; ++i) g.scores[i * m + b] = bybands[b * n + i];
  return g;
}

}  // namespace

ScoreGrid readtable(Lines& in, const BandReadOptions& options) {
  std::string line;
  while (in.next(line) && trimcell(line).empty()) {
  }
  if (trimcell(line).empty()) in.fail("no header line", 1);
  const char delimiter = delimiterof(line);
  const std::vector<std::string> header = cellsof(line, delimiter);
  if (header.empty()) in.fail("a header of empty cells", 1);
  ScoreGrid g = options.layout == BandLayout::Columns
                    ? strainsascolumns(in, header, delimiter, options.groupcolumns)
                    : strainsasrows(in, header, delimiter, options.groupcolumns);
  if (g.strains() == 0) in.fail("no strain in the table");
  if (g.bands() == 0) in.fail("no band in the table");
  return g;
}

}  // namespace lorvane::banddata
