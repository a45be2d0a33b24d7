// Options 1 to 12 as the dialogs, the command files and the verbs know them.
// The answers of options 1 and 2 are converted as they always were (no
// range is checked: the computations deal with what they receive); the
// counts of the options after them must lie within their range.
#include "runs/catalogue.h"

#include "runs/catalogueparts.h"

#include "core/convert.h"
#include "core/textio.h"
#include "runs/bandfileruns.h"
#include "runs/distanceruns.h"
#include "runs/tableruns.h"
#include "runs/treeruns.h"

namespace lorvane {

namespace {

using K = ParameterKind;
using namespace catalogueparts;

constexpr long long kMostTreeReplicates = 1000000;

Parameter sites() {
  return {.kind = K::Integer, .slot = 2, .label = "Length of recognition sites : ", .descriptor = "int,0,",
          .option = "--sites", .metavar = "R", .help = "length of the recognition sites, 1 or more (required)",
          .minimum = 1, .required = true,
          .manual = "The length of the recognition sites, 1 or more. Required."};
}
Parameter kvalue() {
  return {.kind = K::Real, .slot = 3, .label = "K value (default = 1.0) ? ", .descriptor = "int,0,1",
          .option = "--k", .metavar = "K", .help = "K value, 0 or more (default 1.0)",
          .manual = "The K value, a number of 0 or more. Default: 1.0."};
}
Parameter index(bool neili) {
  Parameter p{.kind = K::Choice, .slot = 4, .option = "--index", .minimum = 1,
              .manual = "The similarity index; 1, 2 and 3 are accepted too. Default: jaccard.\n"
                        "The bootstrap takes jaccard or dice."};
  if (neili) {
    p.label = "Index : Jaccard(1), Dice(2) or Nei&Li(3) ?";
    p.descriptor = "int,1,3";
    p.help = "similarity index; neili: the Nei & Li distance (default jaccard)";
    p.choices = {"jaccard", "dice", "neili"};
  } else {
    p.label = "Index : Jaccard (1) or Dice (2) ?";
    p.descriptor = "int,1,2";
    p.help = "similarity index (default jaccard)";
    p.choices = {"jaccard", "dice"};
  }
  return p;
}
Parameter jukescantor(std::string_view help) {
  return {.kind = K::Flag, .slot = 5, .label = "Jukes-Cantor correction (yes = 1, default = no) ? ",
          .descriptor = "int,0,1", .option = help.empty() ? "" : "--jc", .help = help,
          .manual = "Also the Jukes-Cantor correction of the Dice distance."};
}
Parameter replicates(K kind, long long most) {
  return {.kind = kind, .slot = 6, .label = "Number of bootstrap repetitions : ", .descriptor = "int,0,",
          .option = "--replicates", .metavar = "N", .help = "number of bootstrap replicates (required)",
          .minimum = 1, .maximum = most, .required = true, .noun = "the number of bootstrap replicates",
          .manual = "The number of bootstrap replicates, 1 or more. Required by\n.BR bootstrap ."};
}
Parameter treemethod(int slot) {
  return {.kind = K::Choice, .slot = slot, .label = "Method : neighbor-joining (1) or UPGMA (2) ?",
          .descriptor = "int,1,2", .option = "--method", .help = "neighbor-joining or UPGMA (default nj)",
          .choices = {"nj", "upgma"}, .minimum = 1,
          .manual = "Neighbor-joining or UPGMA\n.RB ( tree \", \" bootstrap-tree ).\nDefault: nj."};
}
Parameter picture(std::string_view help) {
  return {.kind = K::Picture, .option = "--svg", .metavar = "FILE", .help = help,
          .manual = "After the run, an SVG picture in\n.IR FILE :\nfor\n.BR tree ,\nthe tree it wrote, with its "
                    "support of 50 or more and a scale bar, beside\nthe heat map (viridis colours, with a legend) of "
                    "the distances of TABLE in\nthe tree's tip order (tables of more than 200 strains are drawn as "
                    "one\nembedded image of averaged cells); for\n.BR bootstrap-tree ,\nwhose tables stay in memory, "
                    "the tree alone; for\n.BR pcoa ,\nthe scatter of the strains on axes 1 and 2. A picture that "
                    "cannot be written ends the\nverb with status 1; the run's outputs stay."};
}
Parameter colourby() {
  return {.kind = K::ColourBy, .option = "--color-by", .metavar = "LEVEL",
          .help = "with --svg, the strains coloured by their group at LEVEL (default: the first level)",
          .manual = "With\n.BR \\-\\-svg ,\nthe strains of the picture coloured by their group at LEVEL, with a legend of\n"
                    "the groups (a palette that colour-blind readers tell apart). The groups come from\n"
                    ".BR \\-\\-groups ,\nor from the band data of\n.BR bootstrap-tree .\nDefault: the first level."};
}
Parameter picturegroups() {
  return {.kind = K::PictureGroups, .option = "--groups", .metavar = "FILE",
          .help = "with --svg, the strains coloured by their groups in FILE (header name,LEVEL1,...)",
          .manual = "With\n.BR \\-\\-svg\n.RB ( tree \", \" pcoa ):\na groups file, a header name,LEVEL1,LEVEL2,... and a row a "
                    "strain of the table,\nwhose groups colour the strains of the picture."};
}

OptionDescription simple() {
  using R = DistanceRequest;
  return describe<R>(
      {.number = 1, .title = "Simple computation", .verb = "distance",
       .summary = "distance, similarity and shared-band tables of every pair of strains", .operation = "calcdist",
       .manual = "The distance, similarity and shared-band tables (option 1, \"Simple\ncomputation\"): .matJ, .matJP "
                 "and .nxy for Jaccard; .matD, .matDP, .nxy and,\nwith\n.BR \\-\\-jc ,\n\\&.matDJC for Dice; .matNL "
                 "for Nei & Li."},
      with<R>({bind(index(true), &R::index), bind(sites(), &R::sites), bind(kvalue(), &R::k),
               bind(jukescantor("also the Jukes-Cantor correction of the Dice distance"), &R::jukescantor),
               bind(Parameter{.kind = K::Flag, .slot = 6, .label = "VELK outputs (yes = 1, default = no) ? ",
                              .descriptor = "int,0,1", .option = "--binary",
                              .help = "binary matrix files instead of text tables",
                              .manual = "Binary matrix files (little-endian single precision with an 18-byte trailer)\n"
                                        "instead of text tables."},
                    &R::binary),
               bind(inputfile("BANDFILE"), &R::path)},
              bandsettings<R>()),
      calcdist);
}

OptionDescription bootstrap() {
  using R = BootstrapRequest;
  return describe<R>(
      {.number = 2, .title = "Bootstrap computation", .verb = "bootstrap",
       .summary = "distance tables of bootstrap replicates of the bands", .operation = "calcboot",
       .manual = "\\fIN\\fR replicate distance tables (option 2, \"Bootstrap computation\") appended to\n\\&.matJ "
                 "(Jaccard) or .matD, with the Jukes-Cantor corrected tables in .matDJC\nfor Dice. The report ends "
                 "with the line\n.BI \"Random number seed: \" S\nthat repeats the run."},
      with<R>({bind(index(false), &R::index), bind(sites(), &R::sites), bind(kvalue(), &R::k),
               bind(replicates(K::Integer, INT_MAX), &R::replicates), setting<R>(seed()),
               setting<R>(shard("compute only share I of N of the replicates, into a shard file for merge")),
               bind(jukescantor(""), &R::jukescantor), bind(inputfile("BANDFILE"), &R::path)},
              bandsettings<R>()),
      calcboot);
}

OptionDescription tree() {
  using R = TreeRequest;
  return describe<R>(
      {.number = 3, .title = "Tree from a distance table", .verb = "tree", .summary = "tree from a distance table",
       .operation = "treefromtable",
       .manual = "The tree of a distance table (option 3, \"Tree from a distance table\"),\nwritten to TABLE.nwk; "
                 "with\n.BI \\-\\-support \" REPLICATES\"\neach internal edge carries the percentage of replicate "
                 "trees that hold it, and\nthe replicate trees go to TABLE.reps.nwk;\n.B \\-\\-consensus\nalso "
                 "writes their consensus to TABLE.cons.nwk. With\n.BI \\-\\-svg \" FILE\"\nthe picture of the tree "
                 "beside the heat map of TABLE is written to FILE."},
      {bind(treemethod(2), &R::method),
       bind(Parameter{.kind = K::Path, .slot = 3, .label = "Replicate tables (default = none)", .descriptor = "text,,",
                      .option = "--support", .metavar = "REPLICATES",
                      .help = "file of replicate tables: support of each edge",
                      .manual = "A file of replicate tables of the same strains\n.RB ( tree ):\n"
                                "the support of each edge of the tree."},
            &R::replicates),
       bind(Parameter{.kind = K::Flag, .slot = 4, .label = "Consensus tree (yes = 1, default = no) ? ",
                      .descriptor = "int,0,1", .option = "--consensus",
                      .help = "also the consensus of the replicate trees", .needs = "--support",
                      .manual = "Also the consensus of the replicate trees\n.RB ( tree \" with \" \\-\\-support )."},
            &R::consensus),
       setting<R>(picture("also an SVG picture: the tree beside the heat map of TABLE")),
       setting<R>(picturegroups()), setting<R>(colourby()),
       bind(inputfile("TABLE", "Distance table"), &R::path)},
      treefromtable);
}

OptionDescription boottreeoption() {
  using R = BootTreeRequest;
  return describe<R>(
      {.number = 4, .title = "Bootstrap tree", .verb = "bootstrap-tree",
       .summary = "tree with bootstrap support, straight from the bands", .operation = "boottree",
       .manual = "The tree with bootstrap support straight from the bands (option 4,\n\"Bootstrap tree\"): the "
                 "reference table and the\n.I N\nreplicate tables are computed in memory, with no table file, and "
                 "give\nBANDFILE.nwk (the reference tree with support), BANDFILE.cons.nwk (the\nconsensus) and "
                 "BANDFILE.reps.nwk (one replicate tree per line). Replicate\n.I k\ndraws the columns of replicate\n"
                 ".I k\nof\n.B bootstrap\nwith the same seed. A pair without a finite distance stops the run with an\n"
                 "error naming the pair. The report ends with the line\n.BI \"Random number seed: \" S ."},
      with<R>({bind(index(true), &R::index), bind(sites(), &R::sites), bind(kvalue(), &R::k),
               bind(jukescantor("the Jukes-Cantor correction of the Dice distance"), &R::jukescantor),
               bind(replicates(K::Count, kMostTreeReplicates), &R::replicates), setting<R>(seed()),
               setting<R>(shard("compute only share I of N of the replicate trees, into a shard file for merge")),
               bind(treemethod(7), &R::method),
               setting<R>(picture("also an SVG picture of the tree with its support (no table file, so no heat map)")),
               setting<R>(colourby()),
               bind(inputfile("BANDFILE"), &R::path)},
              bandsettings<R>()),
      boottree);
}

OptionDescription convertoption() {
  using R = ConvertRequest;
  return describe<R>(
      {.number = 5, .title = "Convert a distance table", .verb = "convert",
       .summary = "distance table in another format", .operation = "convert",
       .manual = "A distance table in another format (option 5, \"Convert a distance table\"):\nTABLE.phy, "
                 "TABLE.lower.phy or TABLE.csv."},
      {bind(Parameter{.kind = K::Choice, .slot = 2,
                      .label = "Format : PHYLIP square (1), PHYLIP lower-triangular (2) or CSV (3) ?",
                      .descriptor = "int,1,3", .option = "--format",
                      .help = "PHYLIP square, lower-triangular or CSV (default phylip)",
                      .choices = {"phylip", "phylip-lower", "csv"}, .minimum = 1,
                      .manual = "The table format\n.RB ( convert ).\nDefault: phylip."},
            &R::format),
       bind(inputfile("TABLE", "Distance table"), &R::path)},
      convert);
}

OptionDescription pcoaoption() {
  using R = PcoaRequest;
  return describe<R>(
      {.number = 6, .title = "Principal coordinates", .verb = "pcoa",
       .summary = "principal coordinates of a distance table", .operation = "pcoa",
       .manual = "Principal coordinates of the first table of TABLE (option 6, \"Principal\ncoordinates\"): "
                 "TABLE.pcoa.csv holds a header\n.B name,axis1,...\nand per strain its name and its coordinates on "
                 "the axes of positive\neigenvalue; TABLE.eig.csv holds\n.B axis,eigenvalue,share,cumulative\nand a "
                 "row per axis asked for, the share being the fraction of the sum of the\npositive eigenvalues. The "
                 "report gives the eigenvalues with their shares and\nthe number of negative eigenvalues; a table "
                 "with some is not Euclidean."},
      {bind(Parameter{.kind = K::Integer, .slot = 2, .label = "Number of axes (default = 3) ? ",
                      .descriptor = "int,1,", .option = "--axes", .metavar = "K",
                      .help = "number of axes, 1 to the number of strains (default 3)", .minimum = 1,
                      .uptostrains = true,
                      .manual = "The number of axes, 1 to the number of strains\n.RB ( pcoa ).\nDefault: 3."},
            &R::axes),
       bind(Parameter{.kind = K::Choice, .slot = 3, .label = "Correction : none (0), Lingoes (1) or Cailliez (2) ?",
                      .descriptor = "int,0,2", .option = "--correction",
                      .help = "correction of a table that is not Euclidean (default none)",
                      .choices = {"none", "lingoes", "cailliez"}, .minimum = 0,
                      .manual = "The correction of a table that is not Euclidean before its axes are taken\n"
                                ".RB ( pcoa ):\nLingoes adds a constant to the squared distances, Cailliez to the\n"
                                "distances. A table without negative eigenvalues is never corrected.\nDefault: none."},
            &R::correction),
       setting<R>(picture("also an SVG picture: the scatter of the strains on axes 1 and 2")),
       setting<R>(picturegroups()), setting<R>(colourby()),
       bind(inputfile("TABLE", "Distance table"), &R::path)},
      pcoarun);
}

OptionDescription manteloption() {
  using R = MantelRequest;
  Parameter tablea = inputfile("TABLEA", "Distance table A (of a file of several tables, the first)");
  Parameter tableb = inputfile("TABLEB", "Distance table B (of a file of several tables, the first)");
  tableb.slot = 2;
  return describe<R>(
      {.number = 7, .title = "Mantel test", .verb = "mantel",
       .summary = "Mantel test between two distance tables of the same strains", .operation = "mantel",
       .manual = "The Mantel test between the first tables of TABLEA and TABLEB (option 7,\n\"Mantel test\"): the "
                 "correlation of their upper triangles, the strains\nmatched by name in any order, and its "
                 "permutation test, p = (1 + the\npermutations with r at least the observed one) / (1 + "
                 "permutations).\nTABLEA.mantel.csv holds the header\n.B r,p,permutations,seed,method\nand one line "
                 "of values. Tables of other strains stop the run with an error\nand nothing written. The report "
                 "ends with the line\n.BI \"Random number seed: \" S .",
       .helpnote = "Of a file of several tables, the first is taken; the strains of the two are matched by name.",
       .outputs = "beside TABLEA"},
      {bind(Parameter{.kind = K::Count, .slot = 3, .label = "Number of permutations (default = 999) : ",
                      .descriptor = "int,0,", .option = "--permutations", .metavar = "N",
                      .help = "number of permutations, 0 or more (default 999)", .minimum = 0,
                      .maximum = kMostPermutations, .noun = "the number of permutations",
                      .manual = "The number of permutations of the Mantel test, 0 to 100000000. Default: 999."},
            &R::permutations),
       bind(Parameter{.kind = K::Choice, .slot = 4, .label = "Correlation : Pearson (1) or Spearman (2) ?",
                      .descriptor = "int,1,2", .option = "--method", .help = "correlation (default pearson)",
                      .choices = {"pearson", "spearman"}, .minimum = 1,
                      .manual = "The correlation\n.RB ( mantel ):\nPearson's, or Spearman's (the correlation of the "
                                "ranks, ties taking their mean rank).\nDefault: pearson."},
            &R::method),
       setting<R>(seed()),
       setting<R>(shard("compute only share I of N of the permutations, into a shard file for merge")),
       bind(tablea, &R::patha), bind(tableb, &R::pathb)},
      mantelrun);
}

Parameter outputfile() {
  return {.kind = K::Path, .slot = 2, .label = "Output file", .descriptor = "text,,", .metavar = "OUTPUT",
          .required = true};
}

OptionDescription importoption() {
  using R = ImportRequest;
  return describe<R>(
      {.number = 8, .title = "Import band data", .verb = "import",
       .summary = "band data of any format as a band-pattern file, with its groups", .operation = "import",
       .manual = "The band data of DATA, in any format the options read, written as a band-pattern file OUTPUT\n"
                 "(option 8, \"Import band data\"), with OUTPUT.groups.csv when they hold groups. Names that do\n"
                 "not fit its 10 characters, or missing scores (unless\n.B \\-\\-missing absent\n), stop the run and "
                 "are named.",
       .outputs = "in OUTPUT"},
      with<R>({bind(inputfile("DATA"), &R::path), bind(outputfile(), &R::output)}, bandsettings<R>()), importbands);
}

OptionDescription exportoption() {
  using R = ExportRequest;
  return describe<R>(
      {.number = 9, .title = "Export band data", .verb = "export",
       .summary = "band data for GenAlEx, MrBayes (NEXUS) or STRUCTURE", .operation = "export",
       .manual = "The band data of DATA written to OUTPUT (option 9, \"Export band data\") as GenAlEx binary data,\n"
                 "a NEXUS DATA block (STANDARD, symbols 0 and 1, missing ?) or STRUCTURE's dominant-marker data\n"
                 "(a row of locus names, the row of recessive alleles, then a row a strain, missing -9).",
       .outputs = "in OUTPUT"},
      with<R>({bind(Parameter{.kind = K::Choice, .slot = 3, .label = "Format : GenAlEx (1), NEXUS (2) or STRUCTURE (3) ?",
                              .descriptor = "int,1,3", .option = "--to", .help = "genalex, nexus or structure (default genalex)",
                              .choices = {"genalex", "nexus", "structure"}, .minimum = 1,
                              .manual = "The format of the export: genalex (default), nexus or structure."},
                    &R::to),
               bind(inputfile("DATA"), &R::path), bind(outputfile(), &R::output)},
              bandsettings<R>()),
      exportbands);
}

// Option 1 with an index out of the list reads its input and writes
// nothing: documented, and said on standard error with the answer as given.
OptionDescription simplewithnote() {
  OptionDescription d = simple();
  d.run = [run = d.run](RunContext& ctx, const Answers& answers) {
    auto result = run(ctx, answers);
    const int index = answers[4].empty() ? 1 : texttoint(answers[4]);
    if (result && (index < 1 || index > 3))
      ctx.ws.note("option 1: distance index \"" + ctext(answers[4]) +
                  "\" is not 1 (Jaccard), 2 (Dice) or 3 (Nei & Li); no distance table was written");
    return result;
  };
  return d;
}

}  // namespace

const OptionCatalogue& catalogue() {
  static const OptionCatalogue options({simplewithnote(), bootstrap(), tree(), boottreeoption(), convertoption(),
                                        pcoaoption(), manteloption(), importoption(), exportoption(),
                                        genotypesoption(), amovaoption(), phiptoption()});
  return options;
}

void registermodule(Frame& frame) {
  frame.registry.name = kModuleName;
  frame.setupfiles(frame.registry.name);
  const OptionCatalogue& options = catalogue();
  frame.registry.titles = options.titles();
  frame.registry.entrycount = static_cast<int>(options.all().size());
  for (const OptionDescription& d : options.all()) {
    frame.registry.paramcount[static_cast<std::size_t>(d.number)] = d.count();
    frame.registry.layout[static_cast<std::size_t>(d.number)] = d.layout();
  }
  frame.buildoptionsmenu(frame.registry.titles, frame.registry.entrycount);
  frame.registry.handler = [](Frame& f, int option) -> std::shared_ptr<const RunOutcome> {
    const OptionDescription* d = catalogue().find(option);
    if (!d) return nullptr;
    RunContext ctx = f.context();
    return d->run(ctx, f.store.answers);
  };
}

}  // namespace lorvane
