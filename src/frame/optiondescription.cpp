#include "frame/optiondescription.h"

#include <algorithm>
#include <limits>

#include "core/convert.h"
#include "core/messages.h"

namespace lorvane {

std::string Parameter::valuename() const {
  if (choices.empty()) return std::string(metavar);
  std::string text;
  for (std::string_view c : choices) text.append(text.empty() ? "" : "|").append(c);
  return text;
}

std::string answerpath(const std::string& answer) { return answer.substr(0, 255); }

int answerinteger(const std::string& answer) { return texttoint(answer); }

float answerreal(const std::string& answer) {
  // Beyond the single-precision range a value becomes infinite (which the
  // computations refuse), never an undefined conversion.
  const double v = texttoreal(answer);
  constexpr double largest = std::numeric_limits<float>::max();
  if (v > largest) return std::numeric_limits<float>::infinity();
  if (v < -largest) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

bool answerflag(const std::string& answer) { return texttoint(answer) == 1; }

double answerfraction(const std::string& answer, const Parameter& p, std::string_view operation) {
  const double v = texttoreal(answer);
  if (!(v >= static_cast<double>(p.minimum) && v <= static_cast<double>(p.maximum)))
    errorstop("Error: " + std::string(p.noun) + " must be a number from " + std::to_string(p.minimum) + " to " +
              std::to_string(p.maximum) + " (" + std::string(operation) + ")");
  return v;
}

long long checkedcount(const Parameter& p, const std::string& answer, std::string_view operation) {
  const long long v = texttoint(answer);
  const std::string tail = " (" + std::string(operation) + ")";
  if (v < p.minimum)
    errorstop("Error: " + std::string(p.noun) +
              (p.minimum == 0 ? " must not be negative" : " must be " + std::to_string(p.minimum) + " or more") + tail);
  if (v > p.maximum)
    errorstop("Error: " + std::string(p.noun) + " must be at most " + std::to_string(p.maximum) + tail);
  return v;
}

int OptionDescription::count() const {
  int highest = 0;
  for (const Parameter& p : parameters) highest = std::max(highest, p.slot);
  return highest;
}

const Parameter* OptionDescription::slot(int k) const {
  for (const Parameter& p : parameters)
    if (p.slot == k) return &p;
  return nullptr;
}

std::string OptionDescription::layout() const {
  std::string text;
  for (int k = 1; k <= count(); ++k)
    if (const Parameter* p = slot(k)) text.append(p->label).append("\n[").append(p->descriptor).append("]");
  return text;
}

const OptionDescription* OptionCatalogue::find(int number) const {
  for (const OptionDescription& d : options_)
    if (d.number == number) return &d;
  return nullptr;
}

const OptionDescription* OptionCatalogue::findverb(std::string_view verb) const {
  for (const OptionDescription& d : options_)
    if (d.verb == verb) return &d;
  return nullptr;
}

std::string OptionCatalogue::titles() const {
  std::string text;
  for (const OptionDescription& d : options_) text.append(d.title).append("\n");
  return text;
}

}  // namespace lorvane
