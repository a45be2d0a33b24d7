// Reading coordinates and eigenvalue files, and laying out their scatter.
#include "drawing/scatter.h"

#include "drawing/groups.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "core/messages.h"
#include "core/textio.h"
#include "tables/distancetable.h"

namespace lorvane::drawing {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

[[noreturn]] void fail(const std::string& path, long line, const std::string& what) {
  std::string where = path;
  if (line > 0) where += ", line " + std::to_string(line);
  throw ErrorStop("Error: " + where + ": " + what + " (readcoordinates)");
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The fields of each line that is not blank, with its line number.
std::vector<std::pair<long, std::vector<std::string>>> csvrows(const std::string& text) {
  std::vector<std::pair<long, std::vector<std::string>>> rows;
  long number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!trim(line).empty()) rows.emplace_back(number, csvfields(line, ','));
  }
  return rows;
}

std::string fieldcount(std::size_t got, std::size_t due) {
  return std::to_string(got) + (got == 1 ? " field" : " fields") + " where the header has " + std::to_string(due);
}

double numberat(const std::string& path, long line, const std::string& field) {
  double v = 0;
  if (!readnumber(trim(field), v)) fail(path, line, quoted(field) + " is not a number");
  return v;
}

using Rows = std::vector<std::pair<long, std::vector<std::string>>>;

// The rows of a file read whole; error stop when it cannot be read.
Rows readrows(const std::string& path, const std::string& kind) {
  std::string text;
  if (!readwhole(path, text))
    throw ErrorStop(filefault("Error: can't open " + kind + " file " + path + " (readcoordinates)", path, errno));
  return csvrows(text);
}

// The shares of an eigenvalue file's rows.
void sharesfrom(const std::string& path, const Rows& rows, Coordinates& c) {
  if (rows.empty()) fail(path, 0, "the file is empty");
  const auto& [headline, head] = rows.front();
  static const std::vector<std::string> kHeader{"axis", "eigenvalue", "share", "cumulative"};
  bool header = head.size() == kHeader.size();
  for (std::size_t k = 0; header && k < head.size(); ++k) header = trim(head[k]) == kHeader[k];
  if (!header) fail(path, headline, "the header is not axis,eigenvalue,share,cumulative");
  std::vector<double> shares;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const auto& [line, f] = rows[r];
    if (f.size() != kHeader.size())
      fail(path, line, fieldcount(f.size(), kHeader.size()));
    if (numberat(path, line, f[0]) != static_cast<double>(r))
      fail(path, line, "axis " + quoted(trim(f[0])) + " where axis " + std::to_string(r) + " is due");
    numberat(path, line, f[1]);
    shares.push_back(numberat(path, line, f[2]));
    numberat(path, line, f[3]);
  }
  c.shares = std::move(shares);
}

}  // namespace

double Coordinates::share(int axis) const {
  return axis >= 1 && axis <= static_cast<int>(shares.size()) ? shares[static_cast<std::size_t>(axis - 1)] : kNaN;
}

std::string eigenvaluepath(const std::string& coordinatespath) {
  static const std::string kEnd = ".pcoa.csv";
  const std::size_t n = coordinatespath.size();
  if (n < kEnd.size() || coordinatespath.compare(n - kEnd.size(), kEnd.size(), kEnd) != 0) return {};
  return coordinatespath.substr(0, n - kEnd.size()) + ".eig.csv";
}

Coordinates coordinatesof(const std::vector<std::string>& names, const PcoaResult& pcoa) {
  Coordinates c;
  c.names = names;
  c.axes.assign(static_cast<std::size_t>(pcoa.axes), std::vector<double>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i)
    for (int a = 0; a < pcoa.axes; ++a) c.axes[static_cast<std::size_t>(a)][i] = pcoa.coordinate(i, a);
  c.shares = pcoa.shares;
  return c;
}

Coordinates readcoordinates(const std::string& path) {
  const Rows rows = readrows(path, "coordinates");
  if (rows.empty()) fail(path, 0, "the file is empty");
  const auto& [headline, head] = rows.front();
  bool header = head.size() >= 2 && trim(head[0]) == "name";
  for (std::size_t k = 1; header && k < head.size(); ++k) header = trim(head[k]) == "axis" + std::to_string(k);
  if (!header) fail(path, headline, "the header is not name,axis1,axis2,...");
  Coordinates c;
  const std::size_t axes = head.size() - 1;
  c.axes.resize(axes);
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const auto& [line, f] = rows[r];
    if (f.size() != axes + 1)
      fail(path, line, fieldcount(f.size(), axes + 1));
    c.names.push_back(f[0]);
    for (std::size_t a = 0; a < axes; ++a) c.axes[a].push_back(numberat(path, line, f[a + 1]));
  }
  if (c.names.empty()) fail(path, 0, "no strain in the file");
  const std::string eig = eigenvaluepath(path);
  std::string text;
  if (!eig.empty() && readwhole(eig, text)) sharesfrom(eig, csvrows(text), c);
  return c;
}

