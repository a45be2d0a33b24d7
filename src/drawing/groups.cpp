#include "drawing/groups.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace lorvane::drawing {

Colour groupcolour(int k) {
  // Okabe & Ito's colour-blind-safe eight (black last, as it is the colour
  // of what has no group), then Paul Tol's "muted" nine for more groups.
  static const Colour palette[] = {
      {230, 159, 0},   {86, 180, 233},  {0, 158, 115},  {240, 228, 66},  {0, 114, 178},  {213, 94, 0},
      {204, 121, 167}, {80, 80, 80},    {51, 34, 136},  {136, 204, 238}, {68, 170, 153}, {17, 119, 51},
      {153, 153, 51},  {221, 204, 119}, {204, 102, 119}, {136, 34, 85},  {170, 68, 153},
  };
  constexpr int count = static_cast<int>(sizeof palette / sizeof palette[0]);
  if (k < count) return palette[static_cast<std::size_t>(k)];
  // Beyond the palette, hues a golden angle apart, at three levels of
  // lightness in turn, so that no two groups share a colour.
  const double hue = std::fmod(static_cast<double>(k - count) * 137.50776405, 360.0) / 60.0;
  const double value = 0.85 - 0.2 * ((k - count) % 3), chroma = value * 0.65;
  const double x = chroma * (1 - std::fabs(std::fmod(hue, 2.0) - 1));
  const int sector = static_cast<int>(hue) % 6;
  const double rgb[6][3] = {{chroma, x, 0}, {x, chroma, 0}, {0, chroma, x}, {0, x, chroma}, {x, 0, chroma}, {chroma, 0, x}};
  auto channel = [&](int c) {
    return static_cast<unsigned char>(std::lround(255 * (rgb[sector][c] + value - chroma)));
  };
  return {channel(0), channel(1), channel(2)};
}

Colour GroupColours::of(const std::string& name) const {
  const auto it = groupof.find(name);
  if (it == groupof.end()) return kBlack;
  const auto at = std::find(groups.begin(), groups.end(), it->second);
  return groupcolour(static_cast<int>(at - groups.begin()));
}

GroupColours groupcolours(const std::vector<std::string>& names, const std::vector<std::string>& labels,
                          const std::string& level) {
  GroupColours g;
  g.level = level;
  for (std::size_t i = 0; i < names.size() && i < labels.size(); ++i) {
    g.groupof[names[i]] = labels[i];
    if (std::find(g.groups.begin(), g.groups.end(), labels[i]) == g.groups.end()) g.groups.push_back(labels[i]);
  }
  return g;
}

GroupColours groupcolours(const Groups& groups, const std::vector<std::string>& strains, std::size_t level) {
  if (level == kFinestLevel) {
    std::size_t most = 0;
    for (std::size_t l = 0; l < groups.labels.size(); ++l) {
      const std::set<std::string> distinct(groups.labels[l].begin(), groups.labels[l].end());
      if (distinct.size() > most) most = distinct.size(), level = l;
    }
  }
  if (level >= groups.levels.size()) return {};
  return groupcolours(strains, groups.labels[level], groups.levels[level]);
}

std::pair<double, double> grouplegend(Scene& s, const GroupColours& groups, double x, double y, double fontsize) {
  const double line = fontsize * 1.4, swatch = fontsize * 0.9;
  double right = x + textwidth(groups.level, fontsize);
  s.items.emplace_back(Begin{"groups"});
  s.items.emplace_back(Text{x, y + fontsize, groups.level, fontsize, Anchor::Start, kBlack, -1});
  for (std::size_t k = 0; k < groups.groups.size(); ++k) {
    const double top = y + line * static_cast<double>(k + 1) + fontsize * 0.3;
    s.items.emplace_back(Rect{x, top, swatch, swatch, groupcolour(static_cast<int>(k)), kBlack, 0.5});
    s.items.emplace_back(
        Text{x + swatch + 4, top + swatch * 0.85, groups.groups[k], fontsize, Anchor::Start, kBlack, -1});
    right = std::max(right, x + swatch + 4 + textwidth(groups.groups[k], fontsize));
  }
  s.items.emplace_back(End{});
  return {right, y + line * static_cast<double>(groups.groups.size() + 1) + fontsize * 0.5};
}

}  // namespace lorvane::drawing
