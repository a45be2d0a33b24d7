#include "verbs.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/interrupt.h"
#include "core/messages.h"
#include "core/textio.h"
#include "drawing/scatter.h"
#include "drawing/scene.h"
#include "frame/startup.h"

namespace lorvane {

namespace {

using K = ValueKind;

// The options every verb takes, listed after its own.
const std::vector<VerbOption>& commonoptions() {
  static const std::vector<VerbOption> options{
      {"--threads", "N", K::Threads, 0, "compute with N threads (default: every processor)"},
      {"--quiet", "", K::Quiet, 0, "no progress bar, no information messages (errors and warnings stay)"},
      {"--output-dir", "DIR", K::OutputDir, 0,
       "write the output files into the folder DIR instead of beside the input (same names)"},
      {"--help", "", K::Help, 0, "this help"},
  };
  return options;
}

// The answers of the distance computations, shared by the verbs that run them.
VerbOption indexoption(bool neili) {
  if (neili)
    return {"--index", "jaccard|dice|neili", K::Choice, 4, "similarity index; neili: the Nei & Li distance (default jaccard)",
            false, 1, {"jaccard", "dice", "neili"}};
  return {"--index", "jaccard|dice", K::Choice, 4, "similarity index (default jaccard)", false, 1, {"jaccard", "dice"}};
}
const VerbOption kSites{"--sites", "R", K::Integer, 2, "length of the recognition sites, 1 or more (required)", true, 1};
const VerbOption kK{"--k", "K", K::Real, 3, "K value, 0 or more (default 1.0)"};
const VerbOption kReplicates{"--replicates", "N", K::Integer, 6, "number of bootstrap replicates (required)", true, 1};
const VerbOption kSeed{"--seed", "S", K::Seed, 0,
                       "seed of the random generator, 0 to 4294967295 (default: LORVANE_SEED, else the clock); "
                       "the report gives the seed used"};
const VerbOption kSvg{"--svg", "FILE", K::Picture, 0, "also an SVG picture: the tree beside the heat map of TABLE"};
const VerbOption kSvgTree{"--svg", "FILE", K::Picture, 0,
                          "also an SVG picture of the tree with its support (no table file, so no heat map)"};
const VerbOption kSvgScatter{"--svg", "FILE", K::Picture, 0,
                             "also an SVG picture: the scatter of the strains on axes 1 and 2"};

}  // namespace

const std::vector<Verb>& verbs() {
  static const std::vector<Verb> table{
      {"distance", 1, 6, "BANDFILE", 1, "distance, similarity and shared-band tables of every pair of strains",
       {indexoption(true), kSites, kK,
        {"--jc", "", K::Flag, 5, "also the Jukes-Cantor correction of the Dice distance"},
        {"--binary", "", K::Flag, 6, "binary matrix files instead of text tables"}}},
      {"bootstrap", 2, 6, "BANDFILE", 1, "distance tables of bootstrap replicates of the bands",
       {indexoption(false), kSites, kK, kReplicates, kSeed}},
      {"tree", 3, 4, "TABLE", 1, "tree from a distance table",
       {{"--method", "nj|upgma", K::Choice, 2, "neighbor-joining or UPGMA (default nj)", false, 1, {"nj", "upgma"}},
        {"--support", "REPLICATES", K::Path, 3, "file of replicate tables: support of each edge"},
        {"--consensus", "", K::Flag, 4, "also the consensus of the replicate trees"},
        kSvg}},
      {"bootstrap-tree", 4, 7, "BANDFILE", 1, "tree with bootstrap support, straight from the bands",
       {indexoption(true), kSites, kK, {"--jc", "", K::Flag, 5, "the Jukes-Cantor correction of the Dice distance"},
        kReplicates, kSeed,
        {"--method", "nj|upgma", K::Choice, 7, "neighbor-joining or UPGMA (default nj)", false, 1, {"nj", "upgma"}},
        kSvgTree}},
      {"convert", 5, 2, "TABLE", 1, "distance table in another format",
       {{"--format", "phylip|phylip-lower|csv", K::Choice, 2, "PHYLIP square, lower-triangular or CSV (default phylip)",
         false, 1, {"phylip", "phylip-lower", "csv"}}}},
      {"pcoa", 6, 3, "TABLE", 1, "principal coordinates of a distance table",
       {{"--axes", "K", K::Integer, 2, "number of axes, 1 to the number of strains (default 3)"},
        {"--correction", "none|lingoes|cailliez", K::Choice, 3,
         "correction of a table that is not Euclidean (default none)", false, 0, {"none", "lingoes", "cailliez"}},
        kSvgScatter}},
      {"mantel", 7, 4, "TABLEA", 1, "Mantel test between two distance tables of the same strains",
       {{"--permutations", "N", K::Integer, 3, "number of permutations, 0 or more (default 999)", false, 0},
        {"--method", "pearson|spearman", K::Choice, 4, "correlation (default pearson)", false, 1,
         {"pearson", "spearman"}},
        kSeed},
       "TABLEB", 2},
      {"run", 0, 0, "COMMANDFILE", 0, "the runs of a command file (the batch form)", {}},
  };
  return table;
}

const Verb* findverb(int argc, const char* const* argv) {
  if (argc < 3) return nullptr;
  for (const Verb& v : verbs())
    if (v.name == argv[1]) return &v;
  return nullptr;
}

namespace {

// A whole decimal number from `minimum` to `maximum`, digits only.
std::optional<long long> wholenumber(std::string_view text, long long minimum, long long maximum) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v < minimum || v > maximum) return std::nullopt;
  return v;
}

