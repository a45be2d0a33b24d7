#include "frame/registry.h"

namespace lorvane {

bool ModuleRegistry::buildoptionsmenu(const std::string& text, int count) {
  if (count >= kMaxOptions) return false;
  int id = kFirstOptionId;
  std::size_t start = 0;
  for (int k = 1; k <= count && start < text.size(); ++k, ++id) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = text.substr(start, end - start);
    start = end + 1;
    if (entry == "-")
      optionsmenu.push_back(MenuEntry{true, "", 0});
    else
      optionsmenu.push_back(MenuEntry{false, entry, id});
  }
  return true;
}

std::string ModuleRegistry::title(int option) const {
  if (option < 0 || static_cast<std::size_t>(option) >= optionsmenu.size()) return {};
  return optionsmenu[static_cast<std::size_t>(option)].text.substr(0, 255);
}

bool ModuleRegistry::offers(int option) const {
  if (option < 1 || option > entrycount || static_cast<std::size_t>(option) >= optionsmenu.size()) return false;
  return !optionsmenu[static_cast<std::size_t>(option)].separator;
}

}  // namespace lorvane
