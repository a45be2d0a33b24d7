#pragma once
// Shared test helpers: a scratch folder per test, whole-file reads and
// writes, and a window system that records what the engine showed.
#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/runcontext.h"
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
  // The per-user data folder of the programs run here (XDG_DATA_HOME is set
  // for them); not made yet.
  std::string datafolder() const { return path_ + "/xdg/lorvane"; }
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

// Records what the engine showed and asked for; file dialogs are answered
// from a queue (none left: cancelled).
class RecordingWindowSystem : public HeadlessWindowSystem {
 public:
  struct ReportChange {
    std::string path;
    int firstnewline;
    bool show;
    bool operator==(const ReportChange&) const = default;
  };
  RecordingWindowSystem() = default;
  // Also logs the messages and progress calls in `timeline`, each with the
  // length the report had reached ("step 2/5 @120"), so that their order
  // against the report lines is kept too.
  explicit RecordingWindowSystem(CFile& report) : report_(&report) {}
  void beep() override { events.emplace_back("beep"); }
  void infoBox(const std::string& text) override {
    infos.push_back(text);
    events.emplace_back("info");
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
  void reportChanged(const std::string& path, int firstnewline, bool show) override {
    reports.push_back({path, firstnewline, show});
  }
  std::optional<std::string> fileDialog(const FileDialogRequest& request) override {
    requests.push_back(request);
    events.emplace_back("file");
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void setWaitCursor(bool on) override { events.emplace_back(on ? "wait" : "arrow"); }
  std::string documentPath() const override { return document; }

  std::vector<std::string> infos, errors, progress, timeline;
  std::vector<std::string> events;  // "beep", "info", "file", "wait", "arrow"
  std::vector<ReportChange> reports;
  std::deque<std::optional<std::string>> answers;
  std::vector<FileDialogRequest> requests;
  std::string document;

 private:
  void log(const std::string& what);
  CFile* report_ = nullptr;
};

// The answers of the simple computation (option 1) or the bootstrap (option
// 2) in the option's order; `last` is the package outputs of option 1 or the
// repetitions of option 2. Tests run both computations through `compute`.
struct Computation {
  int option = 1;
  int r = 1;
  float k = 1.0f;
  int index = 1, jukescantor = 0, last = 0;
};
void compute(RunContext& ctx, const std::string& path, const Computation& c);

// Runs a registered option (the answers in slots 1 on) in a scratch folder
// with a recording window system: the report lines it wrote, and the
// message of the error stop it raised in `error` (empty when none).
struct OptionRunner {
  TempDir dir;
  RecordingWindowSystem ws;
  ComputeSettings settings;
  std::string error;
  std::string run(int option, const std::vector<std::string>& answers);
};

// Result of running a program.
struct Run {
  int status = -1;
  std::string out, err;
};
// Run a command through the shell from the given folder.
Run runprogram(const std::string& command, const std::string& folder);

// The text of every <text> element of an SVG file as an XML parser reads
// it, in order; empty when the file is not well-formed XML.
std::vector<std::string> svgtexts(const std::string& svgpath);

// A program started without the shell and not waited for: its arguments
// (the first is the program), the folder it starts in, and the descriptors
// its standard output and error go to. Its process id.
int startprogram(const std::vector<std::string>& args, const std::string& folder, int out, int err);
// Wait until the condition holds, checking every few milliseconds; false
// when it still does not after `seconds`.
bool waituntil(const std::function<bool()>& condition, double seconds);
// The exit status of a started program, 256 + n when signal n ended it
// (not the program itself), or -1 when it had not ended after `seconds` (it
// is killed then).
int waitprogram(int pid, double seconds);

}  // namespace lorvane::test
