#include "frame/startup.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "core/convert.h"

namespace lorvane {

std::string commandlinetext(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text.substr(0, 1023);
}

CommandLine parsecommandline(std::string_view text) {
  CommandLine cl;
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) tokens.emplace_back(text.substr(start, i - start));
  }
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    const std::string& token = tokens[t];
    const bool hasvalue = t + 1 < tokens.size();
    if (token == "-m") {
    } else if (token == "-o") {
      if (hasvalue) cl.optiontoopen = texttoint(tokens[++t]);
    } else if (token == "-f") {
      if (hasvalue) cl.commandfile = tokens[++t].substr(0, 255);
      else cl.error = "-f: expected the path of a command file";
    } else if (token == "-d") {
      if (hasvalue) cl.basefolder = tokens[++t].substr(0, 255);
    } else {
      cl.commandfile = std::string(text.substr(0, 255));
    }
  }
  return cl;
}

std::string userdatafolder(const char* xdgdatahome, const char* home) {
  if (xdgdatahome && xdgdatahome[0] == '/') return std::string(xdgdatahome) + "/lorvane";
  if (!home || !*home) {
    const passwd* pw = ::getpwuid(::getuid());
    home = pw ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.local/share/lorvane";
}

std::string absolutepath(const std::string& path, const std::string& folder) {
  if (path.empty() || path[0] == '/') return path;
  if (folder.empty() || folder.back() == '/') return folder + path;
  return folder + "/" + path;
}

}  // namespace lorvane
