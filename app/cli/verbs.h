#pragma once
// The verbs of lorvane-cli: `lorvane-cli VERB [options] FILE`. Each verb but
// `merge` and `run` is an option of the module, and its long options are that
// option's parameters as its description gives them: a verb fills the answer
// store as a command-file block would and runs the same option, so its
// outputs are those of the command file, byte for byte.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/frame.h"
#include "frame/optiondescription.h"
#include "runs/runresult.h"

namespace lorvane {

struct Verb {
  std::string_view name;
  std::string_view summary;
  const OptionDescription* option = nullptr;  // null: `merge` or `run`
  // Of a verb without an option: its operands as the usage names them
  // ("SHARD..." for one or more), and its paragraph of the manual.
  std::string_view operandnames = {};
  std::string_view manual = {};
  // The operands: the paths that are no long option, in slot order.
  std::vector<const Parameter*> operands() const;
  // Their names as the usage and the manual give them ("TABLEA TABLEB").
  std::string operandtext() const;
};

// The verbs, in the order the usage lists them.
const std::vector<Verb>& verbs();
// The verb named by the first argument, when the command line is a verb's:
// a verb is recognised only as the first token, and only when at least one
// more token follows (else the old meaning holds: a bare command-file path).
const Verb* findverb(int argc, const char* const* argv);

// The options every verb takes, after its own.
struct CommonOption {
  enum class Kind { Threads, Quiet, OutputDir, Help };
  std::string_view name, metavar, help;
  Kind kind;
  std::string_view manual;
};
const std::vector<CommonOption>& commonoptions();

// A verb's command line, read.
struct VerbCall {
  const Verb* verb = nullptr;
  Answers answers{};
  SettingTexts settings{};  // the settings its run takes (Parameter::setting)
  std::string operand;  // the whole path of the first operand
  std::vector<std::string> operands;  // the whole paths of all of them
  std::optional<ShardPart> shard;     // --shard I/N
  std::string picture;  // --svg: the whole path; empty when not asked
  std::string picturegroups;  // --groups of a picture: the whole path; empty when not given
  std::string colourby;       // --color-by: the level; empty: the first level
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
// command-file block would (banner, option, report). When the run is done
// and a picture was asked, draws it from what the run returned. Returns the
// exit status.
int runverboption(Frame& frame, const VerbCall& call);
// The merge of the shard files named by the call, with a report as a run's.
int runmergeverb(Frame& frame, const VerbCall& call);
// The picture of a verb's run, as SVG: for a tree verb, the tree it built
// (beside the heat map of the table it read, for `tree`; a bootstrap tree's
// tables stay in memory); for pcoa, the scatter of the strains on axes 1
// and 2. The exit status: an error stop is
// written to standard error and gives status 1.
int writepicture(const VerbCall& call, const RunResult& result);

// The manual page from its template (the markers @SYNOPSIS@, @VERBS@ and
// @OPTIONS@ replaced), and the bash completion of lorvane-cli.
std::string manualpage(const std::string& manualtemplate);
std::string bashcompletion();

}  // namespace lorvane
