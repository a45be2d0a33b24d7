#pragma once
// The verbs of lorvane-cli: `lorvane-cli VERB [options] FILE`. A verb fills
// the answer store as a command-file block would and runs the same option,
// so its outputs are those of the command file, byte for byte. The verbs and
// their options are one table: a new verb is one more entry.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/frame.h"

namespace lorvane {

// What a verb's option is and how its value becomes an answer.
enum class ValueKind {
  Flag,         // no value; the answer "1"
  Choice,       // one of the words (or its position as a number); the answer is the position
  Integer,      // a whole number from `minimum`
  Real,         // a number of 0 or more
  Path,         // a file, taken from the folder the program was started in
  Seed,         // the seed of the bootstrap generator
  Threads,      // the number of threads of the computations
  Quiet,        // no progress display, no information messages
  OutputDir,    // the folder the outputs are written to
  Help,         // the verb's help
  Picture,      // an SVG file drawn after the run (a path)
};

struct VerbOption {
  std::string_view name;     // "--index"
  std::string_view metavar;  // "jaccard|dice|neili"; empty for options without a value
  ValueKind kind;
  int slot = 0;              // the answer slot it fills; 0 for settings
  std::string_view help{};
  bool required = false;
  long long minimum = 1;     // Integer; Choice: the answer of the first word
  std::vector<std::string_view> choices{};  // Choice: answer minimum + k is choices[k]
};

struct Verb {
  std::string_view name;
  int option;                 // the option it runs; 0 runs a command file
  int parameters;             // that option's parameter count
  std::string_view operand;   // "BANDFILE"
  int operandslot;            // the answer slot of the operand
  std::string_view summary;
  std::vector<VerbOption> options;
  std::string_view operand2{};  // "TABLEB": a second operand, when the verb takes one
  int operandslot2 = 0;
};

const std::vector<Verb>& verbs();
// The verb named by the first argument, when the command line is a verb's:
// a verb is recognised only as the first token, and only when at least one
// more token follows (else the old meaning holds: a bare command-file path).
const Verb* findverb(int argc, const char* const* argv);

// A verb's command line, read.
struct VerbCall {
  const Verb* verb = nullptr;
  std::array<std::string, kMaxParameters + 1> answers{};
  std::string operand;  // the whole path
  std::string picture;  // --svg: the whole path; empty when not asked
  std::optional<std::string> seed, threads;
  std::string outputdir;  // the whole path; empty: beside the input
  bool quiet = false;
  bool help = false;
  std::string error;    // a usage error, naming the option; empty when none
};
VerbCall parseverb(const Verb& verb, int argc, const char* const* argv, const std::string& startfolder);

std::string verbhelp(const Verb& verb);
// The lines of the general usage that list the verbs.
std::string verblist();

// Fill the answer store with the call's answers and run its option as a
// command-file block would (banner, option, report). The verb must run an
// option, and the module must register it with the verb's parameter count.
// When the run is done and a picture was asked, draws it (see
// writepicture). Returns the exit status.
int runverboption(Frame& frame, const VerbCall& call);
// The picture of a verb's run, as SVG: for a tree verb, the tree it wrote
// (TABLE.nwk) beside the heat map of TABLE's first table; for pcoa, the
// scatter of the strains on axes 1 and 2 (TABLE.pcoa.csv). The exit status: an error stop
// is written to standard error and gives status 1.
int writepicture(const VerbCall& call, const RunContext& ctx);
// Whether the registered module offers the verb's option as the verb fills it.
bool verbavailable(const Frame& frame, const Verb& verb);

}  // namespace lorvane
