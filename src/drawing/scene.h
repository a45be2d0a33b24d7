#pragma once
// The picture of a result, laid out once and drawn by several renderers (SVG
// here, the screen in the desktop): a dendrogram with tip names, support and
// a scale bar, beside a heat map of the distances in the tree's tip order;
// or a scatter of principal coordinates (drawing/scatter.h).
//
// Coordinates are in points, x to the right and y down, the origin at the
// top left corner of the picture. Items are drawn in their order.
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "tables/distancetable.h"
#include "trees/tree.h"

namespace lorvane::drawing {

struct Colour {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;  // a = 0: nothing is drawn
  bool operator==(const Colour&) const = default;
};
constexpr Colour kNone{0, 0, 0, 0};
constexpr Colour kBlack{0, 0, 0, 255};

struct Point {
  double x = 0, y = 0;
};

// A polyline of at least two points. `node`: the tree node whose edge it
// draws (-1 for anything else).
struct Line {
  std::vector<Point> points;
  Colour colour = kBlack;
  double width = 1;
  int node = -1;
};

// A rectangle filled and/or stroked (kNone for either leaves it out).
struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
  Colour fill = kNone;
  Colour stroke = kNone;
  double strokewidth = 1;
};

// Pixels stretched over a rectangle, rows top to bottom, 4 bytes (RGBA) a
// pixel, drawn without smoothing.
struct Image {
  double x = 0, y = 0, w = 0, h = 0;
  int columns = 0, rows = 0;
  std::vector<std::uint8_t> rgba;
};

enum class Anchor { Start, Middle, End };

// One line of text; (x, y) is the point on its baseline at the anchor.
// `node`: the tree node it labels (tip name or support), -1 otherwise.
struct Text {
  double x = 0, y = 0;
  std::string text;  // UTF-8
  double size = 10;  // font size in points
  Anchor anchor = Anchor::Start;
  Colour colour = kBlack;
  int node = -1;
  double rotation = 0;  // degrees clockwise about (x, y)
};

// A round marker. `point`: the index of the point it marks in a scatter
// (-1 for anything else).
struct Circle {
  Point centre;
  double radius = 3;
  Colour fill = kNone;
  Colour stroke = kBlack;
  double strokewidth = 1;
  int point = -1;
};

// Items between a Begin and its End belong together (the tree, the heat
// map, the legend); renderers may use the name or ignore it.
struct Begin {
  std::string name;
};
struct End {};

using Item = std::variant<Line, Rect, Image, Text, Begin, End, Circle>;

// Where the items were put, for hit tests and highlights on screen.
struct Geometry {
  // Leaf indices of the tree (or table rows without a tree) from top to
  // bottom, and the y of the middle of each row.
  std::vector<int> tips;
  double top = 0;         // y of the top of the first row
  double rowheight = 0;   // rows and heat map cells are rowheight high
  // The heat map's cells: column k and row k are tips[k]; cellwidth wide.
  // Empty (w = 0) without a table.
  double mapx = 0, mapy = 0, mapw = 0, maph = 0, cellwidth = 0;
  // The table row of each tip row (-1 when the table does not hold it).
  std::vector<int> tablerows;
  // Colour scale: the values at the two ends of the colour map.
  double low = 0, high = 1;
  // Each tree node's position (x of the node, y of its row or the middle of
  // its children); empty without a tree.
  std::vector<Point> nodes;
  // A scatter: the centre of each point's marker (in the order of the
  // strains) and its radius, and the plot frame the points lie in.
  std::vector<Point> points;
  double radius = 0;
  double framex = 0, framey = 0, framew = 0, frameh = 0;
};

struct Scene {
  double width = 0, height = 0;
  Colour background{255, 255, 255, 255};
  std::vector<Item> items;
  Geometry geometry;
};

// Strains coloured by their group at one level (drawing/groups.h).
struct GroupColours {
  std::string level;                           // the level's name, the legend's title
  std::vector<std::string> groups;             // in the order they first appear
  std::map<std::string, std::string> groupof;  // strain name -> its group
  bool empty() const { return groups.empty(); }
  // The colour of a strain's group; black for a strain of no group.
  Colour of(const std::string& name) const;
};

struct Style {
  double rowheight = 12;      // points a row, shrunk to fit maxheight
  double maxheight = 8000;    // the rows together at most this high
  double fontsize = 10;       // tip names; smaller when rows are
  double treewidth = 300;     // the dendrogram, from root to deepest tip
  double supportthreshold = 50;  // support below this (percent) is hidden
  bool showsupport = true;
  // Tables of more rows than this become one image of averaged cells.
  int cellrows = 200;
  // The image is at most this many pixels a side.
  int imagepixels = 1000;
  std::string title;
  // Tip names coloured by group, with a legend of the groups; none when empty.
  GroupColours groups;
};

// The picture of a tree, a table, or both (either may be null). With both,
// the heat map's rows follow the tree's tips, matched by name; the tree's
// tips the table does not hold get empty rows. Error stop when both are
// null.
Scene layout(const Tree* tree, const DistanceTable* table, const Style& style = {});

// Text width estimate shared by every renderer: each character (UTF-8 code
// point) is 0.6 of the font size wide, the advance of a typical sans-serif
// digit; renderers do not measure, so that the layout is the same
// everywhere.
double textwidth(const std::string& text, double size);

// The colour map: viridis (perceptually uniform), t from 0 to 1 (clamped);
// NaN gives light grey.
Colour viridis(double t);

// Tree operations of the viewer.
// Leaf indices from top to bottom as drawn: children in their order.
std::vector<int> tiporder(const Tree& t);
// The tree rooted on the middle of the edge above `node` (not the root):
// a new root with two children, each half the edge's length. Every edge
// keeps its support: an edge whose direction turns carries it to the node
// now below it. A former root left with one child is dissolved, its two
// edges joined into one (lengths added, the support of the edge that had
// one). The result is rooted.
Tree reroot(const Tree& t, int node);
// Internal edges of support below `threshold` (NaN support counts as none
// and stays) removed: their children hang from the node above, lengths
// added.
Tree collapse(const Tree& t, double threshold);

// SVG text of a scene (the image as an embedded base64 PNG), and writing it
// under a temporary name then renaming it. Error stop when the file cannot
// be written.
std::string svg(const Scene& scene);
void writesvg(const Scene& scene, const std::string& path);

// A PNG file of RGBA pixels (8 bits a channel, rows top to bottom).
std::string png(int width, int height, const std::vector<std::uint8_t>& rgba);

}  // namespace lorvane::drawing
