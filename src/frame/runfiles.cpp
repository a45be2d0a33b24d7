// Run files: the report, the temporary report, the folder files and the
// run banner.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

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

// The folder and those above it made as needed; 0, or the system's reason
// why it is not a folder that can be entered.
int makefolders(const std::string& path) {
  int first = 0;  // the first folder that could not be made says why
  for (std::size_t at = 1; at <= path.size(); ++at)
    if ((at == path.size() || path[at] == '/') && ::mkdir(path.substr(0, at).c_str(), 0777) != 0 && errno != EEXIST &&
        !first)
      first = errno;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return first ? first : errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return ::access(path.c_str(), X_OK) == 0 ? 0 : errno;
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

// The bytes of a file from `from` to its end.
bool readfrom(int fd, std::uint64_t from, std::string& bytes) {
  bytes.clear();
  char chunk[1 << 16];
  for (auto at = static_cast<off_t>(from);;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.append(chunk, static_cast<std::size_t>(n));
    at += n;
  }
}

bool writeall(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Write and close; errno tells why when false.
bool writeandclose(int fd, std::string_view bytes) {
  const bool written = writeall(fd, bytes);
  const int error = errno;
  const bool closed = ::close(fd) == 0;
  if (!written) errno = error;
  return written && closed;
}

std::uint64_t linecount(const std::string& s) {
  return static_cast<std::uint64_t>(std::count(s.begin(), s.end(), '\n'));
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

bool RunFiles::gotopreferencefolder() {
  if (!basefolder_.empty()) changecurrentfolder(basefolder_);
  std::string pointer;
  if (fileexists(kPointerFile) && readwhole(kPointerFile, pointer)) {
    changecurrentfolder(pointer);
    return true;
  }
  // A data folder that is a plain file, or cannot be made or entered, holds
  // no folder files: none are dropped in the folder the program is in.
  const int error = makefolders(datafolder_);
  if (error == 0 && changecurrentfolder(datafolder_)) return true;
  folderwarning(filefault("Warning: can't use the data folder " + datafolder_ + " (setupfiles)", datafolder_,
                          error ? error : errno) +
                "; no folder file is read or written, the report goes to " + currentfolder());
  return false;
}

void RunFiles::folderwarning(const std::string& text) {
  if (folderwarned_) return;
  folderwarned_ = true;
  std::fprintf(stderr, "%s\n", text.c_str());
}

std::optional<std::string> RunFiles::findfolders() {
  if (!gotopreferencefolder()) return std::nullopt;

  std::optional<std::string> found;
  std::string preference;
  if (fileexists(kPreferenceFile)) {
    if (readwhole(kPreferenceFile, preference)) found = preference;
  } else {
    const std::string here = currentfolder();
    if (writewhole(kPreferenceFile, here)) {
      found = here;
    } else {
      const std::string file = here + "/" + kPreferenceFile;
      folderwarning(filefault("Warning: can't write folder file " + file + " (setupfiles)", file, errno));
    }
  }
  if (found) defaultfolder_ = *found;
  changecurrentfolder(defaultfolder_);
  return found;
}

std::optional<std::string> RunFiles::setup(const std::string& name) {
  // Runs made under the earlier names keep their report file.
  if (tempreport_) {
    if (!tempreport_.close()) warn("can't write temporary report file", temppath_, tempreport_.error());
    copynew();
    droptemporary();
  }
  const std::string stamp = localtimetext(clock(), "-%H-%M-%S");
  reportstem_ = "l-" + filenamepart(name) + stamp;
  const auto found = findfolders();
  reportfolder_ = currentfolder();
  if (reportfolder_.empty() || reportfolder_.back() != '/') reportfolder_ += '/';
  reportpath_ = reportfolder_ + reportstem_ + ".txt";
  notice_.clear();
  reportmade_ = false;
  copied_ = reportbytes_ = 0;
  reportlines_ = 0;
  return found;
}

bool RunFiles::warn(const std::string& what, const std::string& path, int error, const char* operation) {
  reportfailed_ = true;
  // Named once until a copy goes through again, not at every refresh.
  if (!warned_)
    std::fprintf(stderr, "%s\n",
                 filefault("Warning: " + what + " " + path + " (" + operation + ")", path, error ? error : EIO).c_str());
  warned_ = true;
  return false;
}

void RunFiles::opentemporary() {
  if (temppath_.empty()) {
    // A name of this run's own: two runs in the same folder and second never share it.
    std::string folder = reportfolder_.empty() ? currentfolder() : reportfolder_;
    const int fd = maketemp(folder, temppath_);
    std::FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "a+b");
    if (!f) {
      const int error = errno;
      if (fd >= 0) {
        ::close(fd);
        removetemp(temppath_);
      }
      if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
      warn("can't open temporary report file in", folder, error, "beginreport");
      temppath_.clear();
      return;
    }
    tempreport_ = CFile(f);
    return;
  }
  tempreport_ = CFile(std::fopen(temppath_.c_str(), "a+b"));
  if (!tempreport_) warn("can't open temporary report file", temppath_, errno, "beginreport");
}

bool RunFiles::makereport(const std::string& lines) {
  // The first free name: "l-NAME-HH-MM-SS.txt", then "-2", "-3"... before ".txt".
  for (int k = 1; k < 10000; ++k) {
    std::string name = reportstem_;
    if (k > 1) name.append("-").append(std::to_string(k));
    name.append(".txt");
    const int fd = ::open((reportfolder_ + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    reportpath_ = reportfolder_ + name;
    if (fd < 0) return warn("can't open report file", reportpath_, errno);
    if (k > 1) notice_ = "Note: " + reportstem_ + ".txt was taken; this report is " + name + "\r\n";
    reportmade_ = true;
    if (!writeandclose(fd, notice_ + lines)) {
      reportbytes_ = ~std::uint64_t{0};  // the next copy writes it whole, the note first
      return warn("can't write report file", reportpath_, errno);
    }
    reportbytes_ = notice_.size() + lines.size();
    return true;
  }
  return warn("can't open report file", reportfolder_ + reportstem_ + ".txt", EEXIST);
}

bool RunFiles::copynew() {
  if (temppath_.empty()) return false;  // it could not be made: already named
  const int in = ::open(temppath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return warn("can't read temporary report file", temppath_, errno);
  struct stat st {};
  const bool grown = ::fstat(in, &st) == 0 && static_cast<std::uint64_t>(st.st_size) >= copied_;
  // Only what the runs wrote since the last copy is appended, to a report
  // file as this program left it; any other is written again whole.
  int out = -1;
  if (reportmade_ && grown) {
    out = ::open(reportpath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    struct stat rst {};
    if (out >= 0 && (::fstat(out, &rst) != 0 || static_cast<std::uint64_t>(rst.st_size) != reportbytes_)) {
      ::close(out);
      out = -1;
    }
  }
  std::string lines;
  const bool read = readfrom(in, out >= 0 ? copied_ : 0, lines);
  const int readerror = errno;
  ::close(in);
  if (!read) {
    if (out >= 0) ::close(out);
    return warn("can't read temporary report file", temppath_, readerror);
  }
  if (out >= 0) {
    if (!writeandclose(out, lines)) {
      reportbytes_ = ~std::uint64_t{0};  // written in part: the next copy writes it whole
      return warn("can't write report file", reportpath_, errno);
    }
    copied_ += lines.size();
    reportbytes_ += lines.size();
    reportlines_ += static_cast<int>(linecount(lines));
  } else {
    if (!reportmade_) {
      if (!makereport(lines)) return false;
    } else if (!writewhole(reportpath_, notice_ + lines)) {
      return warn("can't write report file", reportpath_, errno);
    } else {
      reportbytes_ = notice_.size() + lines.size();
    }
    copied_ = lines.size();
    reportlines_ = static_cast<int>(linecount(notice_) + linecount(lines));
  }
  warned_ = false;
  return true;
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
  if (tempreport_ && !tempreport_.close())
    warn("can't write temporary report file", temppath_, tempreport_.error());
  // The report holds the lines copied at the last refresh; this run's come
  // after them. A failed copy leaves the report as it was.
  int firstnewline = reportlines_;
  const bool made = reportmade_;
  if (copynew() && !made) firstnewline += static_cast<int>(linecount(notice_));
  ws.reportChanged(reportpath_, firstnewline, !commandfilemode_);
  reportshown_ = true;
  opentemporary();
}

std::optional<std::string> RunFiles::changefolder(const std::function<std::optional<std::string>()>& pick) {
  if (!gotopreferencefolder()) {
    if (!basefolder_.empty()) changecurrentfolder(basefolder_);
    return std::nullopt;
  }
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
  if (!temppath_.empty()) removetemp(temppath_);
  temppath_.clear();
  copied_ = 0;
}

void RunFiles::shutdown(WindowSystem& ws) {
  droptemporary();
  if (reportshown_ && ws.askYesNo("Delete the text report file ? ", "WinVelko Exiting..."))
    ::unlink(reportpath_.c_str());
}

}  // namespace lorvane
