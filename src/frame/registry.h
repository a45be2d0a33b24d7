#pragma once
// The module registry: what a module tells the frame about itself once, at
// start-up (its name, option titles, parameter counts and layouts, and the
// handler that runs its options), and the Options menu made from it.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

inline constexpr int kMaxOptions = 20;
inline constexpr int kMaxParameters = 10;
inline constexpr int kFirstOptionId = 1301;

// One entry of the Options menu. Position 0 is the template's separator, so
// option k's entry stands at position k.
struct MenuEntry {
  bool separator = false;
  std::string text;
  int id = 0;  // 0 for separators
  bool operator==(const MenuEntry&) const = default;
};

class Frame;
struct RunOutcome;
// Runs an option from the answers in the store: what the run made, or null
// when it did not run (a required answer is empty, or no such option).
using OptionHandler = std::function<std::shared_ptr<const RunOutcome>(Frame&, int option)>;

// Filled by the module's registration and read by everyone else.
struct ModuleRegistry {
  std::string name;
  std::string titles;  // each title followed by a newline; "-" is a separator
  int entrycount = 0;
  std::array<int, kMaxOptions + 1> paramcount{};
  // The parameter layout text of each option: per parameter a label and a
  // bracketed descriptor.
  std::array<std::string, kMaxOptions + 1> layout{};
  std::vector<MenuEntry> optionsmenu{MenuEntry{true, "", 0}};
  OptionHandler handler;

  // `optionsmenu`: the entries for the first `count` titles, ids from 1301
  // on (a separator uses up an id). False, and no entry added, when the
  // count is 20 or more.
  bool buildoptionsmenu(const std::string& titles, int count);
  // The text of the entry at the option's position ("" when none), at most
  // 255 characters.
  std::string title(int option) const;
  // Whether `option` is an entry of the Options menu (not a separator).
  bool offers(int option) const;
};

}  // namespace lorvane
