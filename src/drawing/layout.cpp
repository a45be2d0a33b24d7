// Laying out the dendrogram and the heat map.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "core/messages.h"
#include "drawing/groups.h"
#include "drawing/scene.h"

namespace lorvane::drawing {

double textwidth(const std::string& text, double size) {
  std::size_t points = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++points;
  return 0.6 * size * static_cast<double>(points);
}

Colour viridis(double t) {
  // Viridis at ten evenly spaced points, linearly interpolated.
  static constexpr std::uint8_t kMap[10][3] = {{68, 1, 84},    {72, 40, 120},  {62, 73, 137},  {49, 104, 142},
                                               {38, 130, 142}, {31, 158, 137}, {53, 183, 121}, {110, 206, 88},
                                               {181, 222, 43}, {253, 231, 37}};
  if (std::isnan(t)) return {220, 220, 220, 255};
  const double s = std::clamp(t, 0.0, 1.0) * 9;
  const int i = std::min(8, static_cast<int>(s));
  const double f = s - i;
  Colour c;
  auto mix = [&](int k) {
    return static_cast<std::uint8_t>(std::lround(kMap[i][k] + f * (kMap[i + 1][k] - kMap[i][k])));
  };
  c.r = mix(0);
  c.g = mix(1);
  c.b = mix(2);
  return c;
}

namespace {

constexpr double kMargin = 10;
constexpr double kGap = 8;
constexpr Colour kGrey{90, 90, 90, 255};
constexpr Colour kLeader{200, 200, 200, 255};

std::string numbertext(double v) {
  char s[32];
  std::snprintf(s, sizeof s, "%.4g", v);
  return s;
}

// A round length near `about`: 1, 2 or 5 times a power of ten.
double roundlength(double about) {
  if (!(about > 0)) return 1;
  const double p = std::pow(10.0, std::floor(std::log10(about)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * p >= about) return m * p;
  return 10 * p;
}

class Builder {
 public:
  Builder(const Tree* tree, const DistanceTable* table, const Style& style)
      : tree_(tree), table_(table), style_(style) {}

  Scene build() {
    rows();
    double x = kMargin;
    double y = kMargin;
    if (!style_.title.empty()) {
      add(Text{x, y + style_.fontsize, style_.title, style_.fontsize * 1.2, Anchor::Start, kBlack, -1});
      y += style_.fontsize * 2;
    }
    g_.top = y;
    const int n = static_cast<int>(g_.tips.size());
    const double bottom = y + n * g_.rowheight;
    double right = x;
    if (tree_) {
      if (style_.showsupport) x += textwidth("100", supportsize());  // room for a label left of the root
      right = dendrogram(x, bottom);
      x = right + 4;
    }
    right = names(x);
    if (table_ && !style_.groups.empty()) right = groupmargin(right + kGap / 2);
    if (table_) right = heatmap(right + kGap, bottom);
    if (!style_.groups.empty()) right = grouplegend(right + kGap);
    scene_.width = right + kMargin;
    scene_.height = std::max(bottom + (tree_ ? 40 * big_ : 0), legendbottom_) + kMargin;
    scene_.geometry = std::move(g_);
    return std::move(scene_);
  }

 private:
  template <class T>
  void add(T item) {
    scene_.items.emplace_back(std::move(item));
  }
  double rowy(int row) const { return g_.top + (row + 0.5) * g_.rowheight; }
  double fontsize() const { return std::min(style_.fontsize, g_.rowheight * 0.85); }
  double supportsize() const { return std::max(1.0, fontsize() * 0.8); }
  const std::string& tipname(int tip) const {
    return tree_ ? tree_->names[static_cast<std::size_t>(tip)] : table_->names[static_cast<std::size_t>(tip)];
  }

  // The order of the rows, their height, and the table row of each.
  void rows() {
    if (tree_) {
      g_.tips = tiporder(*tree_);
    } else {
      g_.tips.resize(static_cast<std::size_t>(table_->size()));
      for (int i = 0; i < table_->size(); ++i) g_.tips[static_cast<std::size_t>(i)] = i;
    }
    const int n = static_cast<int>(g_.tips.size());
    g_.rowheight = style_.rowheight;
    if (n * g_.rowheight > style_.maxheight) g_.rowheight = style_.maxheight / n;
    // Tall pictures get a wider tree, and a larger legend and scale bar.
    const double height = n * g_.rowheight;
    treewidth_ = std::max(style_.treewidth, height / 2);
    big_ = std::max(1.0, height / 1000);
    if (!table_) return;
    if (!tree_) {
      g_.tablerows = g_.tips;
      return;
    }
    std::unordered_map<std::string, int> byname;
    for (int i = 0; i < table_->size(); ++i) byname.emplace(table_->names[static_cast<std::size_t>(i)], i);
    for (int tip : g_.tips) {
      const auto it = byname.find(tree_->names[static_cast<std::size_t>(tip)]);
      g_.tablerows.push_back(it == byname.end() ? -1 : it->second);
    }
  }

  // The tree from x; returns its right end.
  double dendrogram(double x0, double bottom) {
    const Tree& t = *tree_;
    std::vector<double> depth(t.nodes.size(), 0);
    std::vector<int> order{t.root}, stack{t.root};  // preorder
    order.clear();
    while (!stack.empty()) {
      const int v = stack.back();
      stack.pop_back();
      order.push_back(v);
      for (int c : t.nodes[static_cast<std::size_t>(v)].children) {
        depth[static_cast<std::size_t>(c)] =
            depth[static_cast<std::size_t>(v)] + std::max(0.0, t.nodes[static_cast<std::size_t>(c)].length);
        stack.push_back(c);
      }
    }
    double deepest = *std::max_element(depth.begin(), depth.end());
    if (!(deepest > 0)) deepest = 1;
    const double scale = treewidth_ / deepest;
    g_.nodes.assign(t.nodes.size(), Point{});
    for (std::size_t k = 0; k < g_.tips.size(); ++k)
      g_.nodes[static_cast<std::size_t>(g_.tips[k])].y = rowy(static_cast<int>(k));
    for (auto v = order.rbegin(); v != order.rend(); ++v) {
      const auto& node = t.nodes[static_cast<std::size_t>(*v)];
      Point& p = g_.nodes[static_cast<std::size_t>(*v)];
      p.x = x0 + depth[static_cast<std::size_t>(*v)] * scale;
      if (!node.children.empty())
        p.y = (g_.nodes[static_cast<std::size_t>(node.children.front())].y +
               g_.nodes[static_cast<std::size_t>(node.children.back())].y) / 2;
    }
    add(Begin{"tree"});
    for (int v : order) {
      const auto& node = t.nodes[static_cast<std::size_t>(v)];
      if (node.parent < 0) continue;
      const Point p = g_.nodes[static_cast<std::size_t>(node.parent)];
      const Point q = g_.nodes[static_cast<std::size_t>(v)];
      add(Line{{{p.x, p.y}, {p.x, q.y}, {q.x, q.y}}, kBlack, 1, v});
    }
    if (style_.showsupport) {
      const double size = supportsize();
      for (int v : order) {
        const auto& node = t.nodes[static_cast<std::size_t>(v)];
        if (node.parent < 0 || node.children.empty() || std::isnan(node.support) ||
            node.support < style_.supportthreshold)
          continue;
        const Point q = g_.nodes[static_cast<std::size_t>(v)];
        add(Text{q.x - 2, q.y - 2, percenttext(node.support), size, Anchor::End, kGrey, v});
      }
    }
    add(End{});
    // Light leaders from the tips to their names.
    add(Begin{"leaders"});
    for (int tip : g_.tips) {
      const Point q = g_.nodes[static_cast<std::size_t>(tip)];
      if (q.x + 4 < x0 + treewidth_) add(Line{{{q.x + 2, q.y}, {x0 + treewidth_, q.y}}, kLeader, 0.5, -1});
    }
    add(End{});
    // The scale bar: a round length near a fifth of the deepest tip.
    const double length = roundlength(deepest / 5);
    const double y = bottom + 16 * big_;
    add(Begin{"scale"});
    add(Line{{{x0, y}, {x0 + length * scale, y}}, kBlack, 1.5 * big_, -1});
    add(Text{x0 + length * scale / 2, y + 14 * big_, numbertext(length), style_.fontsize * big_, Anchor::Middle, kBlack,
             -1});
    add(End{});
    return x0 + treewidth_;
  }

  // The tip names from x; returns their right end.
  double names(double x) {
    const double size = fontsize();
    double widest = 0;
    add(Begin{"names"});
    for (std::size_t k = 0; k < g_.tips.size(); ++k) {
      const std::string& name = tipname(g_.tips[k]);
      widest = std::max(widest, textwidth(name, size));
      add(Text{x, rowy(static_cast<int>(k)) + 0.35 * size, name, size, Anchor::Start, style_.groups.of(name),
               tree_ ? g_.tips[k] : -1});
    }
    add(End{});
    return x + widest;
  }

  // Beside the heat map, a column of the rows' group colours (nothing for
  // a strain of no group); returns its right end.
  double groupmargin(double x) {
    const double width = std::max(3.0, g_.rowheight * 0.6);
    add(Begin{"groupmargin"});
    for (std::size_t k = 0; k < g_.tips.size(); ++k)
      if (const std::string& name = tipname(g_.tips[k]); style_.groups.groupof.count(name))
        add(Rect{x, g_.top + static_cast<double>(k) * g_.rowheight, width, g_.rowheight, style_.groups.of(name), kNone, 0});
    add(End{});
    return x + width;
  }

  double value(int row, int column) const {
    const int i = g_.tablerows[static_cast<std::size_t>(row)];
    const int j = g_.tablerows[static_cast<std::size_t>(column)];
    if (i < 0 || j < 0) return std::numeric_limits<double>::quiet_NaN();
    return (*table_)(i, j);
  }
  double scaled(double v) const { return (v - g_.low) / (g_.high - g_.low); }

  // The heat map and its legend from x; returns their right end.
  double heatmap(double x, double bottom) {
    const int n = static_cast<int>(g_.tips.size());
    g_.low = 0;
    g_.high = 0;
    bool any = false;
    for (double v : table_->lower)
      if (std::isfinite(v)) {
        g_.low = std::min(g_.low, v);
        g_.high = any ? std::max(g_.high, v) : std::max(0.0, v);
        any = true;
      }
    if (!(g_.high > g_.low)) g_.high = g_.low + 1;
    g_.cellwidth = g_.rowheight;
    g_.mapx = x;
    g_.mapy = g_.top;
    g_.mapw = n * g_.cellwidth;
    g_.maph = bottom - g_.top;
    add(Begin{"heatmap"});
    if (n <= style_.cellrows) {
      for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
          add(Rect{x + c * g_.cellwidth, g_.top + r * g_.rowheight, g_.cellwidth, g_.rowheight,
                   viridis(scaled(value(r, c))), kNone, 0});
    } else {
      add(averaged(n));
    }
    add(End{});
    return legend(x + g_.mapw + 2 * kGap);
  }

  // The heat map as pixels, each the mean of the cells it covers.
  Image averaged(int n) {
    const int p = std::min(n, std::max(1, style_.imagepixels));
    Image im{g_.mapx, g_.mapy, g_.mapw, g_.maph, p, p, {}};
    im.rgba.resize(static_cast<std::size_t>(p) * static_cast<std::size_t>(p) * 4);
    std::vector<int> edge(static_cast<std::size_t>(p) + 1);
    for (int k = 0; k <= p; ++k)
      edge[static_cast<std::size_t>(k)] = static_cast<int>(static_cast<long long>(k) * n / p);
    std::vector<double> sum(static_cast<std::size_t>(p));
    std::vector<int> count(static_cast<std::size_t>(p));
    for (int a = 0; a < p; ++a) {
      std::fill(sum.begin(), sum.end(), 0.0);
      std::fill(count.begin(), count.end(), 0);
      for (int r = edge[static_cast<std::size_t>(a)]; r < edge[static_cast<std::size_t>(a) + 1]; ++r)
        for (int b = 0; b < p; ++b)
          for (int c = edge[static_cast<std::size_t>(b)]; c < edge[static_cast<std::size_t>(b) + 1]; ++c) {
            const double v = value(r, c);
            if (std::isnan(v)) continue;
            sum[static_cast<std::size_t>(b)] += v;
            ++count[static_cast<std::size_t>(b)];
          }
      for (int b = 0; b < p; ++b) {
        const double mean = count[static_cast<std::size_t>(b)]
                                ? sum[static_cast<std::size_t>(b)] / count[static_cast<std::size_t>(b)]
                                : std::numeric_limits<double>::quiet_NaN();
        const Colour col = viridis(scaled(mean));
        std::uint8_t* px = &im.rgba[(static_cast<std::size_t>(a) * static_cast<std::size_t>(p) + static_cast<std::size_t>(b)) * 4];
        px[0] = col.r;
        px[1] = col.g;
        px[2] = col.b;
        px[3] = 255;
      }
    }
    return im;
  }

  // The colour bar: the high end at the top.
  double legend(double x) {
    constexpr int kSteps = 64;
    const double h = std::clamp(g_.maph, 60.0, 200.0 * big_);
    const double w = 12 * big_;
    const double y = g_.top;
    Image bar{x, y, w, h, 1, kSteps, {}};
    for (int k = 0; k < kSteps; ++k) {
      const Colour c = viridis(1.0 - (k + 0.5) / kSteps);
      bar.rgba.insert(bar.rgba.end(), {c.r, c.g, c.b, 255});
    }
    add(Begin{"legend"});
    add(std::move(bar));
    add(Rect{x, y, w, h, kNone, kGrey, 0.5});
    const double size = style_.fontsize * big_;
    add(Text{x + w + 4, y + 0.35 * size, numbertext(g_.high), size, Anchor::Start, kBlack, -1});
    add(Text{x + w + 4, y + h / 2 + 0.35 * size, numbertext((g_.low + g_.high) / 2), size, Anchor::Start, kBlack, -1});
    add(Text{x + w + 4, y + h + 0.35 * size, numbertext(g_.low), size, Anchor::Start, kBlack, -1});
    add(End{});
    legendbottom_ = y + h + size;
    double widest = 0;
    for (double v : {g_.low, g_.high, (g_.low + g_.high) / 2}) widest = std::max(widest, textwidth(numbertext(v), size));
    return x + w + 4 + widest;
  }

  // The legend of the groups from x, at the top; returns its right end.
  double grouplegend(double x) {
    const auto [right, bottom] = drawing::grouplegend(scene_, style_.groups, x, g_.top, style_.fontsize * big_);
    legendbottom_ = std::max(legendbottom_, bottom);
    return right;
  }

  const Tree* tree_;
  const DistanceTable* table_;
  const Style& style_;
  Scene scene_;
  Geometry g_;
  double legendbottom_ = 0;
  double treewidth_ = 0;  // root to deepest tip
  double big_ = 1;        // the size of the legend and the scale bar, relative
};

}  // namespace

Scene layout(const Tree* tree, const DistanceTable* table, const Style& style) {
  if (!tree && !table) throw ErrorStop("Error: nothing to draw (layout)");
  if (tree && tree->leaves() == 0) throw ErrorStop("Error: the tree has no leaves (layout)");
  return Builder(tree, table, style).build();
}

}  // namespace lorvane::drawing
