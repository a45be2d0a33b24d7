#include "verbs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/interrupt.h"
#include "core/messages.h"
#include "frame/startup.h"
#include "runs/catalogue.h"
#include "shards/shards.h"
#include "tables/distancetable.h"

namespace lorvane {

std::vector<const Parameter*> Verb::operands() const {
  std::vector<const Parameter*> list;
  if (!option) return list;
  for (int k = 1; k <= option->count(); ++k)
    if (const Parameter* p = option->slot(k); p && p->kind == ParameterKind::Path && p->option.empty())
      list.push_back(p);
  return list;
}

std::string Verb::operandtext() const {
  if (!option) return std::string(operandnames);
  std::string names;
  for (const Parameter* p : operands()) names.append(names.empty() ? "" : " ").append(p->metavar);
  return names;
}

const std::vector<Verb>& verbs() {
  static const std::vector<Verb> table = [] {
    std::vector<Verb> v;
    for (const OptionDescription& d : catalogue().all()) v.push_back(Verb{d.verb, d.summary, &d});
    v.push_back(Verb{"merge", "the files of a whole run from the shard files of its shares (--shard)", nullptr,
                     "SHARD...",
                     "The files of a whole run from the shard files that its shares wrote\n.RB ( \\-\\-shard ),\n"
                     "given in any order: the same files, byte for byte, as the run on one\nmachine writes, beside "
                     "the first shard file. The shards must be of one\nrun (the same input content, parameters, seed "
                     "and number of shards) and\nall be there, each once; otherwise the merge ends with status 1, "
                     "naming\nthe shard at fault, and writes nothing."});
    v.push_back(Verb{"run", "the runs of a command file (the batch form)", nullptr, "COMMANDFILE",
                     "The runs of a command file, the batch form that the desktop program shares."});
    return v;
  }();
  return table;
}

const Verb* findverb(int argc, const char* const* argv) {
  if (argc < 3) return nullptr;
  for (const Verb& v : verbs())
    if (v.name == argv[1]) return &v;
  return nullptr;
}

const std::vector<CommonOption>& commonoptions() {
  using C = CommonOption::Kind;
  static const std::vector<CommonOption> options{
      {"--threads", "N", "compute with N threads (default: every processor)", C::Threads,
       "Compute with\n.I N\nthreads (every verb). Default: every processor."},
      {"--quiet", "", "no progress bar, no information messages (errors and warnings stay)", C::Quiet,
       "No progress bar and no information messages (every verb). Errors and\nwarnings are still written."},
      {"--output-dir", "DIR", "write the output files into the folder DIR instead of beside the input (same names)",
       C::OutputDir,
       "Write the output files into the existing folder\n.I DIR\nunder the names they would have beside the input "
       "(every verb). The\nreport names every path."},
      {"--help", "", "this help", C::Help, "The verb's options."},
  };
  return options;
}

namespace {

using K = ParameterKind;

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

// A number from `minimum` to `maximum` (no limit above for INT_MAX).
bool realwithin(const std::string& text, long long minimum, long long maximum) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(v) && v >= static_cast<double>(minimum) &&
         (maximum == INT_MAX || v <= static_cast<double>(maximum));
}

std::string joined(const std::vector<std::string_view>& words, const char* last) {
  std::string s;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) s += i + 1 == words.size() ? last : ", ";
    s += words[i];
  }
  return s;
}

// A path given on the command line, whole; an answer holds at most 255
// characters, so a longer path (which would be cut to another file's name)
// is a usage error, and so is an empty one.
std::string wholepath(std::string_view name, const std::string& value, const std::string& startfolder,
                      std::string& error) {
  if (value.empty()) {
    error = std::string(name) + " '': expected the path of a file";
    return {};
  }
  std::string path = absolutepath(value, startfolder);
  if (path.size() > 255) error = std::string(name) + ": the path " + path + " is longer than 255 characters";
  return path;
}

