#pragma once
// The module frame: registry, answer store, options menu, run files and
// report. It knows nothing of what the module computes: the module fills the
// registry and gives the handler that runs its options.
#include <array>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "core/runcontext.h"
#include "core/textio.h"
#include "core/windowsystem.h"

namespace lorvane {

inline constexpr int kMaxOptions = 20;
inline constexpr int kMaxParameters = 10;
inline constexpr int kFirstOptionId = 1301;

struct ModuleRegistry {
  std::string name;
  std::string titles;  // each title followed by a newline; "-" is a separator
  int entrycount = 0;
  std::array<int, kMaxOptions + 1> paramcount{};
  std::array<std::string, kMaxOptions + 1> layout{};
};

// Slots 1 to 10; slot 0 exists and is not used.
struct AnswerStore {
  std::array<std::string, kMaxParameters + 1> answers{};
  std::array<std::string, kMaxParameters + 1> labels{};
  std::array<std::string, kMaxParameters + 1> descriptors{};
};

// One entry of the Options menu. Position 0 is the template's separator, so
// option k's entry stands at position k.
struct MenuEntry {
  bool separator = false;
  std::string text;
  int id = 0;  // 0 for separators
};

class Frame;
using OptionHandler = std::function<void(Frame&, int option)>;

// The banner layouts: frame line, second line, width before the closing bar.
struct BannerLayout {
  std::string frameline;
  std::string secondline;
  int width;
};
BannerLayout bannerlayout(const std::string& windowclass);

class Frame {
 public:
  explicit Frame(WindowSystem& ws);
  ~Frame();
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  WindowSystem& ws() { return ws_; }

  // Registry and options.
  ModuleRegistry registry;
  AnswerStore store;
  int currentoption = 0;
  std::vector<MenuEntry> optionsmenu;
  OptionHandler handler;
  void buildoptionsmenu(const std::string& titles, int count);  // `optionsmenu`
  // Run an option from the answers in the store. An error stop met on the
  // way, or any other exception (memory), is reported (error box, close
  // request) and ends the run.
  void runoption(int option);
  bool lastrunfailed() const { return lastrunfailed_; }

  // Run files and report.
  void setupfiles(const std::string& name);
  void beginreport();
  void writebanner();
  void refreshreport();
  void changefolder();
  void shutdown();
  // Close and delete the temporary report (end of a command file).
  void droptemporaryreport();
  bool temporaryreportopen() const { return static_cast<bool>(tempreport_); }
  CFile& report() { return tempreport_; }
  RunContext context() { return RunContext{ws_, tempreport_}; }

  const std::string& reportpath() const { return reportpath_; }
  const std::string& temporaryreportpath() const { return temppath_; }
  std::string basefolder;
  std::string defaultfolder;
  bool reportshown = false;
  bool commandfilemode = false;
  bool helpmessages = false;
  std::string windowclass = "Quillmoor";
  // The shared file dialog record: initial folder and last path chosen.
  std::string dialogfolder;
  std::string dialogfilename;
  // Its filter list as "|"-separated text: the save dialog of a "new" row
  // offers whatever the last open dialog of a parameter row set here.
  std::string dialogfilter = "All files (*.*)|*.*|";
  // The clock of the time stamps and banners; tests set it.
  std::function<std::time_t()> clock = [] { return std::time(nullptr); };

 private:
  void opentemporaryreport();
  // End a run that met a fault: the error box, the close request and the
  // report refreshed with what the run wrote.
  void failrun(const std::string& message);
  void findfolders();
  // From the base folder, to the folder of the preference file: the one the
  // pointer file names, or the user data folder.
  void gotopreferencefolder();
  WindowSystem& ws_;
  CFile tempreport_;
  std::string reportpath_;
  std::string temppath_;
  bool lastrunfailed_ = false;
};

// The folder that takes the place of the system folder for the folder
// files: $XDG_DATA_HOME/lorvane, by default ~/.local/share/lorvane, created
// when missing.
std::string userdatafolder();
std::string currentfolder();
bool changecurrentfolder(const std::string& folder);

}  // namespace lorvane
