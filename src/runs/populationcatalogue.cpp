// Options 10 to 12, the population analyses of band data with groups.
#include "runs/catalogueparts.h"
#include "runs/populationruns.h"

namespace lorvane::catalogueparts {

namespace {

Parameter permutations(std::string_view manual) {
  return {.kind = K::Count, .slot = 3, .label = "Number of permutations (default = 999) : ", .descriptor = "int,0,",
          .option = "--permutations", .metavar = "N", .help = "number of permutations, 0 or more (default 999)",
          .minimum = 0, .maximum = kMostPermutations, .noun = "the number of permutations", .manual = manual};
}
Parameter clonecorrect() {
  return {.kind = K::Text, .slot = 4, .label = "Clone correction by level (default = none) : ", .descriptor = "text,,",
          .option = "--clone-correct", .metavar = "LEVEL", .help = "keep the first strain of each genotype in each group of LEVEL",
          .manual = "Clone correction\n.RB ( amova \", \" phipt ):\nkeep the first strain of each multilocus genotype "
                    "in each group of LEVEL."};
}

}  // namespace

OptionDescription genotypesoption() {
  using R = GenotypesRequest;
  return describe<R>(
      {.number = 10, .title = "Multilocus genotypes", .verb = "genotypes",
       .summary = "multilocus genotypes of band data, by group", .operation = "genotypes",
       .manual = "The multilocus genotypes of DATA (option 10, \"Multilocus genotypes\"): strains of the same\n"
                 "bands form one genotype (with missing scores, see the README). DATA.mlg.csv holds the header\n"
                 ".B strain,genotype,LEVEL...\nand a row a strain; the report counts the genotypes in all and by group."},
      with<R>({bind(inputfile("DATA"), &R::path)}, bandsettings<R>()), genotypesrun);
}

OptionDescription amovaoption() {
  using R = AmovaRequest;
  return describe<R>(
      {.number = 11, .title = "AMOVA", .verb = "amova",
       .summary = "analysis of molecular variance of band data or a distance table, by groups", .operation = "amova",
       .manual = "The analysis of molecular variance (option 11, \"AMOVA\") of the strains of DATA in the groups of\n"
                 "one or two levels (TOP, or TOP,LOWER): sums of squares, variance components, Phi statistics and\n"
                 "their permutation tests. DATA.amova.csv holds the header\n.B source,df,SS,MS,sigma2,percent,phi,p\n"
                 "and a row a level and the total. The report ends with the line\n.BI \"Random number seed: \" S ."},
      with<R>({bind(inputfile("DATA"), &R::path),
               bind(Parameter{.kind = K::Text, .slot = 2, .label = "Levels of the groups, top first (TOP or TOP,LOWER) : ", .descriptor = "text,,",
                              .option = "--levels", .metavar = "TOP[,LOWER]",
                              .help = "the levels of the groups, top first (required)", .required = true,
                              .manual = "One or two levels of the groups, the top one first\n.RB ( amova ). Required."},
                    &R::levels),
               bind(permutations("The number of permutations of\n.BR amova \" and \" phipt ,\n0 to 100000000. Default: 999."),
                    &R::permutations),
               bind(clonecorrect(), &R::clonecorrect),
               bind(Parameter{.kind = K::Choice, .slot = 5, .label = "Distance : bands (1) or table (2) ?",
                              .descriptor = "int,1,2", .option = "--distance",
                              .help = "delta squared from the bands, or DATA is a distance table (default bands)",
                              .choices = {"bands", "table"}, .minimum = 1,
                              .manual = "Delta squared from the bands that differ, or DATA is a distance table\n"
                                        ".RB ( amova ).\nDefault: bands."},
                    &R::distance),
               bind(Parameter{.kind = K::Flag, .slot = 6, .label = "The table holds squared distances (yes = 1) ? ",
                              .descriptor = "int,0,1", .option = "--squared", .help = "the table holds delta squared",
                              .manual = "The distance table holds squared distances\n.RB ( amova )."},
                    &R::squared),
               bind(Parameter{.kind = K::Choice, .slot = 7,
                              .label = "Correction : none (0), Lingoes (1), Cailliez (2) or square root (3) ?",
                              .descriptor = "int,0,3", .option = "--correction",
                              .help = "correction of a table that is not Euclidean (default none)",
                              .choices = {"none", "lingoes", "cailliez", "sqrt"}, .minimum = 0,
                              .manual = "The correction of a distance table that is not Euclidean\n.RB ( amova ).\n"
                                        "Default: none."},
                    &R::correction),
               setting<R>(seed()),
               setting<R>(shard("compute only share I of N of the permutations, into a shard file for merge"))},
              bandsettings<R>()),
      amovarun);
}

OptionDescription phiptoption() {
  using R = PhiptRequest;
  return describe<R>(
      {.number = 12, .title = "Pairwise PhiPT", .verb = "phipt",
       .summary = "PhiPT of every pair of groups of band data, with permutation p-values", .operation = "phipt",
       .manual = "PhiPT of every pair of groups of LEVEL (option 12, \"Pairwise PhiPT\"): the one-level analysis of\n"
                 "molecular variance of the two groups. DATA.phipt.csv is the square CSV table of PhiPT (a negative\n"
                 "estimate written as 0), which the options on distance tables read; DATA.phipt.p.csv the p-values.\n"
                 "The report ends with the line\n.BI \"Random number seed: \" S ."},
      with<R>({bind(inputfile("DATA"), &R::path),
               bind(Parameter{.kind = K::Text, .slot = 2, .label = "Level of the groups : ", .descriptor = "text,,",
                              .option = "--level", .metavar = "LEVEL", .help = "the level of the groups (required)",
                              .required = true, .manual = "The level of the groups\n.RB ( phipt ). Required."},
                    &R::level),
               bind(permutations(""), &R::permutations), bind(clonecorrect(), &R::clonecorrect), setting<R>(seed())},
              bandsettings<R>()),
      phiptrun);
}

}  // namespace lorvane::catalogueparts