// The answer of a parameter's value, or a usage error.
std::string answerof(const Parameter& p, const std::string& value, const std::string& startfolder,
                     std::string& error) {
  const std::string name(p.option);
  switch (p.kind) {
    case K::Choice:
      for (std::size_t k = 0; k < p.choices.size(); ++k)
        if (const std::string answer = std::to_string(p.minimum + static_cast<long long>(k));
            value == p.choices[k] || value == answer)
          return answer;
      error = name + " " + value + ": expected " + joined(p.choices, " or ");
      return {};
    case K::Integer:
    case K::Count:
      if (!wholenumber(value, p.minimum, p.maximum)) {
        // A number above the range is told the maximum, even an unbounded count's.
        const bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
        const bool above = digits && (value.size() > 18 || std::stoll(value) > p.maximum);
        error = name + " " + value + ": expected a whole number " +
                (p.maximum == INT_MAX && !above
                     ? "of " + std::to_string(p.minimum) + " or more"
                     : "from " + std::to_string(p.minimum) + " to " + std::to_string(p.maximum));
      }
      return value;
    case K::Real:
      if (!realwithin(value, p.minimum, p.maximum))
        error = name + " " + value + ": expected a number " +
                (p.maximum == INT_MAX ? "of " + std::to_string(p.minimum) + " or more"
                                      : "from " + std::to_string(p.minimum) + " to " + std::to_string(p.maximum));
      return value;
    case K::Flag:
      return "1";
    case K::Path:
      return wholepath(p.option, value, startfolder, error);
    case K::Text:
      if (value.size() > 255) error = name + ": the value is longer than 255 characters";
      return value;
    default:
      return {};
  }
}

void takeparameter(VerbCall& call, const Parameter& p, const std::string& value, const std::string& startfolder) {
  switch (p.kind) {
    case K::Seed:
      if (!wholenumber(value, 0, 4294967295LL))
        call.error = std::string(p.option) + " " + value + ": expected a whole number from 0 to 4294967295";
      call.seed = value;
      break;
    case K::Picture:
      call.picture = wholepath(p.option, value, startfolder, call.error);
      break;
    case K::PictureGroups:
      call.picturegroups = wholepath(p.option, value, startfolder, call.error);
      break;
    case K::ColourBy:
      call.colourby = value;
      break;
    case K::Shard: {
      const auto slash = value.find('/');
      const auto count = wholenumber(slash == std::string::npos ? "" : value.substr(slash + 1), 1, 1000000);
      const auto index = wholenumber(value.substr(0, slash), 1, count.value_or(0));
      if (!index || !count)
        call.error = std::string(p.option) + " " + value + ": expected I/N, whole numbers with 1 <= I <= N <= 1000000";
      call.shard = ShardPart{static_cast<int>(index.value_or(1)), static_cast<int>(count.value_or(1))};
      break;
    }
    default:
      (p.slot > 0 ? call.answers[static_cast<std::size_t>(p.slot)] : call.settings[static_cast<std::size_t>(p.setting)]) =
          answerof(p, value, startfolder, call.error);
  }
}

void takecommon(VerbCall& call, const CommonOption& o, const std::string& value, const std::string& startfolder) {
  const std::string name(o.name);
  switch (o.kind) {
    case CommonOption::Kind::Quiet:
      call.quiet = true;
      break;
    case CommonOption::Kind::Help:
      call.help = true;
      break;
    case CommonOption::Kind::Threads:
      if (!wholenumber(value, 1, 1024)) call.error = name + " " + value + ": expected a whole number from 1 to 1024";
      call.threads = value;
      break;
    case CommonOption::Kind::OutputDir:
      call.outputdir = absolutepath(value, startfolder);
      if (std::error_code ec; !std::filesystem::is_directory(call.outputdir, ec))
        call.error = name + " " + value + ": not a folder";
      break;
  }
}

// The parameter or common option named by a token, with whether it takes a value.
struct Named {
  const Parameter* parameter = nullptr;
  const CommonOption* common = nullptr;
  std::string_view metavar() const { return parameter ? std::string_view(metavartext) : common->metavar; }
  bool takesvalue() const { return parameter ? parameter->kind != K::Flag : !common->metavar.empty(); }
  std::string metavartext;
};

