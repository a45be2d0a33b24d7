#pragma once
// The answer store: the answers of the option about to run, the labels and
// descriptors the parameter dialog shows, and the current option. Written by
// the parameter dialog and the command-file runner, read by the option
// handlers and the run banner.
#include <array>
#include <string>

#include "frame/registry.h"

namespace lorvane {

// A text per parameter slot: slots 1 to 10; slot 0 exists and is not used.
using SlotTexts = std::array<std::string, kMaxParameters + 1>;
// The answers of a run.
using Answers = SlotTexts;

struct AnswerStore {
  Answers answers{};
  SlotTexts labels{};
  SlotTexts descriptors{};
  int currentoption = 0;  // 0 = none
  bool operator==(const AnswerStore&) const = default;
};

}  // namespace lorvane
