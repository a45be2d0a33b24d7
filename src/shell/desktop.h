#pragma once
// The desktop program's pieces and its start-up: the window system, the
// frame with the registered module, and the main window.
#include <memory>
#include <optional>
#include <string>

#include "frame/frame.h"
#include "frame/startup.h"
#include "shell/mainwindow.h"
#include "shell/prompter.h"
#include "shell/qtwindowsystem.h"

namespace lorvane {

class Desktop {
 public:
  // `prompter` answers every dialog; it must outlive the Desktop.
  // `datafolder` is the per-user data folder (see RunFiles).
  Desktop(Prompter& prompter, const std::string& datafolder);
  ~Desktop();

  // Register the module, open the option dialog the command line asks for
  // and run its command file. Returns the exit status when the program
  // ends here (a command file worked through, or an error stop that closed
  // the window); nothing when the message loop is to run.
  std::optional<int> start(const CommandLine& commandline, const std::string& startfolder);

  Frame& frame() { return frame_; }
  QtWindowSystem& ws() { return ws_; }
  MainWindow& window() { return *window_; }

 private:
  QtWindowSystem ws_;
  Frame frame_;
  std::unique_ptr<MainWindow> window_;
};

// Show the window and wait (briefly) until the window system has mapped it.
void showandwait(QWidget& window);

}  // namespace lorvane