bool realofzeroormore(const std::string& text) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(v) && v >= 0;
}

std::string joined(const std::vector<std::string_view>& words, const char* last) {
  std::string s;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) s += i + 1 == words.size() ? last : ", ";
    s += words[i];
  }
  return s;
}

// The answer of an option's value, or a usage error.
std::string answerof(const VerbOption& o, const std::string& value, const std::string& startfolder,
                     std::string& error) {
  const std::string name(o.name);
  switch (o.kind) {
    case K::Choice:
      for (std::size_t k = 0; k < o.choices.size(); ++k)
        if (const std::string answer = std::to_string(o.minimum + static_cast<long long>(k));
            value == o.choices[k] || value == answer)
          return answer;
      error = name + " " + value + ": expected " + joined(o.choices, " or ");
      return {};
    case K::Integer:
      if (!wholenumber(value, o.minimum, 2147483647))
        error = name + " " + value + ": expected a whole number of " + std::to_string(o.minimum) + " or more";
      return value;
    case K::Real:
      if (!realofzeroormore(value)) error = name + " " + value + ": expected a number of 0 or more";
      return value;
    case K::Path: {
      std::string path = absolutepath(value, startfolder);
      // An answer holds at most 255 characters: a longer path would be cut
      // to another file's name.
      if (path.size() > 255) error = name + ": the path " + path + " is longer than 255 characters";
      return path;
    }
    default:
      return {};
  }
}

// An option and its value (empty for options without one) into the call.
void takeoption(VerbCall& call, const VerbOption& o, const std::string& value, const std::string& startfolder) {
  const std::string name(o.name);
  switch (o.kind) {
    case K::Flag:
      call.answers[static_cast<std::size_t>(o.slot)].assign(1, '1');
      break;
    case K::Quiet:
      call.quiet = true;
      break;
    case K::Help:
      call.help = true;
      break;
    case K::Seed:
      if (!wholenumber(value, 0, 4294967295LL))
        call.error = name + " " + value + ": expected a whole number from 0 to 4294967295";
      call.seed = value;
      break;
    case K::Threads:
      if (!wholenumber(value, 1, 1024)) call.error = name + " " + value + ": expected a whole number from 1 to 1024";
      call.threads = value;
      break;
    case K::OutputDir:
      call.outputdir = absolutepath(value, startfolder);
      if (std::error_code ec; !std::filesystem::is_directory(call.outputdir, ec))
        call.error = name + " " + value + ": not a folder";
      break;
    case K::Picture: {
      VerbOption path{o.name, o.metavar, K::Path};
      call.picture = answerof(path, value, startfolder, call.error);
      break;
    }
    default:
      call.answers[static_cast<std::size_t>(o.slot)] = answerof(o, value, startfolder, call.error);
      break;
  }
}

}  // namespace

