#pragma once
// The module frame: the module registry, the answer store, the shared file
// dialog record and the run files, and the operations that join them (an
// option run, the report set-up and refresh). It knows nothing of what the
// module computes: the module fills the registry and gives its handler.
#include <functional>
#include <memory>
#include <string>

#include "core/runcontext.h"
#include "core/windowsystem.h"
#include "frame/answerstore.h"
#include "frame/filedialogrecord.h"
#include "frame/optiondescription.h"
#include "frame/registry.h"
#include "frame/runfiles.h"

namespace lorvane {

class Frame {
 public:
  // `datafolder`: the per-user data folder (see RunFiles).
  Frame(WindowSystem& ws, std::string datafolder);
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  WindowSystem& ws() { return ws_; }

  ModuleRegistry registry;
  AnswerStore store;
  FileDialogRecord dialogs;
  RunFiles files;

  // `optionsmenu`; too many entries are an error stop.
  void buildoptionsmenu(const std::string& titles, int count);
  // Run an option from the answers in the store, then refresh the report
  // when it ran. An error stop met on the way, or any other exception
  // (memory), is reported (error box, close request) and ends the run.
  void runoption(int option);
  // The same for a run that is no option of the module (the merge of shards).
  void runtask(const std::function<std::shared_ptr<const RunOutcome>()>& run);
  bool lastrunfailed() const { return lastrunfailed_; }
  // What the last run made; null when it failed or did not run.
  const std::shared_ptr<const RunOutcome>& lastresult() const { return lastresult_; }

  // New report names and folders, and a fresh answer store.
  void setupfiles(const std::string& name);
  // The banner of the current option, after opening the temporary report.
  void beginreport();
  void writebanner();
  void refreshreport();
  void changefolder();
  void shutdown();
  void droptemporaryreport() { files.droptemporary(); }
  RunContext context() {
    return RunContext{ws_, files.report(), settings, outputfolder, keepresults, settingtexts, shard};
  }
  // How the computations use the machine, handed to every run.
  ComputeSettings settings;
  // Where the runs write their outputs; empty for beside each input.
  std::string outputfolder;
  // Whether the runs keep their tables and trees in what they return (for
  // a picture of them).
  bool keepresults = false;
  // The verb's settings that its run takes (RunContext::settingtexts);
  // empty for the dialogs and command files.
  SettingTexts settingtexts{};
  // A share of the run (a verb's --shard); none: the whole run.
  std::optional<ShardPart> shard;

 private:
  // End a run that met a fault: the error box, the close request and the
  // report refreshed with what the run wrote.
  void failrun(const std::string& message);
  WindowSystem& ws_;
  bool lastrunfailed_ = false;
  std::shared_ptr<const RunOutcome> lastresult_;
};

}  // namespace lorvane
