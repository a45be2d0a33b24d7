// Run files: the report, the temporary report, the folder files and the
// run banner.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "core/interrupt.h"
#include "core/messages.h"
#include "frame/runfiles.h"

namespace lorvane {

namespace {

constexpr const char* kPointerFile = "VELKDIRP.txt";
constexpr const char* kPreferenceFile = "VELKPREF.txt";

std::string localtimetext(std::time_t t, const char* format) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[64];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const std::size_t n = std::strftime(text, sizeof text, format, &tm);
#pragma GCC diagnostic pop
  return std::string(text, n);
}

void makefolders(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at)
    if (at == path.size() || path[at] == '/') ::mkdir(path.substr(0, at).c_str(), 0777);
}

// The banner: the window class name it shows, the width of its third line
// before the closing bar, its frame line and its blank second line.
constexpr const char* kWindowClass = "Quillmoor";
constexpr int kBannerWidth = 61;
const std::string kFrameLine = "+" + std::string(kBannerWidth - 1, '-') + "+";
const std::string kSecondLine = "|" + std::string(kBannerWidth - 1, ' ') + "|";

// A report name must stay a file name in the default folder.
std::string filenamepart(const std::string& name) {
  std::string s = ctext(name).substr(0, std::min<std::size_t>(ctext(name).size(), 79));
  for (char& ch : s)
    if (ch == '/') ch = '_';
  return s;
}

}  // namespace

std::string currentfolder() {
  std::string buf(PATH_MAX, '\0');
  if (!::getcwd(buf.data(), buf.size())) return ".";
  return std::string(buf.c_str());
}

bool changecurrentfolder(const std::string& folder) {
  return !folder.empty() && ::chdir(ctext(folder).c_str()) == 0;
}

void RunFiles::gotopreferencefolder() {
  if (!basefolder_.empty()) changecurrentfolder(basefolder_);
  std::string pointer;
  if (fileexists(kPointerFile) && readwhole(kPointerFile, pointer)) {
    changecurrentfolder(pointer);
  } else {
    makefolders(datafolder_);
    changecurrentfolder(datafolder_);
  }
}

std::optional<std::string> RunFiles::findfolders() {
  gotopreferencefolder();

  std::optional<std::string> found;
  std::string preference;
  if (fileexists(kPreferenceFile)) {
    if (readwhole(kPreferenceFile, preference)) found = preference;
  } else {
    const std::string here = currentfolder();
    if (writewhole(kPreferenceFile, here)) found = here;
  }
  if (found) defaultfolder_ = *found;
  changecurrentfolder(defaultfolder_);
  return found;
}

std::optional<std::string> RunFiles::setup(const std::string& name) {
  // Runs made under the earlier names keep their report file.
  if (tempreport_) {
    tempreport_.close();
    copyover(temppath_, reportpath_);
    ::unlink(temppath_.c_str());
    forgettemporary(temppath_);
  }
  const std::string stamp = localtimetext(clock(), "-%H-%M-%S");
  const std::string stem = filenamepart(name) + stamp;
  const auto found = findfolders();
  std::string folder = currentfolder();
  if (folder.empty() || folder.back() != '/') folder += '/';
  reportpath_ = folder + "l-" + stem + ".txt";
  temppath_ = folder + "VLK.temp-" + stem;
  reportlines_ = 0;
  return found;
}

void RunFiles::opentemporary() {
  tempreport_ = CFile(std::fopen(temppath_.c_str(), "a+b"));
  if (tempreport_) registertemporary(temppath_);  // a second signal removes it
}

void RunFiles::begin(const std::string& title) {
  if (!tempreport_) opentemporary();
  writebanner(title);
}

void RunFiles::writebanner(const std::string& title) {
  const std::string date = localtimetext(clock(), "%d/%m/%y  %H/%M  ");
  std::string third = std::string("| ") + kWindowClass + ": " + title;
  const long blanks = static_cast<long>(kBannerWidth) - static_cast<long>(third.size()) -
                      static_cast<long>(date.size());
  if (blanks >= 1) third.append(static_cast<std::size_t>(blanks), ' ');
  third += date + "|\n";
  tempreport_.text(kFrameLine + "\n" + kSecondLine + "\n" + third + kFrameLine + "\n");
}

void RunFiles::refresh(WindowSystem& ws) {
  tempreport_.close();
  // The report holds the lines copied at the last refresh; this run's come
  // after them. A failed copy leaves the report as it was.
  const int firstnewline = reportlines_;
  std::string content;
  if (readwhole(temppath_, content) && writewhole(reportpath_, content))
    reportlines_ = static_cast<int>(std::count(content.begin(), content.end(), '\n'));
  ws.reportChanged(reportpath_, firstnewline, !commandfilemode_);
  reportshown_ = true;
  opentemporary();
}

std::optional<std::string> RunFiles::changefolder(const std::function<std::optional<std::string>()>& pick) {
  gotopreferencefolder();
  const std::string preferencefile = currentfolder() + "/" + kPreferenceFile;
  std::optional<std::string> changed;
  // A cancelled dialog leaves the preference file as it was.
  if (auto chosen = pick()) {
    const auto slash = chosen->rfind('/');
    if (slash != std::string::npos) changecurrentfolder(slash == 0 ? "/" : chosen->substr(0, slash));
    const std::string folder = currentfolder();
    if (writewhole(preferencefile, folder)) changed = folder;
  }
  if (!basefolder_.empty()) changecurrentfolder(basefolder_);
  return changed;
}

void RunFiles::droptemporary() {
  tempreport_.close();
  if (!temppath_.empty()) ::unlink(temppath_.c_str());
  forgettemporary(temppath_);
}

void RunFiles::shutdown(WindowSystem& ws) {
  droptemporary();
  if (reportshown_ && ws.askYesNo("Delete the text report file ? ", "WinVelko Exiting..."))
    ::unlink(reportpath_.c_str());
}

}  // namespace lorvane
