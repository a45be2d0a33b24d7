#pragma once
// The description of an option, written once: its title, its parameters in
// answer-slot order (the dialog's label and descriptor, the verb's long
// option, the help text, the range of a count), and its run. The dialog's
// layout text, the verb's options and help, the manual's option list, the
// shell completion and the conversion of the answers into the run's typed
// request are all made from it.
#include <array>
#include <climits>
#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/runcontext.h"
#include "frame/answerstore.h"
#include "frame/registry.h"

namespace lorvane {

// How an answer text becomes a value, and how a verb's value becomes an answer.
enum class ParameterKind {
  Path,     // a file: the answer up to 255 characters; a verb's value is taken from the start folder
  Integer,  // the leading whole number of the answer; a verb takes a whole number in [minimum, maximum]
  Count,    // as Integer, and an answer outside [minimum, maximum] stops the run
  Real,     // the leading real number, narrowed to single precision; a verb takes a number of 0 or more
  Choice,   // a whole number naming one of `choices` (the first is `minimum`); a verb takes the word or the number
  Flag,     // a whole number, 1 for yes; a verb's flag gives the answer "1"
  Text,     // a word such as a level's name: the answer up to 255 characters; a verb's value as given
  // Settings of a verb that are no answer (slot 0):
  Seed,     // the seed of the run's random draws
  Picture,  // an SVG picture of the run's results, drawn after it
  PictureGroups,  // a groups file whose groups colour the picture's strains
  ColourBy,       // the level of the groups that colours the picture
  Shard,    // one share of the run's replicates or permutations ("I/N")
};

struct Parameter {
  ParameterKind kind = ParameterKind::Path;
  int slot = 0;  // the answer slot, 1 to 10; 0 for a verb's setting
  // A verb's setting that the run takes as a typed value, as it does its
  // answers (1 to 10: its place among the run's settings, see
  // RunContext::settingtexts); 0 for an answer, or a setting the frame uses.
  int setting = 0;
  // The dialog's row: the label and the bracketed descriptor of the layout text.
  std::string_view label = {};
  std::string_view descriptor = {};  // "int,0,1", without the brackets
  // The verb's long option ("--sites"); empty for an operand of the verb
  // (a path) or a parameter that only dialogs and command files give.
  std::string_view option = {};
  std::string_view metavar = {};  // "R"; a choice's words make its own
  std::string_view help = {};     // one line of the verb's --help
  std::vector<std::string_view> choices = {};
  long long minimum = 0;  // Integer, Count: the range; Choice: the answer of the first word
  long long maximum = INT_MAX;
  // An empty answer: the option does not run (the verb: a usage error).
  bool required = false;
  // What the number is, for the message of a count out of range
  // ("the number of permutations").
  std::string_view noun = {};
  // A verb's option that is given only with this other one ("--support").
  std::string_view needs = {};
  // A verb's count of at most the strains of its first table (read from
  // the table's count or header before the run when the table is a file).
  bool uptostrains = false;
  // Further text for the manual's entry of the option.
  std::string_view manual = {};

  // "jaccard|dice|neili" for a choice, else the metavar.
  std::string valuename() const;
};

// The conversions of answer texts, one per kind.
std::string answerpath(const std::string& answer);
int answerinteger(const std::string& answer);
float answerreal(const std::string& answer);
// A number from the parameter's minimum to its maximum (error stop beyond).
double answerfraction(const std::string& answer, const Parameter& p, std::string_view operation);
bool answerflag(const std::string& answer);

// What a run made: its output files in the order they were written, and
// whatever the module keeps in memory for a picture of it (see the module's
// own result type).
struct RunOutcome {
  virtual ~RunOutcome() = default;
  std::vector<std::string> outputs;
};

struct OptionDescription {
  int number = 0;
  std::string_view title = {};
  std::string_view verb = {};     // the verb of lorvane-cli that runs it
  std::string_view summary = {};  // the verb's line in the usage
  std::string_view operation = {};  // names the option in its error stops ("mantel")
  // The answers and the verb's settings, in the order the verb lists them.
  std::vector<Parameter> parameters = {};
  std::string_view manual = {};  // the manual's paragraph on the verb
  // The verb's help: a sentence after the summary, and where the outputs go.
  std::string_view helpnote = {};
  std::string_view outputs = "beside the input file";
  // Runs the option from the answers; null when a required answer is
  // empty and nothing ran.
  std::function<std::shared_ptr<const RunOutcome>(RunContext&, const Answers&)> run = {};

