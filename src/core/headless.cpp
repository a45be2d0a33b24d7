#include <cstdio>

#include "core/windowsystem.h"

namespace lorvane {

void HeadlessWindowSystem::infoBox(const std::string& text) {
  std::fprintf(stderr, "Message: %s\n", text.c_str());
}

void HeadlessWindowSystem::note(const std::string& text) { std::fprintf(stderr, "Note: %s\n", text.c_str()); }

void HeadlessWindowSystem::errorBox(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace lorvane