VerbCall parseverb(const Verb& verb, int argc, const char* const* argv, const std::string& startfolder) {
  VerbCall call;
  call.verb = &verb;
  const std::string prefix = "lorvane-cli " + std::string(verb.name) + ": ";
  auto find = [&](std::string_view name) -> const VerbOption* {
    for (const auto* list : {&verb.options, &commonoptions()})
      for (const VerbOption& o : *list)
        if (o.name == name) return &o;
    return nullptr;
  };
  std::vector<std::string> operands;
  bool optionsend = false;
  for (int i = 2; i < argc && call.error.empty(); ++i) {
    std::string token = argv[i];
    if (optionsend || token.size() < 2 || token[0] != '-') {
      operands.push_back(token);
      continue;
    }
    if (token == "--") {
      optionsend = true;
      continue;
    }
    std::optional<std::string> value;
    if (const auto eq = token.find('='); token.starts_with("--") && eq != std::string::npos) {
      value = token.substr(eq + 1);
      token.resize(eq);
    }
    const VerbOption* o = find(token);
    if (!o) {
      call.error = "unknown option " + token;
      break;
    }
    const bool takesvalue = !o->metavar.empty();
    if (!takesvalue && value) {
      call.error = token + " takes no value";
      break;
    }
    if (takesvalue && !value) {
      if (i + 1 >= argc) {
        call.error = token + " needs a value: " + token + " " + std::string(o->metavar);
        break;
      }
      value = argv[++i];
    }
    takeoption(call, *o, value.value_or(""), startfolder);
  }
  if (call.help) {
    call.error.clear();
    return call;
  }
  if (call.error.empty()) {
    const std::size_t wanted = verb.operand2.empty() ? 1 : 2;
    if (operands.size() < wanted) {
      call.error = "missing " + std::string(operands.empty() ? verb.operand : verb.operand2);
    } else if (operands.size() > wanted) {
      call.error = (wanted == 1 ? "one " + std::string(verb.operand)
                                : std::string(verb.operand) + " and " + std::string(verb.operand2)) +
                   " only, not \"" + operands[wanted] + "\"";
    } else {
      VerbOption operand{verb.operand, verb.operand, K::Path};
      call.operand = answerof(operand, operands[0], startfolder, call.error);
      if (verb.operandslot > 0) call.answers[static_cast<std::size_t>(verb.operandslot)] = call.operand;
      if (wanted == 2) {
        VerbOption second{verb.operand2, verb.operand2, K::Path};
        call.answers[static_cast<std::size_t>(verb.operandslot2)] = answerof(second, operands[1], startfolder, call.error);
      }
    }
  }
  for (const VerbOption& o : verb.options)
    if (call.error.empty() && o.required && call.answers[static_cast<std::size_t>(o.slot)].empty())
      call.error = "missing " + std::string(o.name) + " " + std::string(o.metavar);
  if (!call.error.empty())
    call.error = prefix + call.error + "\nTry 'lorvane-cli " + std::string(verb.name) + " --help'.\n";
  return call;
}

