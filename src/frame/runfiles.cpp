// Run files: the report, the temporary report, the folder files and the
// run banner.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "core/messages.h"
#include "frame/frame.h"

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

std::string userdatafolder() {
  std::string base;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.local/share";
  }
  const std::string folder = base + "/lorvane";
  makefolders(folder);
  return folder;
}

BannerLayout bannerlayout(const std::string& windowclass) {
  const bool spatial = windowclass == "Pavlin" || windowclass == "Crossmark" || windowclass == "Thicket" ||
                       windowclass == "ZefUtil";
  const int width = spatial ? 69 : 61;
  const auto inner = static_cast<std::size_t>(width - 1);
  BannerLayout layout{std::string(inner + 2, '-'), std::string(inner + 2, ' '), width};
  layout.frameline.front() = layout.frameline.back() = '+';
  layout.secondline.front() = layout.secondline.back() = '|';
  return layout;
}

void Frame::gotopreferencefolder() {
  if (!basefolder.empty()) changecurrentfolder(basefolder);
  std::string pointer;
  if (fileexists(kPointerFile) && readwhole(kPointerFile, pointer))
    changecurrentfolder(pointer);
  else
    changecurrentfolder(userdatafolder());
}

void Frame::findfolders() {
  gotopreferencefolder();

  std::string preference;
  if (fileexists(kPreferenceFile)) {
    if (readwhole(kPreferenceFile, preference)) {
      defaultfolder = preference;
      dialogfolder = defaultfolder;
    }
  } else {
    const std::string here = currentfolder();
    if (writewhole(kPreferenceFile, here)) {
      defaultfolder = here;
      dialogfolder = defaultfolder;
    }
  }
  changecurrentfolder(defaultfolder);
}

void Frame::setupfiles(const std::string& name) {
  // Runs made under the earlier names keep their report file.
  if (tempreport_) {
    tempreport_.close();
    copyover(temppath_, reportpath_);
    ::unlink(temppath_.c_str());
  }
  const std::string stamp = localtimetext(clock(), "-%H-%M-%S");
  const std::string stem = filenamepart(name) + stamp;
  findfolders();
  std::string folder = currentfolder();
  if (folder.empty() || folder.back() != '/') folder += '/';
  reportpath_ = folder + "l-" + stem + ".txt";
  temppath_ = folder + "VLK.temp-" + stem;
  store = AnswerStore{};
}

void Frame::opentemporaryreport() {
  tempreport_ = CFile(std::fopen(temppath_.c_str(), "a+b"));
}

void Frame::beginreport() {
  if (!tempreport_) opentemporaryreport();
  writebanner();
}

void Frame::writebanner() {
  std::string title;
  if (currentoption >= 0 && static_cast<std::size_t>(currentoption) < optionsmenu.size())
    title = optionsmenu[static_cast<std::size_t>(currentoption)].text.substr(0, 255);
  const BannerLayout layout = bannerlayout(windowclass);
  const std::string date = localtimetext(clock(), "%d/%m/%y  %H/%M  ");
  std::string third = "| " + windowclass + ": " + title;
  const long blanks = static_cast<long>(layout.width) - static_cast<long>(third.size()) -
                      static_cast<long>(date.size());
  if (blanks >= 1) third.append(static_cast<std::size_t>(blanks), ' ');
  third += date + "|\n";
  tempreport_.text(layout.frameline + "\n" + layout.secondline + "\n" + third + layout.frameline + "\n");
}

void Frame::refreshreport() {
  const int lines = ws_.textLineCount();
  if (ws_.documentHoldsFile()) ws_.releaseDocumentFile();
  tempreport_.close();
  copyover(temppath_, reportpath_);
  if (!commandfilemode) ws_.showReport(reportpath_);
  ws_.applyDisplaySettings();
  reportshown = true;
  ws_.scrollLines(lines - 1);
  opentemporaryreport();
}

void Frame::changefolder() {
  gotopreferencefolder();
  const std::string preferencefile = currentfolder() + "/" + kPreferenceFile;
  FileDialogRequest request;
  request.initialFolder = dialogfolder;
  request.fileName = dialogfilename;
  // A cancelled dialog leaves the preference file as it was.
  if (auto chosen = ws_.fileDialog(request)) {
    dialogfilename = *chosen;
    const auto slash = chosen->rfind('/');
    if (slash != std::string::npos) changecurrentfolder(slash == 0 ? "/" : chosen->substr(0, slash));
    const std::string folder = currentfolder();
    if (writewhole(preferencefile, folder)) dialogfolder = folder;
  }
  if (!basefolder.empty()) changecurrentfolder(basefolder);
}

void Frame::droptemporaryreport() {
  tempreport_.close();
  if (!temppath_.empty()) ::unlink(temppath_.c_str());
}

void Frame::shutdown() {
  if (ws_.documentHoldsFile()) ws_.releaseDocumentFile();
  droptemporaryreport();
  if (reportshown && ws_.askYesNo("Delete the text report file ? ", "WinVelko Exiting..."))
    ::unlink(reportpath_.c_str());
}

}  // namespace lorvane
