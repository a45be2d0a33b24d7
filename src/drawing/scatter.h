#pragma once
// Principal coordinates as a picture: the coordinates file of the strains
// and the eigenvalue file beside it read back, and a scatter of two of the
// axes laid out as a scene for the renderers (SVG, the screen).
#include <string>
#include <vector>

#include "drawing/scene.h"
#include "ordination/pcoa.h"

namespace lorvane::drawing {

// The strains' coordinates on the axes of an ordination.
struct Coordinates {
  std::vector<std::string> names;
  // axes[a][i]: strain i on axis a + 1.
  std::vector<std::vector<double>> axes;
  // shares[a]: the share of axis a + 1 in the variation (0 to 1); empty
  // when the eigenvalue file is missing.
  std::vector<double> shares;

  int size() const { return static_cast<int>(names.size()); }
  int axiscount() const { return static_cast<int>(axes.size()); }
  // The share of an axis (1-based), NaN when it is not known.
  double share(int axis) const;
};

// The coordinates of a principal coordinates analysis of the strains `names`.
Coordinates coordinatesof(const std::vector<std::string>& names, const PcoaResult& pcoa);

// NAME.eig.csv for NAME.pcoa.csv; empty when the path does not end in
// ".pcoa.csv".
std::string eigenvaluepath(const std::string& coordinatespath);

// Reads a coordinates file: the header "name,axis1,...,axisK", then a row
// a strain: its name (CSV-quoted where it holds a comma, a quote or outer
// blanks) and its K coordinates; CR LF or LF line ends, blank lines left
// out. The shares come from the eigenvalue file beside it (see
// readshares) when that exists. Error stop naming the file and the line on
// any fault.
Coordinates readcoordinates(const std::string& path);
// Reads an eigenvalue file into c.shares: the header
// "axis,eigenvalue,share,cumulative", then a row an axis, numbered 1, 2, ...
// in order. Error stop naming the file and the line on any fault.
void readshares(const std::string& path, Coordinates& c);

struct ScatterStyle {
  double side = 480;    // the longer side of the plot frame, in points
  int maxlabels = 50;   // the strains are named beside their points up to this many
  double radius = 3.5;  // of the point markers
  double fontsize = 10;
  std::string title;
  // Points filled by group, with a legend of the groups; none when empty.
  GroupColours groups;
};

// A scatter of the strains on axis `xaxis` across and `yaxis` up (1-based;
// a `yaxis` of 0 puts every strain at 0, for a file of one axis): a frame
// with ticks at round values, lines through the origin, the axis titles
// with their shares ("Axis 1 (23.4 %)"), a marker a strain, and the names
// when there are few strains. Both axes have the same scale, as distances
// between the points mean something; the shorter side of the frame is
// widened to at least half the longer one, so that points on a line or a
// single point still make a picture. geometry.points holds each strain's
// marker centre for hit tests. Error stop when an axis is not in `c` or c
// holds no strain.
Scene scatterscene(const Coordinates& c, int xaxis = 1, int yaxis = 2, const ScatterStyle& style = {});

// The picture of a coordinates file for the command line: axes 1 and 2
// (axis 1 alone when the file holds one), with the shares of the eigenvalue
// file beside it when it exists, written as SVG to `svgpath`. Error stop
// (ErrorStop, its message ready for stderr) when a file cannot be read or
// written.
void writepcoapicture(const std::string& coordinatespath, const std::string& svgpath);

}  // namespace lorvane::drawing
