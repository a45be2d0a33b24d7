// The scatter of principal coordinates: the coordinates and eigenvalue
// files read back or refused, the layout's invariants, and its SVG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>

#include "drawing/scatter.h"
#include "testutil.h"

namespace lorvane::drawing {
namespace {

std::vector<const Text*> textsof(const Scene& s) {
  std::vector<const Text*> out;
  for (const Item& item : s.items)
    if (const auto* t = std::get_if<Text>(&item)) out.push_back(t);
  return out;
}

std::string replaced(const std::string& s, const std::string& what, const std::string& by) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, from)) {
    out.append(s, from, at - from).append(by);
    from = at + what.size();
  }
  return out.append(s, from);
}

TEST(Scatter, ReadsCoordinatesAndSharesOrNamesTheFault) {
  const std::string kHead = "name,axis1,axis2\r\n", kEig = "axis,eigenvalue,share,cumulative\r\n";
  struct Case {
    std::string pcoa;
    std::optional<std::string> eig;  // none: no eigenvalue file
    std::string error;               // @P and @E stand for the paths
    std::vector<std::string> names = {};
    std::vector<std::vector<double>> axes = {};
    std::vector<double> shares = {};
  };
  const Case cases[] = {
      {kHead + "\"a,\"\"b\"\"\",0.5,-1e-3\r\n\" c \",-0.25,2\r\n\r\n",
       kEig + "1,4.5,0.6,0.6\r\n2,3,0.4,1\r\n",
       "",
       {"a,\"b\"", " c "},
       {{0.5, -0.25}, {-0.001, 2}},
       {0.6, 0.4}},
      {"name,axis1\nx,1\ny,2", std::nullopt, "", {"x", "y"}, {{1, 2}}},
      {"", std::nullopt, "Error: @P: the file is empty (readcoordinates)"},
      {"id,axis1,axis2\r\na,1,2\r\n", std::nullopt, "Error: @P, line 1: the header is not name,axis1,axis2,... (readcoordinates)"},
      {"name,axis2\r\n", std::nullopt, "Error: @P, line 1: the header is not name,axis1,axis2,... (readcoordinates)"},
      {kHead, std::nullopt, "Error: @P: no strain in the file (readcoordinates)"},
      {kHead + "a,1,2\r\n\r\nb,1\r\n", std::nullopt, "Error: @P, line 4: 2 fields where the header has 3 (readcoordinates)"},
      {kHead + "\"a,1,2\r\n", std::nullopt, "Error: @P, line 2: 1 field where the header has 3 (readcoordinates)"},
      {kHead + "a,1,nan\r\n", std::nullopt, "Error: @P, line 2: \"nan\" is not a number (readcoordinates)"},
      {kHead + "a,1e999,1\r\n", std::nullopt, "Error: @P, line 2: \"1e999\" is not a number (readcoordinates)"},
      {kHead + std::string("a\0,1,2\r\n", 8), std::nullopt, "", {std::string("a\0", 2)}, {{1}, {2}}},
      {kHead + "a,1,2\r\n", "axis,eigenvalue,share\r\n1,2,1\r\n",
       "Error: @E, line 1: the header is not axis,eigenvalue,share,cumulative (readcoordinates)"},
      {kHead + "a,1,2\r\n", kEig + "1,2,0.5,0.5\r\n3,1,0.5,1\r\n",
       "Error: @E, line 3: axis \"3\" where axis 2 is due (readcoordinates)"},
      {kHead + "a,1,2\r\n", kEig + "1,2,half,0.5\r\n", "Error: @E, line 2: \"half\" is not a number (readcoordinates)"},
      {kHead + "a,1,2\r\n", kEig + "1,2,0.5\r\n", "Error: @E, line 2: 3 fields where the header has 4 (readcoordinates)"},
      {kHead + "a,1,2\r\n", kEig + "1,2,0.7,0.7\r\n", "", {"a"}, {{1}, {2}}, {0.7}},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string p = dir / "t.pcoa.csv", e = dir / "t.eig.csv";
    test::writefile(p, c.pcoa);
    if (c.eig) test::writefile(e, *c.eig);
    Coordinates got;
    const std::string error = test::errorstopof([&] { got = readcoordinates(p); });
    SCOPED_TRACE(c.pcoa);
    EXPECT_EQ(error, replaced(replaced(c.error, "@P", p), "@E", e));
    if (!error.empty()) continue;
    EXPECT_EQ(got.names, c.names);
    EXPECT_EQ(got.axes, c.axes);
    EXPECT_EQ(got.shares, c.shares);
  }
  EXPECT_EQ(test::errorstopof([] { readcoordinates("/no/such.pcoa.csv"); }),
            "Error: can't open coordinates file /no/such.pcoa.csv (readcoordinates): No such file or directory");
  EXPECT_EQ(eigenvaluepath("d/x.matD.pcoa.csv"), "d/x.matD.eig.csv");
  EXPECT_EQ(eigenvaluepath("x.csv"), "");
}

