#include "aflp/module.h"

#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "aflp/ordinationoptions.h"
#include "aflp/treeoptions.h"
#include <cmath>
#include <limits>
#include <tuple>

#include "core/convert.h"

namespace lorvane {

void registermodule(Frame& frame) {
  frame.registry.name = kModuleName;
  frame.setupfiles(frame.registry.name);
  frame.registry.titles = kOptionTitles;
  frame.registry.entrycount = 7;
  frame.registry.paramcount[1] = 6;
  frame.registry.layout[1] = kSimpleLayout;
  frame.registry.paramcount[2] = 6;
  frame.registry.layout[2] = kBootstrapLayout;
  for (auto [option, count, layout] : {std::tuple{3, 4, kTreeLayout}, {4, 7, kBootstrapTreeLayout},
                                       {5, 2, kConvertLayout}, {6, 3, kPcoaLayout}, {7, 4, kMantelLayout}})
    frame.registry.paramcount[option] = count, frame.registry.layout[option] = layout;
  frame.buildoptionsmenu(frame.registry.titles, frame.registry.entrycount);
  frame.registry.handler = runlorvane;
}

namespace {
// The K answer in single precision; beyond its range it becomes infinite.
float narrowtofloat(double v) {
  if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max())
    return v > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}
}  // namespace

OptionArguments convertanswers(const AnswerStore& store, int option) {
  OptionArguments args;
  const auto& a = store.answers;
  if ((option != 1 && option != 2) || a[1].empty() || a[2].empty()) return args;
  if (option == 2 && a[6].empty()) return args;
  args.runs = true;
  args.k = a[3].empty() ? 1.0f : narrowtofloat(texttoreal(a[3]));
  args.index = a[4].empty() ? 1 : texttoint(a[4]);
  args.jukescantor = a[5].empty() ? 0 : texttoint(a[5]);
  args.path = a[1].substr(0, 255);
  args.r = texttoint(a[2]);
  args.sixth = a[6].empty() ? 0 : texttoint(a[6]);
  return args;
}

void runlorvane(Frame& frame, int option) {
  if (RunContext ctx = frame.context(); option >= 3) {
    const auto& answers = frame.store.answers;
    if (option >= 6 ? runordinationoption(ctx, answers, option) : runtreeoption(ctx, answers, option))
      frame.refreshreport();
    return;
  }
  const OptionArguments args = convertanswers(frame.store, option);
  if (!args.runs) return;
  RunContext ctx = frame.context();
  if (option == 1) {
    calcdist(ctx, args.path, args.r, args.k, args.index, args.jukescantor, args.sixth);
    // Documented and kept: any other index reads the input and writes nothing.
    if (args.index < 1 || args.index > 3)
      ctx.ws.note("option 1: distance index \"" + ctext(frame.store.answers[4]) +
                  "\" is not 1 (Jaccard), 2 (Dice) or 3 (Nei & Li); no distance table was written");
  } else {
    calcboot(ctx, args.path, args.r, args.k, args.index, args.jukescantor, args.sixth);
  }
  frame.refreshreport();
}

}  // namespace lorvane
