#pragma once
// The window system of the command-line program when standard error is a
// terminal: the progress window becomes a bar on standard error with the
// title, the step count and the elapsed time. Everything else is as headless.
#include <chrono>
#include <cstdio>
#include <string>

#include "core/windowsystem.h"

namespace lorvane {

class TerminalWindowSystem : public HeadlessWindowSystem {
 public:
  // The bar is drawn on `out` (a terminal), `width` characters wide.
  explicit TerminalWindowSystem(std::FILE* out, int width = 30) : out_(out), width_(width) {}
  void infoBox(const std::string& text) override;
  void errorBox(const std::string& text) override;
  void progressOpen(const std::string& title) override;
  void progressStep(int step, int total) override;
  void progressClose() override;

  // One line of the bar (without the carriage return), for a given time.
  static std::string barline(const std::string& title, int step, int total, double seconds, int width);

 private:
  void clearline();
  void draw(bool force);
  std::FILE* out_;
  int width_;
  bool open_ = false, drawn_ = false;
  std::string title_;
  int step_ = 0, total_ = 0;
  std::chrono::steady_clock::time_point start_, lastdraw_;
};

}  // namespace lorvane
