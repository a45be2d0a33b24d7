#pragma once
// Shared test helpers: a scratch folder per test, whole-file reads and
// writes, and a window system that records what the engine showed.
#include <functional>
#include <string>
#include <vector>

#include "core/textio.h"
#include "core/windowsystem.h"

namespace lorvane::test {

// A fresh folder, made current for the test; the former current folder
// and XDG_DATA_HOME are restored afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string previous_;
  std::string previousxdg_;
  bool hadxdg_ = false;
};

// The message of the error stop the call raised; empty when it raised none.
std::string errorstopof(const std::function<void()>& call);

std::string readfile(const std::string& path);
void writefile(const std::string& path, const std::string& content);
bool exists(const std::string& path);
// Names in a folder, sorted.
std::vector<std::string> listfolder(const std::string& path);

class RecordingWindowSystem : public HeadlessWindowSystem {
 public:
  RecordingWindowSystem() = default;
  // Also logs the messages and progress calls in `timeline`, each with the
  // length the report had reached ("step 2/5 @120"), so that their order
  // against the report lines is kept too.
  explicit RecordingWindowSystem(CFile& report) : report_(&report) {}
  void infoBox(const std::string& text) override {
    infos.push_back(text);
    log("info " + text);
  }
  void errorBox(const std::string& text) override { errors.push_back(text); }
  void progressOpen(const std::string& title) override {
    progress.push_back("open " + title);
    log("open " + title);
  }
  void progressStep(int step, int total) override {
    progress.push_back(std::to_string(step) + "/" + std::to_string(total));
    log("step " + progress.back());
  }
  void progressClose() override {
    progress.push_back("close");
    log("close");
  }
  std::vector<std::string> infos, errors, progress, timeline;

 private:
  void log(const std::string& what);
  CFile* report_ = nullptr;
};

// Result of running a program.
struct Run {
  int status = -1;
  std::string out, err;
};
// Run a command through the shell from the given folder.
Run runprogram(const std::string& command, const std::string& folder);

}  // namespace lorvane::test
