#include "aflp/module.h"

#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include <cmath>
#include <limits>

#include "core/convert.h"

namespace lorvane {

void registermodule(Frame& frame) {
  frame.registry.name = kModuleName;
  frame.setupfiles(frame.registry.name);
  frame.registry.titles = kOptionTitles;
  frame.registry.entrycount = 2;
  frame.registry.paramcount[1] = 6;
  frame.registry.spec[1] = kSimpleSpecification;
  frame.registry.paramcount[2] = 6;
  frame.registry.spec[2] = kBootstrapSpecification;
  frame.buildoptionsmenu(frame.registry.titles, frame.registry.entrycount);
  frame.handler = runlorvane;
}

namespace {
// The K answer in single precision; beyond its range it becomes infinite.
float narrowtofloat(double v) {
  if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max())
    return v > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}
}  // namespace

void runlorvane(Frame& frame, int option) {
  if (option != 1 && option != 2) return;
  const auto& a = frame.store.answers;
  if (a[1].empty() || a[2].empty()) return;
  const float k = a[3].empty() ? 1.0f : narrowtofloat(texttoreal(a[3]));
  const int index = a[4].empty() ? 1 : texttoint(a[4]);
  const int jukescantor = a[5].empty() ? 0 : texttoint(a[5]);
  const std::string path = a[1].substr(0, 255);
  const int r = texttoint(a[2]);
  RunContext ctx = frame.context();
  if (option == 1) {
    const int package = a[6].empty() ? 0 : texttoint(a[6]);
    calcdist(ctx, path, r, k, index, jukescantor, package);
  } else {
    if (a[6].empty()) return;
    calcboot(ctx, path, r, k, index, jukescantor, texttoint(a[6]));
  }
  frame.refreshreport();
}

}  // namespace lorvane