  // The number of answers (the highest slot).
  int count() const;
  // The parameter layout text of the dialog: per answer slot its label, a
  // newline and its descriptor in brackets.
  std::string layout() const;
  // The parameter of an answer slot; null when none.
  const Parameter* slot(int k) const;
};

// The slots of an answer store as a typed request: one binding per
// parameter, each converting its answer into one member. An empty answer
// leaves the member's default.
template <class Request>
struct Binding {
  Parameter parameter;
  // Converts an answer of `parameter` into its member (no state of its own
  // but the member, so that a catalogue of options is cheap to make).
  std::function<void(Request&, const Parameter&, const std::string& answer, std::string_view operation)> store = {};
};

// A verb's setting that no answer holds.
template <class Request>
Binding<Request> setting(Parameter p) {
  return Binding<Request>{std::move(p)};
}

// A count outside the parameter's range stops the run.
long long checkedcount(const Parameter& p, const std::string& answer, std::string_view operation);

template <class Request, class Member>
Binding<Request> bind(Parameter p, Member Request::*member) {
  auto store = [member](Request& r, const Parameter& q, const std::string& a, std::string_view operation) {
    Member& m = r.*member;
    if constexpr (std::is_same_v<Member, std::string>) {
      m = answerpath(a);
    } else if constexpr (std::is_same_v<Member, float>) {
      m = answerreal(a);
    } else if constexpr (std::is_same_v<Member, double>) {
      m = answerfraction(a, q, operation);
    } else if constexpr (std::is_same_v<Member, bool>) {
      m = answerflag(a);
    } else if constexpr (std::is_same_v<Member, std::optional<int>>) {
      m = q.kind == ParameterKind::Count ? static_cast<int>(checkedcount(q, a, operation)) : answerinteger(a);
    } else if constexpr (std::is_enum_v<Member>) {
      m = static_cast<Member>(answerinteger(a));
    } else {
      static_assert(std::is_same_v<Member, int>, "a request member is a path, a number, a flag or a choice");
      m = q.kind == ParameterKind::Count ? static_cast<int>(checkedcount(q, a, operation)) : answerinteger(a);
    }
  };
  return Binding<Request>{std::move(p), std::move(store)};
}

// An option whose run takes the typed request: the description's
// parameters are the bindings', and its run converts the answers first.
template <class Request>
OptionDescription describe(OptionDescription d, std::vector<Binding<Request>> bindings,
                           std::function<std::shared_ptr<const RunOutcome>(RunContext&, const Request&)> run) {
  d.parameters.clear();
  for (const Binding<Request>& b : bindings) d.parameters.push_back(b.parameter);
  const std::string_view operation = d.operation;
  d.run = [bindings = std::move(bindings), run = std::move(run), operation](
              RunContext& ctx, const Answers& answers) -> std::shared_ptr<const RunOutcome> {
    // An answer from its slot, a setting from the run's settings.
    auto text = [&](const Parameter& p) -> const std::string& {
      return p.slot > 0 ? answers[static_cast<std::size_t>(p.slot)]
                        : ctx.settingtexts[static_cast<std::size_t>(p.setting)];
    };
    for (const Binding<Request>& b : bindings)
      if (b.store && b.parameter.required && text(b.parameter).empty()) return nullptr;
    Request request;
    for (const Binding<Request>& b : bindings)
      if (b.store && !text(b.parameter).empty()) b.store(request, b.parameter, text(b.parameter), operation);
    return run(ctx, request);
  };
  return d;
}

// The options of a module, by number.
class OptionCatalogue {
 public:
  explicit OptionCatalogue(std::vector<OptionDescription> options) : options_(std::move(options)) {}
  const std::vector<OptionDescription>& all() const { return options_; }
  const OptionDescription* find(int number) const;
  const OptionDescription* findverb(std::string_view verb) const;
  // The titles text of the Options menu, each title followed by a newline.
  std::string titles() const;

 private:
  std::vector<OptionDescription> options_;
};

}  // namespace lorvane
