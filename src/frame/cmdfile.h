#pragma once
// Command files: a name line, then run blocks of an option number, its
// parameter count and one answer per line, separated by "----------" lines.
#include <string>
#include <vector>

#include "frame/frame.h"

namespace lorvane {

struct CommandFileResult {
  enum class Status {
    Completed,   // worked through: the program ends with status 0
    Stopped,     // a format fault stopped the runner before a block
    CannotOpen,  // the file could not be opened (the problem: the system's reason)
    Empty,       // no name line
    Failed,      // a run met an error stop; the runner went no further
    Interrupted, // a signal asked to stop (see core/interrupt.h); no further run began
  };
  Status status = Status::Completed;
  int line = 0;          // the line where the runner stopped
  std::string problem;   // what was expected there
};

// Run a command file. On Completed the temporary report is already gone.
CommandFileResult runcommandfile(Frame& frame, const std::string& path);

// Files dropped on the window: each run as a command file, whole path
// (a path cut short could name another file), until one is worked through.
// Returns the last result.
CommandFileResult dropfiles(Frame& frame, const std::vector<std::string>& paths);

// One-line description of a result for the user.
// The message for a command-file path that names no file (or a folder),
// with the system's reason.
std::string missingcommandfile(const std::string& path);
std::string describe(const CommandFileResult& result, const std::string& path);

}  // namespace lorvane
