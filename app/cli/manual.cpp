// The manual page's generated sections and the bash completion, both made
// from the options' descriptions, so that neither drifts from the verbs.
#include <set>
#include <utility>

#include "verbs.h"

namespace lorvane {

namespace {

using K = ParameterKind;

// A text for roff: every "-" escaped.
std::string roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '-') out += '\\';
    out += c;
  }
  return out;
}

// How the manual shows an option with its value: bold name, italic value,
// a choice's words in bold.
std::string optionmacro(const Parameter& p, bool optional) {
  const std::string name = roff(p.option);
  if (p.kind == K::Flag) return optional ? ".RB [ " + name + " ]\n" : ".B " + name + "\n";
  if (!p.choices.empty())
    return optional ? ".RB [ " + name + " \" " + p.valuename() + "]\"\n" : ".BR " + name + " \" " + p.valuename() + "\"\n";
  if (optional) return ".RB [ " + name + "\n.IR " + std::string(p.metavar) + " ]\n";
  return ".BI " + name + " \" " + std::string(p.metavar) + "\"\n";
}

std::string synopsis() {
  std::string text;
  for (const Verb& v : verbs()) {
    text += ".B lorvane-cli " + roff(v.name) + "\n";
    std::string operands;
    if (v.option)
      for (const Parameter& p : v.option->parameters)
        if (!p.option.empty()) text += optionmacro(p, !p.required);
    text += ".I " + v.operandtext() + "\n.br\n";
  }
  return text;
}

std::string verbsection() {
  std::string text;
  for (const Verb& v : verbs()) {
    const std::string operands = v.operandtext();
    text += ".TP\n.BI \"" + roff(v.name) + " \" " + (operands.find(' ') != std::string::npos ? "\"" + operands + "\"" : operands) +
            "\n";
    text += std::string(v.option ? v.option->manual : v.manual);
    text += "\n";
  }
  return text;
}

std::string optionsection() {
  std::string text;
  std::set<std::pair<std::string_view, std::string_view>> done;
  for (const Verb& v : verbs())
    if (v.option)
      for (const Parameter& p : v.option->parameters)
        if (!p.option.empty() && done.insert({p.option, p.manual}).second)
          text += ".TP\n" + optionmacro(p, false) + std::string(p.manual.empty() ? p.help : p.manual) + "\n";
  for (const CommonOption& o : commonoptions())
    text += ".TP\n" + std::string(o.metavar.empty() ? ".B " + roff(o.name) : ".BI " + roff(o.name) + " \" " + std::string(o.metavar) + "\"") +
            "\n" + std::string(o.manual) + "\n";
  return text;
}

void replace(std::string& text, const std::string& marker, const std::string& with) {
  if (const auto at = text.find(marker); at != std::string::npos) text.replace(at, marker.size(), with);
}

}  // namespace

std::string manualpage(const std::string& manualtemplate) {
  std::string text = manualtemplate;
  replace(text, "@SYNOPSIS@\n", synopsis());
  replace(text, "@VERBS@\n", verbsection());
  replace(text, "@OPTIONS@\n", optionsection());
  return text;
}

std::string bashcompletion() {
  std::string first, cases, numbers, lists;
  for (const Verb& v : verbs()) {
    first += std::string(v.name) + " ";
    std::string options = "    " + std::string(v.name) + ")";
    if (v.option) {
      std::string names;
      for (const Parameter& p : v.option->parameters) {
        if (p.option.empty()) continue;
        names.append(" ").append(p.option);
        const std::string pattern = std::string(v.name) + "," + std::string(p.option);
        if (!p.choices.empty()) {
          std::string words;
          for (std::string_view c : p.choices) words.append(words.empty() ? "" : " ").append(c);
          cases += "    " + pattern + ") COMPREPLY=($(compgen -W \"" + words + "\" -- \"$cur\")); return ;;\n";
        } else if (p.kind != K::Flag && p.kind != K::Path && p.kind != K::Picture &&
                   p.kind != K::PictureGroups) {
          numbers += (numbers.empty() ? "" : "|") + pattern;
        }
      }
      if (!names.empty()) options += " options+=\"" + names + "\"";
    }
    lists += options + " ;;\n";
  }
  return "# Bash completion of lorvane-cli: the verbs as the first word, then each\n"
         "# verb's options, their values, and file names. Made from the options'\n"
         "# descriptions: do not edit (scripts/make-docs.sh writes it).\n"
         "_lorvane_cli() {\n"
         "  local cur prev verb\n"
         "  cur=${COMP_WORDS[COMP_CWORD]}\n"
         "  prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
         "    COMPREPLY=($(compgen -W \"" + first + "-f -d -o -m --help --version\" -- \"$cur\"))\n"
         "    [ \"${cur:0:1}\" = \"-\" ] || COMPREPLY+=($(compgen -f -- \"$cur\"))\n"
         "    return\n"
         "  fi\n"
         "  verb=${COMP_WORDS[1]}\n"
         "  case $verb,$prev in\n" + cases +
         "    " + numbers + "|*,--threads) return ;;\n"
         "    *,-d|*,--output-dir) COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n"
         "  esac\n"
         "  local options=\"--threads --quiet --output-dir --help\"\n"
         "  case $verb in\n" + lists +
         "    *) options=\"-f -d -o -m\" ;;\n"
         "  esac\n"
         "  if [ \"${cur:0:1}\" = \"-\" ]; then\n"
         "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
         "  else\n"
         "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -o filenames -F _lorvane_cli lorvane-cli\n";
}

}  // namespace lorvane
