// The SVG picture a verb draws after its run, the strains coloured by group.
#include <cstdio>

#include "banddata/prepare.h"
#include "core/interrupt.h"
#include "core/messages.h"
#include "drawing/groups.h"
#include "drawing/scatter.h"
#include "drawing/scene.h"
#include "frame/startup.h"
#include "verbs.h"

namespace lorvane {

namespace {

// The colours of the strains `names`: by the groups of --groups FILE, else
// by those the run's data gave; at the level of --color-by, else the first.
drawing::GroupColours colours(const VerbCall& call, const RunResult& result, const std::vector<std::string>& names) {
  if (!call.picturegroups.empty()) {
    const Groups groups = readgroups(call.picturegroups, names);
    const std::size_t level =
        call.colourby.empty() ? 0 : levelindex(groups, call.colourby, "the groups file " + call.picturegroups);
    return drawing::groupcolours(groups, names, level);
  }
  if (result.groups.empty()) {
    if (!call.colourby.empty())
      errorstop("Error: --color-by " + call.colourby + ": the data give no groups; name a groups file with --groups");
    return {};
  }
  const std::size_t level = call.colourby.empty() ? 0 : levelindex(result.groups, call.colourby, "the data");
  return drawing::groupcolours(result.groups, result.strains, level);
}

}  // namespace

int writepicture(const VerbCall& call, const RunResult& result) {
  try {
    if (result.ordination) {
      const drawing::Coordinates c = drawing::coordinatesof(result.ordination->names, result.ordination->pcoa);
      drawing::ScatterStyle style;
      style.groups = colours(call, result, result.ordination->names);
      drawing::writesvg(drawing::scatterscene(c, 1, c.axiscount() >= 2 ? 2 : 0, style), call.picture);
      return kExitWorkedThrough;
    }
    if (!result.tree) return kExitWorkedThrough;
    // The tree beside the table it was built from, when the run kept one.
    drawing::Style style;
    style.groups = colours(call, result, result.tree->names);
    const drawing::Scene scene = drawing::layout(result.tree.get(), result.table.get(), style);
    if (interruptsignal() != 0) return exitinterrupted(interruptsignal());
    drawing::writesvg(scene, call.picture);
  } catch (const ErrorStop& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitRunFailed;
  }
  return kExitWorkedThrough;
}

}  // namespace lorvane
