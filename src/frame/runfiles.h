#pragma once
// The run files: the report file and the temporary report that runs append
// to, the folder files that name the default folder, the run banner, and
// the frame's flags (command-file mode, report shown, help messages).
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "core/textio.h"
#include "core/windowsystem.h"

namespace lorvane {

class RunFiles {
 public:
  // `datafolder` is the per-user data folder that takes the place of the
  // system folder for the folder files; it is created when first used.
  explicit RunFiles(std::string datafolder) : datafolder_(std::move(datafolder)) {}
  RunFiles(const RunFiles&) = delete;
  RunFiles& operator=(const RunFiles&) = delete;

  // `setupfiles`: report names from `name` and the clock, then the folders.
  // Returns the default folder when one was read or made (it becomes the
  // file dialog record's initial folder).
  std::optional<std::string> setup(const std::string& name);
  // `beginreport` and `writebanner` for the option of the given title.
  void begin(const std::string& title);
  void writebanner(const std::string& title);
  // `refreshreport`: the run's lines into the report file, the window told.
  // The report file is made at the first refresh, under a name no other file
  // has: "l-NAME-HH-MM-SS.txt", or with "-2", "-3"... before ".txt" when that
  // is taken, which its first line then says. Later refreshes append what the
  // runs wrote since.
  void refresh(WindowSystem& ws);
  // `changefolder`: the folder of the file `pick` returns becomes the
  // default folder, which is returned; nothing when the pick was cancelled
  // or the preference file could not be written.
  std::optional<std::string> changefolder(const std::function<std::optional<std::string>()>& pick);
  // Close and delete the temporary report (end of a command file).
  void droptemporary();
  // The end of the program: the temporary report deleted, the report file
  // too when the user says so.
  void shutdown(WindowSystem& ws);

  void setbasefolder(std::string folder) { basefolder_ = std::move(folder); }
  void entercommandfilemode() { commandfilemode_ = true; }
  void togglehelpmessages() { helpmessages_ = !helpmessages_; }

  const std::string& basefolder() const { return basefolder_; }
  const std::string& defaultfolder() const { return defaultfolder_; }
  bool commandfilemode() const { return commandfilemode_; }
  bool helpmessages() const { return helpmessages_; }
  bool reportshown() const { return reportshown_; }
  // The report file's path: before the first refresh, the name it will have
  // unless that is taken.
  const std::string& reportpath() const { return reportpath_; }
  // The temporary report, made exclusively in the default folder when first
  // opened (".lv<pid>-XXXXXX"); empty before.
  const std::string& temporaryreportpath() const { return temppath_; }
  // A report or temporary report could not be made, written or copied (each
  // time named on standard error with the system's reason).
  bool reportfailed() const { return reportfailed_; }
  bool temporaryreportopen() const { return static_cast<bool>(tempreport_); }
  CFile& report() { return tempreport_; }

  // The clock of the time stamps and banners; tests set it.
  std::function<std::time_t()> clock = [] { return std::time(nullptr); };

 private:
  void opentemporary();
  // Brings the report file up to date with the temporary report; false when
  // that failed (the warning given).
  bool copynew();
  bool makereport(const std::string& lines);
  // A report fault on standard error (once until a copy goes through); false.
  bool warn(const std::string& what, const std::string& path, int error, const char* operation = "refreshreport");
  std::optional<std::string> findfolders();
  // From the base folder, to the folder of the preference file: the one the
  // pointer file names, or the data folder. False (and a warning) when the
  // data folder cannot be used.
  bool gotopreferencefolder();
  // Named on standard error once in the program.
  void folderwarning(const std::string& text);

  const std::string datafolder_;
  std::string basefolder_;
  std::string defaultfolder_;
  std::string reportfolder_;  // ends in '/'
  std::string reportstem_;    // "l-" + name + time stamp
  std::string reportpath_;
  std::string notice_;  // the report's first line when its name was taken
  std::string temppath_;
  CFile tempreport_;
  bool reportmade_ = false;
  std::uint64_t copied_ = 0;       // bytes of the temporary report in the report file
  std::uint64_t reportbytes_ = 0;  // the report file's size as last written
  bool reportfailed_ = false;
  bool warned_ = false;
  bool folderwarned_ = false;  // the last failure was named; cleared by a good copy
  bool commandfilemode_ = false;
  bool helpmessages_ = false;
  bool reportshown_ = false;
  int reportlines_ = 0;  // line ends in the report file as last copied
};

std::string currentfolder();
bool changecurrentfolder(const std::string& folder);

}  // namespace lorvane
