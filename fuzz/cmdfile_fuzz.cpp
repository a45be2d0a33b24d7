// Fuzz target: the command-file runner with the module registered, on a
// headless window system, in a private folder that holds the user data
// folder and one small band-pattern file "s" for the runs.
//
// Inputs with a "/" are skipped, so every path a run names stays a file of
// the private folder. Each run is kept short: at most 20 bootstrap
// repetitions and a K value of at most 4.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "runs/catalogue.h"
#include "core/convert.h"
#include "core/textio.h"
#include "core/windowsystem.h"
#include "frame/cmdfile.h"
#include "frame/frame.h"
#include "fuzzutil.h"

namespace {

using namespace lorvane;
namespace fs = std::filesystem;

// Boxes are not printed: a fuzzing run shows millions of them.
class QuietWindowSystem : public HeadlessWindowSystem {
 public:
  void infoBox(const std::string&) override {}
  void errorBox(const std::string&) override {}
};

const char* const kStrains =
    "4 12\n"
    "Alpha     101100111010\n"
    "Beta      101100111011\n"
    "Gamma     011011000101\n"
    "Delta     1001001110  \n";

struct Setup {
  std::string root, commandfile, datafolder;
  Setup() {
    root = fuzz::makescratchfolder("cmdfile");
    fs::create_directories(root + "/commands");
    commandfile = root + "/commands/run.cmd";
    datafolder = root + "/data/lorvane";
    fs::create_directories(datafolder);
    if (!writewhole(datafolder + "/s", kStrains)) fuzz::finding("cannot write the band file");
  }
};

// A file a run must never leave: a scratch copy, an output or report under
// its temporary name, or the temporary report after the shutdown.
bool leftover(const std::string& name) {
  if (name.starts_with("VLK.temp-") || name.ends_with(".provi")) return true;
  // Temporary names: the final name and a dot and six characters.
  if (name.size() < 7 || name[name.size() - 7] != '.') return false;
  const std::string final = name.substr(0, name.size() - 7);
  for (const char* ext : {".provi", ".matJ", ".matJP", ".matD", ".matDP", ".matDJC", ".matNL", ".nxy"})
    if (final.ends_with(ext)) return true;
  return false;
}

void cleanup(const Setup& setup) {
  for (const auto& e : fs::directory_iterator(setup.datafolder)) {
    const std::string name = e.path().filename().string();
    if (name == "s" || name == "VELKPREF.txt") continue;
    if (leftover(name)) fuzz::finding(("temporary file left behind: " + name).c_str());
    std::error_code ec;
    fs::remove_all(e.path(), ec);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Setup setup;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (text.find('/') != std::string_view::npos) return 0;
  if (!writewhole(setup.commandfile, text)) fuzz::finding("cannot write the command file");

  {
    QuietWindowSystem ws;
    Frame frame(ws, setup.datafolder);
    registermodule(frame);
    const OptionHandler module = frame.registry.handler;
    frame.registry.handler = [module](Frame& f, int option) {
      auto& a = f.store.answers;
      if (texttoint(a[6]) > 20) a[6] = std::to_string(20);
      if (texttoreal(a[3]) > 4) a[3] = std::to_string(4);
      return module(f, option);
    };
    const CommandFileResult result = runcommandfile(frame, setup.commandfile);
    if (result.status == CommandFileResult::Status::Completed && frame.files.temporaryreportopen())
      fuzz::finding("temporary report still open after a completed command file");
    frame.shutdown();
  }
  cleanup(setup);
  return 0;
}