// Coordinates of n strains spread `wide` across and `high` up about (cx, cy).
Coordinates spread(int n, double wide, double high, double cx = 0, double cy = 0) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> u(-0.5, 0.5);
  Coordinates c;
  c.axes.resize(3);
  for (int i = 0; i < n; ++i) {
    c.names.push_back(std::string(1, 's').append(std::to_string(i)));
    c.axes[0].push_back(cx + wide * u(random));
    c.axes[1].push_back(cy + high * u(random));
    c.axes[2].push_back(u(random));
  }
  return c;
}

TEST(Scatter, PointsLieInTheFrameOnOneScaleWithTheirTicks) {
  struct Case {
    const char* what;
    Coordinates c;
    int yaxis = 2;
  };
  const Case cases[] = {
      {"five strains", spread(5, 1, 0.6)},
      {"fifty-one strains", spread(51, 0.02, 0.015)},
      {"a flat cloud", spread(200, 40, 1e-4, 100, -3)},
      {"a tall cloud", spread(30, 1e-3, 5)},
      {"one strain", spread(1, 0, 0, 0.25, -0.5)},
      {"all at one place", spread(4, 0, 0, 3, 3)},
      {"all at the origin", spread(3, 0, 0)},
      {"one axis", spread(8, 2, 0), 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const Coordinates& c = k.c;
    const Scene s = scatterscene(c, 1, k.yaxis);
    const Geometry& g = s.geometry;
    ASSERT_EQ(g.points.size(), c.names.size());
    // The frame's shorter side at least half the longer.
    EXPECT_GE(std::min(g.framew, g.frameh), std::max(g.framew, g.frameh) / 2 - 1e-9);
    EXPECT_LE(g.framex + g.framew, s.width);
    EXPECT_LE(g.framey + g.frameh, s.height);

    // Ticks: value and position of each (x ticks below the frame, y ticks
    // left of it); both give the same points a unit.
    std::vector<std::pair<double, double>> xt, yt;
    for (const Text* t : textsof(s)) {
      char* end = nullptr;
      const double v = std::strtod(t->text.c_str(), &end);
      if (end == t->text.c_str() || *end) continue;
      if (t->anchor == Anchor::Middle && t->y > g.framey + g.frameh) xt.emplace_back(v, t->x);
      if (t->anchor == Anchor::End && t->x < g.framex) yt.emplace_back(v, t->y);
    }
    ASSERT_GE(xt.size(), 2u);
    const double unit = (xt.back().second - xt.front().second) / (xt.back().first - xt.front().first);
    ASSERT_GT(unit, 0);
    EXPECT_EQ(yt.empty(), k.yaxis == 0);
    for (const auto& [v, at] : xt) EXPECT_NEAR(at, xt[0].second + (v - xt[0].first) * unit, 1e-6);
    for (const auto& [v, at] : yt) EXPECT_NEAR(at, yt[0].second - (v - yt[0].first) * unit, 1e-6);

    std::size_t circles = 0;
    for (const Item& item : s.items)
      if (const auto* m = std::get_if<Circle>(&item)) {
        ASSERT_GE(m->point, 0);
        EXPECT_EQ(m->centre.x, g.points[static_cast<std::size_t>(m->point)].x);
        EXPECT_EQ(m->centre.y, g.points[static_cast<std::size_t>(m->point)].y);
        ++circles;
      }
    EXPECT_EQ(circles, c.names.size());
    for (std::size_t i = 0; i < g.points.size(); ++i) {
      const Point p = g.points[i];
      EXPECT_GT(p.x, g.framex + g.radius);
      EXPECT_LT(p.x, g.framex + g.framew - g.radius);
      EXPECT_GT(p.y, g.framey + g.radius);
      EXPECT_LT(p.y, g.framey + g.frameh - g.radius);
      // Where the ticks say the point is, on both axes.
      EXPECT_NEAR(p.x, xt[0].second + (c.axes[0][i] - xt[0].first) * unit, 1e-6 * s.width);
      if (!yt.empty()) {
        EXPECT_NEAR(p.y, yt[0].second - 0.35 * 9 - (c.axes[1][i] - yt[0].first) * unit, 1e-6 * s.width);
      }
    }
    // Names beside the points when there are few strains, none otherwise.
    std::size_t named = 0;
    for (const Text* t : textsof(s)) named += std::count(c.names.begin(), c.names.end(), t->text);
    EXPECT_EQ(named, c.names.size() <= 50 ? c.names.size() : 0u);
  }
}

TEST(Scatter, AxisTitlesCarryTheShares) {
  Coordinates c = spread(4, 1, 1);
  auto titles = [](const Scene& s) {
    std::vector<std::string> out;
    for (const Text* t : textsof(s))
      if (t->text.rfind("Axis", 0) == 0) out.push_back(t->text + (t->rotation ? " up" : ""));
    return out;
  };
  EXPECT_EQ(titles(scatterscene(c)), (std::vector<std::string>{"Axis 1", "Axis 2 up"}));
  c.shares = {0.2344, 0.12, 0.05};
  EXPECT_EQ(titles(scatterscene(c, 3, 1)), (std::vector<std::string>{"Axis 3 (5.0 %)", "Axis 1 (23.4 %) up"}));
  EXPECT_NE(test::errorstopof([&] { scatterscene(c, 1, 4); }), "");
  EXPECT_NE(test::errorstopof([&] { scatterscene(Coordinates{}); }), "");
}

TEST(Scatter, SvgOfACoordinatesFileEscapesTheNames) {
  test::TempDir dir;
  const std::vector<std::string> names{"a<b", "c&d", "\"q\"", "é", "x]]>y"};
  std::string text = "name,axis1,axis2\r\n";
  for (std::size_t i = 0; i < names.size(); ++i)
    text.append("\"").append(replaced(names[i], "\"", "\"\"")).append("\",").append(std::to_string(i)).append(",").append(std::to_string(i * i)).append("\r\n");
  test::writefile(dir / "t.pcoa.csv", text);
  test::writefile(dir / "t.eig.csv", "axis,eigenvalue,share,cumulative\r\n1,3,0.75,0.75\r\n2,1,0.25,1\r\n");
  writepcoapicture(dir / "t.pcoa.csv", dir / "t.svg");
  const std::vector<std::string> texts = test::svgtexts(dir / "t.svg");
  for (const std::string& name : names) EXPECT_EQ(std::count(texts.begin(), texts.end(), name), 1) << name;
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Axis 2 (25.0 %)"), 1);
  const std::string svg = test::readfile(dir / "t.svg");
  EXPECT_EQ(replaced(svg, "<circle ", "").size(), svg.size() - names.size() * 8);
  EXPECT_EQ(test::errorstopof([&] { writepcoapicture(dir / "t.pcoa.csv", dir / "no/t.svg"); }),
            "Error: can't open output file " + (dir / "no/t.svg") + " (writesvg): No such file or directory");
}

}  // namespace
}  // namespace lorvane::drawing
