#pragma once
// Message operations and the error stop.
//
// A fault that ends a run is raised with `errorstop`, which throws ErrorStop.
// The place where an option runs catches it, shows the error box, sends the
// close request and abandons the run, so nothing goes on with a table or a
// file that failed.
#include <stdexcept>
#include <string>

namespace lorvane {

class WindowSystem;

class ErrorStop : public std::runtime_error {
 public:
  explicit ErrorStop(const std::string& message) : std::runtime_error(message) {}
};

// Information message that stops nothing ("Message:" box).
void infobox(WindowSystem& ws, const std::string& text);
// Error message box.
void errorbox(WindowSystem& ws, const std::string& text);
// A file fault's message: the text, then the file's path (unless the text
// names it already) and the system's reason: "TEXT: PATH: REASON". An error
// of 0 stands for a file that ended early.
std::string filefault(const std::string& text, const std::string& path, int error);
// Raise an error stop: never returns.
[[noreturn]] void errorstop(const std::string& text);
// Report a caught error stop: the error box, then the close request.
void reporterrorstop(WindowSystem& ws, const std::string& text);

}  // namespace lorvane
