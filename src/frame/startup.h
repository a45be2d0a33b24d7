#pragma once
// The command line: "-m" (no effect), "-o n" (open option n's dialog),
// "-f path" (command file), "-d folder" (base folder); any other token makes
// the whole line, blanks and switches included, the command-file path. A
// switch without its value is ignored, except "-f", a usage fault.
#include <string>
#include <string_view>

namespace lorvane {

struct CommandLine {
  int optiontoopen = 0;
  std::string commandfile;
  std::string basefolder;
  std::string error;  // a usage fault ("-f" without its path); empty when none
};

// The text after the program name: the arguments joined by single blanks,
// at most 1023 characters.
std::string commandlinetext(int argc, const char* const* argv);
CommandLine parsecommandline(std::string_view text);
// The per-user data folder that takes the place of the system folder for
// the folder files: $XDG_DATA_HOME/lorvane when that is an absolute path,
// otherwise HOME's .local/share/lorvane (the password entry's home when HOME
// is unset). The programs pass the two environment values they read.
std::string userdatafolder(const char* xdgdatahome, const char* home);
// A relative path taken from the given folder.
std::string absolutepath(const std::string& path, const std::string& folder);

// Exit statuses of the programs.
inline constexpr int kExitWorkedThrough = 0;
inline constexpr int kExitRunFailed = 1;
inline constexpr int kExitCommandFileStopped = 2;
inline constexpr int kExitCommandFileUnreadable = 3;
// The runs worked through, but their report could not be made, written or
// copied in full (a warning on standard error named the file and the reason).
inline constexpr int kExitReportFailed = 4;
inline constexpr int kExitUsage = 64;
// Stopped by a signal: 128 + its number, as the shells report a program the
// signal ended.
inline int exitinterrupted(int signal) { return 128 + signal; }

}  // namespace lorvane
