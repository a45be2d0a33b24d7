#include "banddata/scoregrid.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "core/interrupt.h"
#include "core/messages.h"
#include "tables/distancetable.h"

namespace lorvane::banddata {

namespace {
// The longest line read: a row of a million scores and then some.
constexpr std::size_t kLongestLine = std::size_t{64} << 20;
}  // namespace

Lines::Lines(const std::string& path) : path_(path), file_(openinput(path)), reader_(file_.get()) {
  struct stat st {};
  if (!file_ || ::fstat(::fileno(file_.get()), &st) != 0 || S_ISDIR(st.st_mode))
    errorstop(filefault("Error: can't open input file " + path + " (readbands)", path, file_ ? EISDIR : errno));
  if (S_ISREG(st.st_mode)) size_ = st.st_size;
}

bool Lines::next(std::string& line) {
  if (heldback_) {
    line = std::move(held_);
    heldback_ = false;
    ++number_;
    return true;
  }
  if (number_ % 1024 == 0) checkinterrupt();
  if (!reader_.read(line, kLongestLine + 2)) {
    checkinterrupt();  // a read of a pipe the signal broke into
    return false;
  }
  ++number_;
  if (!line.empty() && line.back() == '\n') {
    line.pop_back();
  } else if (line.size() > kLongestLine) {
    fail("a line longer than " + std::to_string(kLongestLine) + " characters");
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void Lines::fail(const std::string& text, long line) const {
  errorstop("Error: " + path_ + ", line " + std::to_string(line > 0 ? line : number_) + ": " + text + " (readbands)");
}

std::string trimcell(std::string_view cell) {
  std::size_t b = 0, e = cell.size();
  while (b < e && std::isspace(static_cast<unsigned char>(cell[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(cell[e - 1]))) --e;
  return std::string(cell.substr(b, e - b));
}

std::vector<std::string_view> cellviews(const std::string& line, char delimiter, std::vector<std::string>& store) {
  std::vector<std::string_view> cells;
  if (line.find('"') != std::string::npos) {
    store = csvfields(line, delimiter);
    for (const std::string& c : store) cells.emplace_back(c);
    return cells;
  }
  std::size_t k = 0;
  for (;;) {
    const std::size_t e = line.find(delimiter, k);
    if (e == std::string::npos) {
      cells.emplace_back(line.data() + k, line.size() - k);
      return cells;
    }
    cells.emplace_back(line.data() + k, e - k);
    k = e + 1;
  }
}

Score cellscore(std::string_view cell) {
  if (cell.size() == 1) {
    if (cell[0] == '1') return kPresent;
    if (cell[0] == '0') return kAbsent;
  }
  const std::string c = trimcell(cell);
  if (c == "1") return kPresent;
  if (c == "0") return kAbsent;
  if (c.empty() || c == "?" || c == "-1" || c == "-9" || c == "NA" || c == ".") return kMissing;
  return kNoScore;
}

std::string notascore(std::string_view cell, long column) {
  std::string shown(cell.substr(0, 40));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 32) c = '?';
  return "column " + std::to_string(column) + ": \"" + shown +
         "\" is not a band score (1 present, 0 absent; ?, -1, -9, NA, . or an empty cell for missing)";
}

bool groupheading(std::string_view cell) {
  const std::string c = trimcell(cell);
  auto starts = [&](std::string_view w) {
    if (c.size() < w.size()) return false;
    for (std::size_t k = 0; k < w.size(); ++k)
      if (std::tolower(static_cast<unsigned char>(c[k])) != w[k]) return false;
    return true;
  };
  return starts("pop") || starts("group");
}

BandData tobanddata(ScoreGrid&& g, BandEvents& events) {
  BandData d;
  d.n = g.strains();
  d.m = g.bands();
  bool missing = false;
  for (std::uint8_t s : g.scores) missing |= s == kMissing;
  try {
    d.bits = BitMatrix(d.n, d.m);
    if (missing) d.scored = BitMatrix(d.n, d.m);
  } catch (const std::bad_alloc&) {
    errorstop("Error: insufficient memory for " + std::to_string(d.n) + " strains of " + std::to_string(d.m) +
              " bands (readbands)");
  }
  const auto m = static_cast<std::size_t>(d.m);
  for (int i = 0; i < d.n; ++i) {
    const std::uint8_t* row = g.scores.data() + static_cast<std::size_t>(i) * m;
    std::uint64_t* present = d.bits.row(i);
    std::uint64_t* scored = missing ? d.scored.row(i) : nullptr;
    for (std::size_t w = 0; w * 64 < m; ++w) {
      std::uint64_t p = 0, s = 0;
      for (std::size_t b = 0; b < 64 && w * 64 + b < m; ++b) {
        const std::uint8_t v = row[w * 64 + b];
        p |= static_cast<std::uint64_t>(v == kPresent) << b;
        s |= static_cast<std::uint64_t>(v != kMissing) << b;
      }
      present[w] = p;
      if (scored) scored[w] = s;
    }
  }
  std::vector<std::uint8_t>().swap(g.scores);
  d.names = tabcaralloc(d.n, 1);
  d.namewidth = 10;
  for (int i = 0; i < d.n; ++i) {
    d.names[i + 1] = std::move(g.names[static_cast<std::size_t>(i)]);
    d.namewidth = std::max(d.namewidth, static_cast<int>(d.names[i + 1].size()));
  }
  d.bandnames = std::move(g.bandnames);
  d.groups = std::move(g.groups);
  events.counts(d.n, d.m);
  for (int i = 1; i <= d.n; ++i) events.strain(i, d.names[i]);
  return d;
}

}  // namespace lorvane::banddata
