// The picture of a result: the scene's rows, colours and support labels, the
// SVG as XML, large tables as one image; the Newick reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "drawing/groups.h"
#include "drawing/scatter.h"
#include "drawing/scene.h"
#include "testutil.h"

namespace lorvane::drawing {
namespace {

using test::readfile;

const std::string kData = LORVANE_TEST_DATA "/trees/";

Tree parse(const std::string& text) { return readnewick(text, "test"); }

template <class T>
std::vector<const T*> itemsof(const Scene& s) {
  std::vector<const T*> out;
  for (const Item& item : s.items)
    if (const T* p = std::get_if<T>(&item)) out.push_back(p);
  return out;
}

// The leaves under each node, and the side of its edge without leaf 0
// (the split, which re-rooting keeps).
std::set<std::string> under(const Tree& t, int v) {
  if (t.nodes[static_cast<std::size_t>(v)].children.empty()) return {t.names[static_cast<std::size_t>(v)]};
  std::set<std::string> out;
  for (int c : t.nodes[static_cast<std::size_t>(v)].children) out.merge(under(t, c));
  return out;
}
std::set<std::string> split(const Tree& t, int v) {
  std::set<std::string> side = under(t, v);
  if (!side.count(t.names[0])) return side;
  std::set<std::string> other;
  for (const std::string& n : t.names)
    if (!side.count(n)) other.insert(n);
  return other;
}

// Every node but the root is its parent's child, every leaf is reached once.
void expectwhole(const Tree& t) {
  for (int v = 0; v < static_cast<int>(t.nodes.size()); ++v) {
    const int p = t.nodes[static_cast<std::size_t>(v)].parent;
    if (v == t.root) {
      EXPECT_EQ(p, -1);
      continue;
    }
    ASSERT_GE(p, 0) << v;
    const auto& c = t.nodes[static_cast<std::size_t>(p)].children;
    EXPECT_EQ(std::count(c.begin(), c.end(), v), 1) << v;
  }
  std::vector<int> tips = tiporder(t);
  std::sort(tips.begin(), tips.end());
  EXPECT_EQ(tips.size(), static_cast<std::size_t>(t.leaves()));
  EXPECT_EQ(std::unique(tips.begin(), tips.end()), tips.end());
}

TEST(Newick, ReadsWhatItWritesAndOtherForms) {
  for (const char* file : {"integers.matD.nj.nwk", "integers.matD.upgma.nwk", "negative.matD.nj.nwk"}) {
    const std::string text = readfile(kData + file);
    EXPECT_EQ(newick(parse(text)), text) << file;
  }
  const Tree t = parse(" [a comment] ('A B':1.5,'it''s':2e-1,(x_y:1,\r\nz)87.5:3)root;");
  EXPECT_EQ(t.names, (std::vector<std::string>{"A B", "it's", "x_y", "z"}));
  EXPECT_FALSE(t.rooted);
  EXPECT_EQ(t.nodes[1].length, 0.2);
  EXPECT_EQ(t.nodes[static_cast<std::size_t>(t.nodes[2].parent)].support, 87.5);
  EXPECT_TRUE(std::isnan(t.nodes[static_cast<std::size_t>(t.root)].support));
  for (const char* bad : {"(A,B", "(A,B));", "(A:x,B);", "(A,B)"})
    EXPECT_NE(test::errorstopof([&] { parse(bad); }).find("(readnewick)"), std::string::npos) << bad;
}

// A table in an order other than the tree's.
DistanceTable smalltable() {
  DistanceTable t;
  t.names = {"D", "C", "B", "A"};
  // D-C 0.2, D-B 0.6, C-B 0.5, D-A 0.8, C-A 0.7, B-A 0.1
  t.lower = {0.2, 0.6, 0.5, 0.8, 0.7, 0.1};
  return t;
}

TEST(Layout, RowsFollowTheTreeAndColoursTheValues) {
  const Tree tree = parse("((A:0.05,B:0.05)80:0.3,(C:0.1,D:0.1)40:0.3);");
  const DistanceTable table = smalltable();
  const Scene s = layout(&tree, &table);
  const Geometry& g = s.geometry;
  EXPECT_EQ(g.tips, tiporder(tree));
  EXPECT_EQ(g.tablerows, (std::vector<int>{3, 2, 1, 0}));
  std::vector<std::string> names;
  for (const Text* t : itemsof<Text>(s))
    if (t->node >= 0 && t->node < tree.leaves()) names.push_back(t->text);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(g.low, 0);
  EXPECT_EQ(g.high, 0.8);
  // Cells row by row; (row, column, value).
  const auto cells = itemsof<Rect>(s);
  ASSERT_GE(cells.size(), 16u);
  const struct {
    int row, column;
    double value;
  } known[] = {{0, 0, 0}, {0, 3, 0.8}, {3, 0, 0.8}, {0, 1, 0.1}, {2, 3, 0.2}, {1, 2, 0.5}};
  for (const auto& k : known) {
    const Rect* r = cells[static_cast<std::size_t>(k.row * 4 + k.column)];
    EXPECT_EQ(r->fill, viridis(k.value / 0.8)) << k.row << "," << k.column;
    EXPECT_DOUBLE_EQ(r->y, g.top + k.row * g.rowheight);
    EXPECT_DOUBLE_EQ(r->x, g.mapx + k.column * g.cellwidth);
  }
  EXPECT_EQ(viridis(0), (Colour{68, 1, 84, 255}));
  EXPECT_EQ(viridis(1), (Colour{253, 231, 37, 255}));
  // Support at the threshold shows, below it does not.
  std::vector<std::string> support;
  for (const Text* t : itemsof<Text>(s))
    if (t->node >= tree.leaves()) support.push_back(t->text);
  EXPECT_EQ(support, (std::vector<std::string>{"80"}));
  Style low;
  low.supportthreshold = 40;
  EXPECT_EQ(itemsof<Text>(layout(&tree, &table, low)).size(), itemsof<Text>(s).size() + 1);
}

TEST(Layout, GroupsColourTipsAndPointsWithALegend) {
  const Tree tree = parse("((A:0.05,B:0.05)80:0.3,(C:0.1,D:0.1)40:0.3);");
  Style style;  // D belongs to no group: it stays black
  style.groups = groupcolours({"A", "B", "C"}, {"north", "south", "north"}, "region");
  const Scene s = layout(&tree, nullptr, style);
  std::map<std::string, Colour> tips;
  for (const Text* t : itemsof<Text>(s))
    if (t->node >= 0 && t->node < tree.leaves()) tips[t->text] = t->colour;
  const std::map<std::string, Colour> want{
      {"A", groupcolour(0)}, {"B", groupcolour(1)}, {"C", groupcolour(0)}, {"D", kBlack}};
  EXPECT_EQ(tips, want);
  std::set<std::tuple<int, int, int>> distinct;  // no two of many groups share a colour, none is white
  for (int k = 0; k < 60; ++k) {
    const Colour c = groupcolour(k);
    distinct.emplace(c.r, c.g, c.b);
    EXPECT_LT(c.r + c.g + c.b, 3 * 240) << k;
  }
  EXPECT_EQ(distinct.size(), 60u);
  std::vector<std::string> legend;
  for (const Text* t : itemsof<Text>(s))
    if (t->node < 0) legend.push_back(t->text);
  ASSERT_GE(legend.size(), 3u);  // after the scale bar's length
  EXPECT_EQ(std::vector<std::string>(legend.end() - 3, legend.end()),
            (std::vector<std::string>{"region", "north", "south"}));
  for (const Text* t : itemsof<Text>(s)) EXPECT_LE(t->x + textwidth(t->text, t->size), s.width) << t->text;
  // Beside a heat map, a margin of the rows' colours in the tips' order (none for D), between the names and the map.
  const DistanceTable table = smalltable();
  const Scene m = layout(&tree, &table, style);
  std::vector<std::pair<double, Colour>> margin;
  for (const Rect* r : itemsof<Rect>(m))
    if (r->x < m.geometry.mapx && r->y >= m.geometry.top && r->fill.a) margin.emplace_back(r->y, r->fill);
  ASSERT_EQ(margin.size(), 3u);
  for (const auto& [y, fill] : margin) {
    const auto row = std::lround((y - m.geometry.top) / m.geometry.rowheight);
    EXPECT_EQ(fill, want.at(tree.names[static_cast<std::size_t>(m.geometry.tips[static_cast<std::size_t>(row)])])) << row;
  }

  ScatterStyle scatter;
  scatter.groups = style.groups;
  Coordinates c;
  c.names = {"A", "B", "C", "D"};
  c.axes = {{0, 1, 2, 3}, {1, 0, 1, 0}};
  std::vector<Colour> fills;
  const Scene points = scatterscene(c, 1, 2, scatter);  // kept: the items point into it
  for (const Circle* p : itemsof<Circle>(points)) fills.push_back(p->fill);
  ASSERT_EQ(fills.size(), 4u);
  EXPECT_EQ(fills[0], fills[2]);
  EXPECT_NE(fills[0], fills[1]);
  EXPECT_NE(fills[3], fills[0]);
  EXPECT_NE(fills[3], fills[1]);
}

TEST(Layout, SupportStaysOnItsEdgeAfterReRooting) {
  const Tree tree = parse("(A:1,B:1,((C:1,D:1)90:1,(E:1,(F:1,G:1)55:1)70:1)60:1);");
  std::map<std::set<std::string>, double> before;
  for (int v = tree.leaves(); v < static_cast<int>(tree.nodes.size()); ++v)
    if (!std::isnan(tree.nodes[static_cast<std::size_t>(v)].support))
      before[split(tree, v)] = tree.nodes[static_cast<std::size_t>(v)].support;
  // Each label shows the support its split had, at its node.
  auto expectlabels = [&](const Tree& t, int e) {
    const Scene s = layout(&t, nullptr);
    int labels = 0;
    for (const Text* x : itemsof<Text>(s)) {
      if (x->node < t.leaves()) continue;
      ++labels;
      EXPECT_EQ(x->text, percenttext(before.at(split(t, x->node)))) << e;
      const Point p = s.geometry.nodes[static_cast<std::size_t>(x->node)];
      EXPECT_DOUBLE_EQ(x->x, p.x - 2);
      EXPECT_DOUBLE_EQ(x->y, p.y - 2);
    }
    EXPECT_EQ(labels, 4) << e;
    // Lengths between leaves are kept.
    double total = 0, totalbefore = 0;
    for (const auto& n : t.nodes) total += n.length;
    for (const auto& n : tree.nodes) totalbefore += n.length;
    EXPECT_DOUBLE_EQ(total, totalbefore);
  };
  // On the edge above every node, leaves and internal nodes, then again
  // (the former root's two edges become one).
  for (int e = 0; e < static_cast<int>(tree.nodes.size()); ++e) {
    if (e == tree.root) continue;
    const Tree t = reroot(tree, e);
    ASSERT_TRUE(t.rooted);
    EXPECT_EQ(t.nodes[static_cast<std::size_t>(t.root)].children.size(), 2u);
    EXPECT_EQ(t.nodes.size(), tree.nodes.size() + 1);
    expectwhole(t);
    expectlabels(t, e);
    const Tree again = reroot(t, 6);
    EXPECT_EQ(again.nodes.size(), t.nodes.size()) << e;
    expectwhole(again);
    expectlabels(again, e);
  }
  // Collapsing below 60 removes the 55 edge: F and G hang from the 70 node.
  const Tree c = collapse(tree, 60);
  expectwhole(c);
  EXPECT_EQ(c.nodes.size(), tree.nodes.size() - 1);
  EXPECT_EQ(c.nodes[5].parent, c.nodes[4].parent);
  EXPECT_EQ(c.nodes[5].length, 2);
  EXPECT_EQ(newick(collapse(tree, 0)), newick(tree));
}

TEST(Svg, ParsesAsXmlAndHoldsEveryTipName) {
  test::TempDir dir;
  const Tree tree = parse("(('a<b':1,'c&d':1)99:1,'\"q\"':1,'é':2);");
  DistanceTable table;
  table.names = {"a<b", "c&d", "\"q\"", "é"};
  table.lower = {1, 2, 3, 4, 5, 6};
  writesvg(layout(&tree, &table), dir / "t.svg");
  const std::vector<std::string> texts = test::svgtexts(dir / "t.svg");
  for (const std::string& name : table.names) EXPECT_GE(std::count(texts.begin(), texts.end(), name), 1) << name;
  EXPECT_EQ(readfile(dir / "t.svg").find('\n'), readfile(dir / "t.svg").find("\r\n") + 1);
  EXPECT_EQ(test::listfolder(dir.path()), (std::vector<std::string>{"t.svg"}));
}

// A balanced tree over n leaves.
Tree balanced(int n) {
  Tree t;
  for (int i = 0; i < n; ++i) {
    t.names.push_back("strain" + std::to_string(i));
    t.add(-1);
  }
  std::vector<int> level(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) level[static_cast<std::size_t>(i)] = i;
  while (level.size() > 1) {
    std::vector<int> next;
    for (std::size_t k = 0; k < level.size(); k += 2) {
      if (k + 1 == level.size()) {
        next.push_back(level[k]);
        continue;
      }
      const int v = t.add(-1);
      for (int c : {level[k], level[k + 1]}) {
        t.nodes[static_cast<std::size_t>(c)].parent = v;
        t.nodes[static_cast<std::size_t>(c)].length = 0.01;
        t.nodes[static_cast<std::size_t>(v)].children.push_back(c);
      }
      t.nodes[static_cast<std::size_t>(v)].support = 75;
      next.push_back(v);
    }
    level = std::move(next);
  }
  t.root = level[0];
  t.nodes[static_cast<std::size_t>(t.root)].support = std::numeric_limits<double>::quiet_NaN();
  t.rooted = true;
  return t;
}

// The picture of `tree --svg` is the layout of the tree it wrote and its table.
TEST(Svg, TreeVerbDrawsTheRunsTreeBesideItsTable) {
  test::TempDir dir;
  const std::string table = dir / "t.matD";
  test::writefile(table, readfile(kData + "integers.matD"));
  test::writefile(dir / "reps", readfile(kData + "integers.matD.reps"));
  auto r = test::runprogram(std::string(LORVANE_CLI) + " tree --quiet --support reps --svg p.svg t.matD", dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const Tree tree = readnewick(readfile(table + ".nwk"), "t");
  const DistanceTable t = readtables(table).front();
  std::string expected;
  for (char c : svg(layout(&tree, &t))) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(readfile(dir / "p.svg"), expected);
  EXPECT_NE(expected.find(">I1</text>"), std::string::npos);
  // A picture that cannot be written fails the verb and keeps the tree.
  r = test::runprogram(std::string(LORVANE_CLI) + " tree --quiet --svg no/p.svg t.matD", dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: can't open output file " + (dir / "no/p.svg") + " (writesvg): No such file or directory\n");
  EXPECT_TRUE(test::exists(table + ".nwk"));
}

TEST(Svg, FiveThousandStrainsBecomeOneImage) {
  constexpr int n = 5000;
  const Tree tree = balanced(n);
  DistanceTable table;
  table.names = tree.names;
  table.lower.resize(Triangle::cells(n));
  std::mt19937 random(7);
  std::uniform_real_distribution<double> u(0, 1);
  for (double& v : table.lower) v = u(random);
  const Scene s = layout(&tree, &table);
  EXPECT_LT(itemsof<Rect>(s).size(), 10u);
  const auto images = itemsof<Image>(s);
  ASSERT_EQ(images.size(), 2u);  // the heat map and the legend's bar
  EXPECT_EQ(images[0]->columns, 1000);
  EXPECT_DOUBLE_EQ(images[0]->w, s.geometry.mapw);
  EXPECT_LT(svg(s).size(), 20u << 20);
}

}  // namespace
}  // namespace lorvane::drawing