std::string verbhelp(const Verb& verb) {
  std::string summary(verb.summary);
  summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  std::string operands(verb.operand);
  if (!verb.operand2.empty()) operands.append(" ").append(verb.operand2);
  std::string text = "Usage: lorvane-cli " + std::string(verb.name) + " [options] " + operands + "\n\n" + summary + ".\n";
  if (!verb.operand2.empty())
    text += "Of a file of several tables, the first is taken; the strains of the two are matched by name.\n";
  if (verb.option > 0)
    text += "Runs option " + std::to_string(verb.option) +
            " as a command file would: the same outputs, beside " +
            (verb.operand2.empty() ? std::string("the input file") : std::string(verb.operand)) + ".\n";
  text += "\nOptions:\n";
  for (const auto* list : {&verb.options, &commonoptions()})
    for (const VerbOption& o : *list) {
      std::string left = "  ";
      left.append(o.name);
      if (!o.metavar.empty()) left.append(" ").append(o.metavar);
      left.resize(std::max<std::size_t>(left.size() + 2, 30), ' ');
      text.append(left).append(o.help).append("\n");
    }
  text += verb.option > 0 ? "\nExit status: 0 done, 1 the run ended with an error, 4 done but the report\n"
                            "could not be written, 64 usage, 128 + n signal n.\n"
                          : "\nExit status: 0 worked through, 1 a run ended with an error, 2 a format fault\n"
                            "stopped the file early, 3 the file cannot be found, opened or is empty,\n"
                            "4 worked through but the report could not be written, 64 usage,\n"
                            "128 + n signal n.\n";
  return text;
}

std::string verblist() {
  std::string text;
  for (const Verb& v : verbs()) {
    std::string left = "  " + std::string(v.name);
    left.resize(18, ' ');
    text += left + std::string(v.summary) + "\n";
  }
  return text;
}

bool verbavailable(const Frame& frame, const Verb& verb) {
  return verb.option >= 1 && verb.option <= frame.registry.entrycount &&
         frame.registry.paramcount[static_cast<std::size_t>(verb.option)] == verb.parameters;
}

int runverboption(Frame& frame, const VerbCall& call) {
  const int option = call.verb->option;
  // As a command-file block: the report file is refreshed, not shown.
  frame.files.entercommandfilemode();
  for (int k = 1; k <= call.verb->parameters; ++k)
    frame.store.answers[static_cast<std::size_t>(k)] = call.answers[static_cast<std::size_t>(k)];
  frame.store.currentoption = option;
  frame.beginreport();
  frame.runoption(option);
  if (interruptsignal() != 0) {
    frame.shutdown();
    return exitinterrupted(interruptsignal());
  }
  if (frame.lastrunfailed() || frame.ws().closing()) {
    frame.shutdown();
    return kExitRunFailed;
  }
  frame.droptemporaryreport();
  const int status = call.picture.empty() ? kExitWorkedThrough : writepicture(call, frame.context());
  return status == kExitWorkedThrough && frame.files.reportfailed() ? kExitReportFailed : status;
}

int writepicture(const VerbCall& call, const RunContext& ctx) {
  try {
    if (call.verb->option == 6) {
      drawing::writepcoapicture(outputstem(ctx, call.operand) + ".pcoa.csv", call.picture);
      return kExitWorkedThrough;
    }
    std::string text;
    const std::string treepath = outputstem(ctx, call.operand) + ".nwk";
    if (!readwhole(treepath, text))
      throw ErrorStop(filefault("Error: can't open tree file " + treepath + " (writepicture)", treepath, errno));
    const Tree tree = readnewick(text, treepath);
    // The tree verb's input is the table beside which the tree is drawn;
    // a bootstrap tree's tables stay in memory, so its picture is the tree.
    DistanceTable table;
    const bool withtable = call.verb->option == 3;
    if (withtable) {
      TableReader reader(call.operand);
      if (!reader.next(table)) throw ErrorStop("Error: " + call.operand + " holds no table (writepicture)");
    }
    const drawing::Scene scene = drawing::layout(&tree, withtable ? &table : nullptr);
    if (interruptsignal() != 0) return exitinterrupted(interruptsignal());
    drawing::writesvg(scene, call.picture);
  } catch (const ErrorStop& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitRunFailed;
  }
  return kExitWorkedThrough;
}

}  // namespace lorvane
