#pragma once
#include <array>
#include <optional>
#include <string>

#include "core/computesettings.h"
#include "core/interrupt.h"
#include "core/textio.h"
#include "core/windowsystem.h"

namespace lorvane {

inline constexpr int kMaxSettings = 10;
using SettingTexts = std::array<std::string, kMaxSettings + 1>;

// What a computation is given: the window system for its messages and
// progress window, and the settings of the machine's use. It writes no
// report: its run does, from what it returns.
struct ComputeContext {
  WindowSystem& ws;
  ComputeSettings settings = {};
};

// One of `count` shares of a run's replicates or permutations, `index`
// from 1 to count: the run computes its share only and writes it to a shard
// file, which the merge joins with the others into the whole run's files.
struct ShardPart {
  int index = 1;
  int count = 1;
};

// What an option's run needs from the frame: the computation's context, the
// open temporary report for its report lines, where its outputs go, and
// whether its caller draws its results (then the tables and trees it holds
// in memory are kept in what it returns).
struct RunContext {
  WindowSystem& ws;
  CFile& report;
  ComputeSettings settings = {};
  // Where outputs go: empty for beside the input.
  std::string outputfolder = {};
  bool keepresults = false;
  // The texts of the verb's settings that the run takes as typed values
  // (1 to kMaxSettings; empty: the default), as the command line gave them.
  SettingTexts settingtexts = {};
  // A share of the run instead of the whole (the options that draw
  // replicates or permutations).
  std::optional<ShardPart> shard = {};

  ComputeContext compute() const { return ComputeContext{ws, settings}; }
};

// The name outputs are made from by appending their extension: the whole
// input path, or the input's file name in the output folder.
inline std::string outputstem(const RunContext& ctx, const std::string& input) {
  if (ctx.outputfolder.empty()) return input;
  const auto slash = input.find_last_of('/');
  return ctx.outputfolder + "/" + (slash == std::string::npos ? input : input.substr(slash + 1));
}

// The progress window for the life of a scope: closed on every way out.
class ProgressWindow {
 public:
  ProgressWindow(WindowSystem& ws, const std::string& title) : ws_(ws) { ws_.progressOpen(title); }
  ~ProgressWindow() { ws_.progressClose(); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  // A step of the computation: where a run that was asked to stop does so.
  void step(int step, int total) {
    checkinterrupt();
    ws_.progressStep(step, total);
  }

 private:
  WindowSystem& ws_;
};

}  // namespace lorvane