std::optional<Named> findoption(const Verb& verb, std::string_view name) {
  if (verb.option)
    for (const Parameter& p : verb.option->parameters)
      if (!p.option.empty() && p.option == name) return Named{&p, nullptr, p.valuename()};
  for (const CommonOption& o : commonoptions())
    if (o.name == name) return Named{nullptr, &o, {}};
  return std::nullopt;
}

void takeoperands(VerbCall& call, const Verb& verb, const std::vector<std::string>& operands,
                  const std::string& startfolder) {
  std::vector<const Parameter*> wanted = verb.operands();
  std::vector<std::string_view> names;
  for (const Parameter* p : wanted) names.push_back(p->metavar);
  if (names.empty()) names.push_back(verb.operandnames);
  if (verb.operandnames.ends_with("...") && !operands.empty()) {
    for (const std::string& o : operands) call.operands.push_back(wholepath(names[0], o, startfolder, call.error));
    call.operand = call.operands.front();
  } else if (operands.size() < names.size()) {
    call.error = "missing " + std::string(names[operands.size()]);
  } else if (operands.size() > names.size()) {
    call.error = (names.size() == 1 ? "one " + std::string(names[0])
                                    : std::string(names[0]) + " and " + std::string(names[1])) +
                 " only, not \"" + operands[names.size()] + "\"";
  } else {
    for (std::size_t k = 0; k < names.size(); ++k) {
      const std::string path = wholepath(names[k], operands[k], startfolder, call.error);
      if (k == 0) call.operand = path;
      call.operands.push_back(path);
      if (k < wanted.size()) call.answers[static_cast<std::size_t>(wanted[k]->slot)] = path;
    }
  }
}

// What holds between the options: one given only with another, and a
// count of at most the strains of the table (when it is a file whose count
// can be read; the run checks the others).
void checkbetween(VerbCall& call, const OptionDescription& option) {
  auto given = [&](const Parameter& p) { return p.slot > 0 && !call.answers[static_cast<std::size_t>(p.slot)].empty(); };
  for (const Parameter& p : option.parameters) {
    if (!given(p)) continue;
    if (!p.needs.empty())
      for (const Parameter& q : option.parameters)
        if (q.option == p.needs && !given(q)) {
          call.error = std::string(p.option) + " needs " + std::string(q.option) + " " + q.valuename();
          return;
        }
    if (p.uptostrains) {
      std::error_code ec;
      if (!std::filesystem::is_regular_file(call.operand, ec)) continue;
      int strains = -1;
      try {
        strains = TableReader(call.operand).announced();
      } catch (const ErrorStop&) {
      }
      const std::string& value = call.answers[static_cast<std::size_t>(p.slot)];
      if (strains >= p.minimum && std::stoll(value) > strains) {
        call.error = std::string(p.option) + " " + value + ": expected a whole number from " +
                     std::to_string(p.minimum) + " to " + std::to_string(strains) + ", the number of strains of " +
                     call.operand;
        return;
      }
    }
  }
}

}  // namespace

VerbCall parseverb(const Verb& verb, int argc, const char* const* argv, const std::string& startfolder) {
  VerbCall call;
  call.verb = &verb;
  const std::string prefix = "lorvane-cli " + std::string(verb.name) + ": ";
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
    const std::optional<Named> o = findoption(verb, token);
    if (!o) {
      call.error = "unknown option " + token;
      break;
    }
    if (!o->takesvalue() && value) {
      call.error = token + " takes no value";
      break;
    }
    if (o->takesvalue() && !value) {
      if (i + 1 >= argc) {
        call.error = token + " needs a value: " + token + " " + std::string(o->metavar());
        break;
      }
      value = argv[++i];
    }
    if (o->parameter)
      takeparameter(call, *o->parameter, value.value_or(""), startfolder);
    else
      takecommon(call, *o->common, value.value_or(""), startfolder);
  }
  if (call.help) {
    call.error.clear();
    return call;
  }
  if (call.error.empty()) takeoperands(call, verb, operands, startfolder);
  if (call.error.empty() && call.shard && !call.picture.empty()) call.error = "--svg and --shard: a shard draws no picture";
  if (call.error.empty() && call.picture.empty() && !call.colourby.empty())
    call.error = "--color-by colours a picture: it needs --svg FILE";
  if (call.error.empty() && call.picture.empty() && !call.picturegroups.empty())
    call.error = "--groups colours a picture: it needs --svg FILE";
  if (verb.option)
    for (const Parameter& p : verb.option->parameters)
      if (call.error.empty() && p.required && !p.option.empty() && call.answers[static_cast<std::size_t>(p.slot)].empty())
        call.error = "missing " + std::string(p.option) + " " + p.valuename();
  if (verb.option && call.error.empty()) checkbetween(call, *verb.option);
  if (!call.error.empty())
    call.error = prefix + call.error + "\nTry 'lorvane-cli " + std::string(verb.name) + " --help'.\n";
  return call;
}

