#include "core/messages.h"

#include "core/windowsystem.h"

namespace lorvane {

void infobox(WindowSystem& ws, const std::string& text) {
  ws.beep();
  ws.infoBox(text);
}

void errorbox(WindowSystem& ws, const std::string& text) {
  ws.beep();
  ws.errorBox(text);
}

void errorstop(const std::string& text) { throw ErrorStop(text); }

void reporterrorstop(WindowSystem& ws, const std::string& text) {
  errorbox(ws, text);
  ws.requestClose();
}

namespace {
std::vector<std::string>& completed() {
  static std::vector<std::string> files;
  return files;
}
}  // namespace

void filedone(const std::string& path) { completed().push_back(path); }
const std::vector<std::string>& completedfiles() { return completed(); }
void clearcompletedfiles() { completed().clear(); }

}  // namespace lorvane
