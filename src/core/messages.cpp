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

void filedone(const std::string& /*path*/) {}

}  // namespace lorvane
