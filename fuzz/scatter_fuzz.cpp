// Fuzz target: the coordinates and eigenvalue readers and the scatter laid
// out from what they read. The input is the coordinates file, followed by
// the eigenvalue file after a line "====" when it holds one. Any input
// either reads or stops with an error stop; what reads gives a picture of
// finite size with every point inside its frame, and valid SVG text.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/textio.h"
#include "drawing/scatter.h"
#include "fuzzutil.h"

namespace {

using namespace lorvane;

struct Setup {
  std::string coordinates, eigenvalues;
  Setup() {
    const std::string folder = fuzz::makescratchfolder("scatter");
    coordinates = folder + "/t.pcoa.csv";
    eigenvalues = folder + "/t.eig.csv";
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Setup setup;
  if (size > 1 << 16) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = bytes.find("\n====\n");
  const bool eig = cut != std::string_view::npos;
  if (!writewhole(setup.coordinates, bytes.substr(0, cut)) ||
      (eig && !writewhole(setup.eigenvalues, bytes.substr(cut + 6))) ||
      (!eig && !writewhole(setup.eigenvalues, "")))
    fuzz::finding("cannot write the input files");
  if (!eig) std::remove(setup.eigenvalues.c_str());
  drawing::Coordinates c;
  try {
    c = drawing::readcoordinates(setup.coordinates);
  } catch (const ErrorStop&) {
    return 0;
  }
  if (c.size() == 0 || c.axiscount() == 0) fuzz::finding("an empty file was read");
  for (const auto& axis : c.axes)
    if (static_cast<int>(axis.size()) != c.size()) fuzz::finding("an axis of the wrong length");
  drawing::Scene s;
  try {
    s = drawing::scatterscene(c, 1, c.axiscount() >= 2 ? 2 : 0);
  } catch (const ErrorStop&) {
    return 0;  // coordinates too large to draw
  }
  const drawing::Geometry& g = s.geometry;
  if (!std::isfinite(s.width) || !std::isfinite(s.height) || !(g.framew > 0) || !(g.frameh > 0))
    fuzz::finding("a picture without a size");
  for (const drawing::Point& p : g.points)
    if (!(p.x >= g.framex && p.x <= g.framex + g.framew && p.y >= g.framey && p.y <= g.framey + g.frameh))
      fuzz::finding("a point outside the frame");
  if (drawing::svg(s).find("</svg>") == std::string::npos) fuzz::finding("unfinished SVG");
  return 0;
}
