#pragma once
// The parameters that several options' descriptions share, and the options
// described outside catalogue.cpp.
#include <climits>
#include <string_view>
#include <vector>

#include "frame/optiondescription.h"
#include "runs/bandinput.h"

namespace lorvane::catalogueparts {

using K = ParameterKind;

inline constexpr long long kMostPermutations = 100000000;

inline Parameter inputfile(std::string_view operand, std::string_view label = "Input file") {
  return {.kind = K::Path, .slot = 1, .label = label, .descriptor = "text,,", .metavar = operand, .required = true};
}
inline Parameter seed() {
  return {.kind = K::Seed, .option = "--seed", .metavar = "S",
          .help = "seed of the random generator, 0 to 4294967295 (default: LORVANE_SEED, else the clock); "
                  "the report gives the seed used",
          .manual = "The seed of the bootstrap generator, or of the permutations of\n.BR mantel \", \" amova \" and \" phipt ,\n"
                    "0 to 4294967295. The same seed gives the\nsame replicates (permutations) on any machine and "
                    "with any number of threads."};
}
inline Parameter shard(std::string_view items) {
  return {.kind = K::Shard, .option = "--shard", .metavar = "I/N", .help = items,
          .manual = "Share\n.I I\nof\n.I N\n(1 to N) of the replicates of\n.BR bootstrap \" and \" bootstrap-tree ,\n"
                    "or of the permutations of\n.BR mantel \" and \" amova :\nthe run computes only those, as the whole run would, and "
                    "writes them to\nINPUT.shard-I-of-N.VERB (INPUT the first input file) instead of its outputs.\n"
                    "Needs the seed\n.RB ( \\-\\-seed\n"
                    "or LORVANE_SEED) shared by every shard;\n.B merge\n"
                    "joins the N shards into the whole run's files."};
}
// How the options on band data read them: verb settings, the same for
// options 1, 2 and 4 (the dialogs and command files take the defaults: the
// format found from the content, the groups the file gives, missing scores
// counted pairwise).
template <class R>
std::vector<Binding<R>> bandsettings() {
  return {
      bind<R, BandFormat>(
          {.kind = K::Choice, .setting = 1, .option = "--format", .help = "format of BANDFILE (default: from its content)",
           .choices = {"auto", "seed", "genalex", "table", "nexus"}, .minimum = 0,
           .manual = "The format of the band data: the fixed layout of the band-pattern file (seed), GenAlEx binary\n"
                     "data, a delimited 0/1 table or a NEXUS matrix. Default: auto, found from the first line."},
          &R::format),
      bind<R, BandLayout>(
          {.kind = K::Choice, .setting = 2, .option = "--layout",
           .help = "a 0/1 table's strains as rows or as columns (default rows)", .choices = {"rows", "columns"},
           .minimum = 1, .manual = "A delimited 0/1 table's strains as rows (default) or as columns."},
          &R::layout),
      bind<R, int>({.kind = K::Integer, .setting = 3, .option = "--group-columns", .metavar = "N",
                    .help = "a 0/1 table's group columns after the names (default: those headed pop... or group...)",
                    .minimum = 0, .maximum = 10,
                    .manual = "The number of group columns after the names of a 0/1 table (group rows after its\n"
                              "header with strains as columns). Default: the columns whose header starts with\n"
                              "pop or group."},
                   &R::groupcolumns),
      bind<R, std::string>({.kind = K::Path, .setting = 4, .option = "--groups", .metavar = "FILE",
                            .help = "the strains' groups from FILE (header name,LEVEL1,...)",
                            .manual = "A groups file: a header name,LEVEL1,LEVEL2,... and a row a strain, matched by\n"
                                      "name, in place of the groups the data give."},
                           &R::groups),
      bind<R, MissingScores>(
          {.kind = K::Choice, .setting = 5, .option = "--missing",
           .help = "missing scores counted pairwise or as absent (default pairwise)",
           .choices = {"pairwise", "absent"}, .minimum = 1,
           .manual = "How missing scores count: pairwise, over the bands scored in both strains of each pair\n"
                     "(default), or as absent bands."},
          &R::missing),
      bind<R, double>({.kind = K::Real, .setting = 6, .option = "--drop-bands", .metavar = "F",
                       .help = "leave out the bands with more than the fraction F missing", .minimum = 0,
                       .maximum = 1, .noun = "the fraction of missing scores of a band",
                       .manual = "Leave out the bands with more than the fraction F of their scores missing."},
                      &R::dropbands),
      bind<R, double>({.kind = K::Real, .setting = 7, .option = "--drop-strains", .metavar = "F",
                       .help = "leave out the strains with more than the fraction F missing", .minimum = 0,
                       .maximum = 1, .noun = "the fraction of missing scores of a strain",
                       .manual = "Leave out the strains with more than the fraction F of their scores missing\n"
                                 "(after the bands)."},
                      &R::dropstrains),
  };
}

template <class R>
std::vector<Binding<R>> with(std::vector<Binding<R>> list, std::vector<Binding<R>> more) {
  list.insert(list.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  return list;
}

// Options 10 to 12 (populationcatalogue.cpp).
OptionDescription genotypesoption();
OptionDescription amovaoption();
OptionDescription phiptoption();

}  // namespace lorvane::catalogueparts