void readshares(const std::string& path, Coordinates& c) { sharesfrom(path, readrows(path, "eigenvalue"), c); }

namespace {

constexpr double kMargin = 10;
constexpr double kTick = 4;
constexpr Colour kFrameColour{90, 90, 90, 255};
constexpr Colour kOrigin{205, 205, 205, 255};
constexpr Colour kFill{31, 119, 180, 190};
constexpr Colour kStroke{16, 60, 100, 255};

// A round step near span / count: 1, 2 or 5 times a power of ten.
double roundstep(double span, int count) {
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double m = raw / power;
  return (m < 1.5 ? 1 : m < 3.5 ? 2 : m < 7.5 ? 5 : 10) * power;
}

// Tick k of a step as text, with as many decimals as the step needs.
std::string ticktext(long long k, double step) {
  const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 15);
  char s[64];
  std::snprintf(s, sizeof s, "%.*f", decimals, static_cast<double>(k) * step);
  std::string t = s;
  if (k == 0) t.erase(0, t.find_first_not_of('-'));
  return t;
}

std::string axistitle(const Coordinates& c, int axis) {
  std::string t = "Axis " + std::to_string(axis);
  const double share = c.share(axis);
  if (std::isfinite(share)) {
    char s[48];
    std::snprintf(s, sizeof s, " (%.1f %%)", share * 100);
    t += s;
  }
  return t;
}

struct Range {
  double lo = 0, hi = 0;
  double span() const { return hi - lo; }
  // Widened about its middle to at least `span`.
  void widen(double span) {
    if (this->span() >= span) return;
    const double mid = lo / 2 + hi / 2;
    lo = mid - span / 2;
    hi = mid + span / 2;
  }
};

// The first and the last tick (as multiples of step) in a range; none
// (first > last) when too many.
std::pair<long long, long long> ticks(const Range& r, double step) {
  const double first = std::ceil(r.lo / step - 1e-9), last = std::floor(r.hi / step + 1e-9);
  if (!(last - first < 100)) return {1, 0};
  return {static_cast<long long>(first), static_cast<long long>(last)};
}

// The ranges of the two axes: padded, then the shorter widened to half the
// longer; one point (or all at one place) gets a range about itself.
struct Ranges {
  Range x, y;
  double longer;  // the longer span
};

Ranges ranges(const std::vector<double>& xs, const std::vector<double>& ys, std::size_t n) {
  Range x{xs[0], xs[0]}, y{ys[0], ys[0]};
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) errorstop("Error: a coordinate is not a number (scatterscene)");
    x.lo = std::min(x.lo, xs[i]), x.hi = std::max(x.hi, xs[i]);
    y.lo = std::min(y.lo, ys[i]), y.hi = std::max(y.hi, ys[i]);
  }
  double longer = std::max(x.span(), y.span());
  const double extent = std::max({std::abs(x.lo), std::abs(x.hi), std::abs(y.lo), std::abs(y.hi)});
  if (!(std::max(longer, extent) <= 1e300)) errorstop("Error: the coordinates are too large to draw (scatterscene)");
  if (longer <= std::max(extent * 1e-12, 1e-200)) {
    longer = extent > 1e-199 ? 0.2 * extent : 2;
    x.widen(longer);
    y.widen(longer);
  }
  const double pad = 0.06 * longer;
  x.lo -= pad, x.hi += pad, y.lo -= pad, y.hi += pad;
  longer += 2 * pad;
  x.widen(longer / 2);
  y.widen(longer / 2);
  return {x, y, longer};
}

// A circle at each point of the scene's geometry, then, when there are few
// enough, the names to the right of their points; the picture widens for
// the longest.
void markers(Scene& s, const std::vector<std::string>& names, const ScatterStyle& style) {
  const std::vector<Point>& points = s.geometry.points;
  auto& items = s.items;
  items.emplace_back(Begin{"points"});
  for (std::size_t i = 0; i < points.size(); ++i)
    items.emplace_back(Circle{points[i], style.radius, style.groups.empty() ? kFill : style.groups.of(names[i]),
                              kStroke, 0.75, static_cast<int>(i)});
  items.emplace_back(End{});
  if (static_cast<int>(points.size()) > style.maxlabels) return;
  const double size = style.fontsize * 0.9;
  items.emplace_back(Begin{"names"});
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point p = points[i];
    items.emplace_back(Text{p.x + style.radius + 2, p.y + size * 0.35, names[i], size});
    s.width = std::max(s.width, p.x + style.radius + 2 + textwidth(names[i], size) + kMargin);
  }
  items.emplace_back(End{});
}

}  // namespace

