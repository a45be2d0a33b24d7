#include "core/messages.h"

#include <cstring>

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

std::string filefault(const std::string& text, const std::string& path, int error) {
  std::string message = text;
  if (text.find(path) == std::string::npos) message += ": " + path;
  return message + ": " + (error ? std::strerror(error) : "unexpected end of file");
}

void errorstop(const std::string& text) { throw ErrorStop(text); }

void reporterrorstop(WindowSystem& ws, const std::string& text) {
  errorbox(ws, text);
  ws.requestClose();
}


}  // namespace lorvane
