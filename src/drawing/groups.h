#pragma once
// Strains coloured by their group at one level: a colour a group from a
// palette that colour-blind readers tell apart (Okabe and Ito's eight, then
// a wider qualitative set), and the legend that names every group.
#include <map>
#include <string>
#include <vector>

#include "aflp/bands.h"
#include "drawing/scene.h"

namespace lorvane::drawing {

// The groups of strains (names[i] in group labels[i]) at a level.
GroupColours groupcolours(const std::vector<std::string>& names, const std::vector<std::string>& labels,
                          const std::string& level);
// The groups of a level of band data's groups (none when it has no such level).
GroupColours groupcolours(const Groups& groups, const std::vector<std::string>& strains, std::size_t level = 0);
// The k-th colour of the palette (0-based).
Colour groupcolour(int k);
// The legend at (x, y): the level's name, then a swatch and the name of each
// group; returns {its right end, its bottom}.
std::pair<double, double> grouplegend(Scene& s, const GroupColours& groups, double x, double y, double fontsize);

}  // namespace lorvane::drawing