namespace {

// "  --name VALUE", padded to the help text's column, then the help text.
std::string helpline(std::string_view name, std::string_view value, std::string_view help) {
  std::string left = "  ";
  left.append(name);
  if (!value.empty()) left.append(" ").append(value);
  left.resize(std::max<std::size_t>(left.size() + 2, 30), ' ');
  return left.append(help).append("\n");
}

}  // namespace

std::string verbhelp(const Verb& verb) {
  std::string summary(verb.summary);
  summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  const std::vector<const Parameter*> operands = verb.operands();
  std::string text =
      "Usage: lorvane-cli " + std::string(verb.name) + " [options] " + verb.operandtext() + "\n\n" + summary + ".\n";
  if (verb.option && !verb.option->helpnote.empty()) text.append(verb.option->helpnote).append("\n");
  if (verb.option)
    text.append("Runs option ")
        .append(std::to_string(verb.option->number))
        .append(" as a command file would: the same outputs, ")
        .append(verb.option->outputs)
        .append(".\n");
  if (verb.name == "merge")
    text += "Checks that the shards are those of one run, each once, and writes the\nfiles of the whole run, byte "
            "for byte, beside the first shard.\n";
  text += "\nOptions:\n";
  if (verb.option)
    for (const Parameter& p : verb.option->parameters)
      if (!p.option.empty())
        text += helpline(p.option, p.kind == K::Flag ? std::string() : p.valuename(), p.help);
  for (const CommonOption& o : commonoptions()) text += helpline(o.name, o.metavar, o.help);
  text += verb.name != "run" ? "\nExit status: 0 done, 1 the run ended with an error, 4 done but the report\n"
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

namespace {

// The status of a verb's run that failed or was stopped (the program shut
// down); none when it is done (its temporary report dropped).
std::optional<int> failedstatus(Frame& frame) {
  if (interruptsignal() != 0) {
    frame.shutdown();
    return exitinterrupted(interruptsignal());
  }
  if (frame.lastrunfailed() || frame.ws().closing()) {
    frame.shutdown();
    return kExitRunFailed;
  }
  frame.droptemporaryreport();
  return std::nullopt;
}

}  // namespace

int runverboption(Frame& frame, const VerbCall& call) {
  const OptionDescription& option = *call.verb->option;
  // As a command-file block: the report file is refreshed, not shown.
  frame.files.entercommandfilemode();
  for (int k = 1; k <= option.count(); ++k)
    frame.store.answers[static_cast<std::size_t>(k)] = call.answers[static_cast<std::size_t>(k)];
  frame.store.currentoption = option.number;
  frame.settingtexts = call.settings;
  frame.beginreport();
  frame.runoption(option.number);
  if (const auto failed = failedstatus(frame)) return *failed;
  const auto result = std::dynamic_pointer_cast<const RunResult>(frame.lastresult());
  const int status = call.picture.empty() || !result ? kExitWorkedThrough : writepicture(call, *result);
  return status == kExitWorkedThrough && frame.files.reportfailed() ? kExitReportFailed : status;
}

int runmergeverb(Frame& frame, const VerbCall& call) {
  frame.files.entercommandfilemode();
  frame.files.begin("Merge of shards");
  frame.runtask([&] {
    RunContext ctx = frame.context();
    return mergeshards(ctx, call.operands);
  });
  if (const auto failed = failedstatus(frame)) return *failed;
  return frame.files.reportfailed() ? kExitReportFailed : kExitWorkedThrough;
}

}  // namespace lorvane
