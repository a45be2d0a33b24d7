#include "core/terminal.h"

#include <algorithm>

namespace lorvane {

std::string TerminalWindowSystem::barline(const std::string& title, int step, int total, double seconds,
                                          int width) {
  const double done = total > 0 ? std::min(1.0, std::max(0.0, static_cast<double>(step) / total)) : 0.0;
  const int filled = static_cast<int>(done * width);
  std::string line = title + " [";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(width - filled), '.');
  char tail[96];
  const long long whole = static_cast<long long>(seconds);
  std::snprintf(tail, sizeof tail, "] %d/%d  %lld:%02lld", step, total, whole / 60, whole % 60);
  return line + tail;
}

void TerminalWindowSystem::clearline() {
  if (drawn_) std::fputs("\r\033[K", out_);
  drawn_ = false;
}

void TerminalWindowSystem::draw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastdraw_ < std::chrono::milliseconds(100)) return;
  lastdraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(out_, "\r\033[K%s", barline(title_, step_, total_, seconds, width_).c_str());
  std::fflush(out_);
  drawn_ = true;
}

void TerminalWindowSystem::infoBox(const std::string& text) {
  clearline();
  HeadlessWindowSystem::infoBox(text);
  if (open_) draw(true);
}

void TerminalWindowSystem::errorBox(const std::string& text) {
  clearline();
  HeadlessWindowSystem::errorBox(text);
  if (open_) draw(true);
}

void TerminalWindowSystem::progressOpen(const std::string& title) {
  title_ = title;
  step_ = total_ = 0;
  open_ = true;
  start_ = std::chrono::steady_clock::now();
  draw(true);
}

void TerminalWindowSystem::progressStep(int step, int total) {
  step_ = step;
  total_ = total;
  draw(step == total);
}

void TerminalWindowSystem::progressClose() {
  if (open_) {
    draw(true);
    std::fputc('\n', out_);
    std::fflush(out_);
  }
  open_ = drawn_ = false;
}

}  // namespace lorvane