Scene scatterscene(const Coordinates& c, int xaxis, int yaxis, const ScatterStyle& style) {
  const int n = c.size();
  if (n == 0) errorstop("Error: no strain to draw (scatterscene)");
  auto valid = [&c](int axis) {
    return axis >= 1 && axis <= c.axiscount() && static_cast<int>(c.axes[static_cast<std::size_t>(axis - 1)].size()) >= c.size();
  };
  if (!valid(xaxis) || (yaxis != 0 && !valid(yaxis)))
    errorstop("Error: the coordinates hold " + std::to_string(c.axiscount()) + " axes, not axes " +
              std::to_string(xaxis) + " and " + std::to_string(yaxis) + " (scatterscene)");
  const std::vector<double>& xs = c.axes[static_cast<std::size_t>(xaxis - 1)];
  const std::vector<double> zeros(static_cast<std::size_t>(n), 0.0);
  const std::vector<double>& ys = yaxis ? c.axes[static_cast<std::size_t>(yaxis - 1)] : zeros;

  // Named members, not a structured binding: clang before 16 cannot capture one in a lambda.
  const Ranges r = ranges(xs, ys, static_cast<std::size_t>(n));
  const Range &x = r.x, &y = r.y;
  const double longer = r.longer, scale = style.side / longer;  // points a unit, on both axes

  const double ticksize = style.fontsize * 0.9;
  const double step = roundstep(longer, 8);
  const auto [xfirst, xlast] = ticks(x, step);
  auto [yfirst, ylast] = ticks(y, step);
  if (yaxis == 0) yfirst = 1, ylast = 0;
  double labelwidth = 0;
  for (long long k = yfirst; k <= ylast; ++k) labelwidth = std::max(labelwidth, textwidth(ticktext(k, step), ticksize));

  Scene s;
  Geometry& g = s.geometry;
  const double titleheight = style.title.empty() ? 0 : style.fontsize * 1.8;
  g.framex = kMargin + style.fontsize * 1.5 + labelwidth + kTick + 3;
  g.framey = kMargin + titleheight + style.fontsize;
  g.framew = x.span() * scale;
  g.frameh = y.span() * scale;
  g.radius = style.radius;
  const double right = g.framex + g.framew, bottom = g.framey + g.frameh;
  auto px = [&](double v) { return g.framex + (v - x.lo) * scale; };
  auto py = [&](double v) { return g.framey + (y.hi - v) * scale; };

  auto& items = s.items;
  items.emplace_back(Begin{"scatter"});
  if (!style.title.empty())
    items.emplace_back(Text{g.framex + g.framew / 2, kMargin + style.fontsize * 1.2, style.title, style.fontsize * 1.2,
                            Anchor::Middle});
  // The lines through the origin, under everything else.
  if (x.lo < 0 && x.hi > 0) items.emplace_back(Line{{{px(0), g.framey}, {px(0), bottom}}, kOrigin, 0.75});
  if (yaxis && y.lo < 0 && y.hi > 0) items.emplace_back(Line{{{g.framex, py(0)}, {right, py(0)}}, kOrigin, 0.75});
  items.emplace_back(Rect{g.framex, g.framey, g.framew, g.frameh, kNone, kFrameColour, 1});
  for (long long k = xfirst; k <= xlast; ++k) {
    const double at = px(static_cast<double>(k) * step);
    items.emplace_back(Line{{{at, bottom}, {at, bottom + kTick}}, kFrameColour, 1});
    items.emplace_back(Text{at, bottom + kTick + ticksize * 1.1, ticktext(k, step), ticksize, Anchor::Middle});
  }
  for (long long k = yfirst; k <= ylast; ++k) {
    const double at = py(static_cast<double>(k) * step);
    items.emplace_back(Line{{{g.framex - kTick, at}, {g.framex, at}}, kFrameColour, 1});
    items.emplace_back(Text{g.framex - kTick - 2, at + ticksize * 0.35, ticktext(k, step), ticksize, Anchor::End});
  }
  const double xtitle = bottom + kTick + ticksize * 1.2 + style.fontsize * 1.5;
  items.emplace_back(Text{g.framex + g.framew / 2, xtitle, axistitle(c, xaxis), style.fontsize, Anchor::Middle});
  if (yaxis) {
    Text t{kMargin + style.fontsize, g.framey + g.frameh / 2, axistitle(c, yaxis), style.fontsize, Anchor::Middle};
    t.rotation = -90;
    items.emplace_back(std::move(t));
  }

  g.points.reserve(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) g.points.push_back({px(xs[i]), py(ys[i])});
  s.width = std::max(right, g.framex + textwidth(axistitle(c, xaxis), style.fontsize)) + kMargin;
  markers(s, c.names, style);
  items.emplace_back(End{});
  s.height = xtitle + style.fontsize * 0.4 + kMargin;
  if (!style.groups.empty()) {
    const auto [legendright, legendbottom] = grouplegend(s, style.groups, s.width, g.framey, style.fontsize);
    s.width = legendright + kMargin;
    s.height = std::max(s.height, legendbottom + kMargin);
  }
  return s;
}

void writepcoapicture(const std::string& coordinatespath, const std::string& svgpath) {
  const Coordinates c = readcoordinates(coordinatespath);
  writesvg(scatterscene(c, 1, c.axiscount() >= 2 ? 2 : 0), svgpath);
}

}  // namespace lorvane::drawing
