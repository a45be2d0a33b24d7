#include "frame/cmdfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/convert.h"
#include "core/interrupt.h"
#include "core/messages.h"
#include "core/textio.h"

namespace lorvane {

namespace {

// Reads the command file as the standard line read into a 256-character
// buffer would: lines of up to 255 characters, longer ones in pieces.
class CommandLines {
 public:
  explicit CommandLines(std::FILE* f) : reader_(f) {}
  bool next(std::string& line) {
    if (!reader_.read(line, 256)) return false;
    ++number_;
    line = ctext(line);
    return true;
  }
  int number() const { return number_; }

 private:
  LineReader reader_;
  int number_ = 0;
};

std::string withoutnewline(std::string s) {
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

const char* const kSeparator = "----------\n";

// The number of the first line from the one just read on that holds more
// than blanks; 0 when the rest of the file is blank.
int firsttextline(CommandLines& lines, std::string line) {
  do {
    if (line.find_first_not_of(" \t\r\n") != std::string::npos) return lines.number();
  } while (lines.next(line));
  return 0;
}

// Text after the last block that the runner never reads (a mistyped
// separator, say) is named on standard error and in the report.
void warnunread(Frame& frame, const std::string& path, int line) {
  const std::string warning = "Warning: command file " + path + ": the text from line " + std::to_string(line) +
                              " on was not read (a separator line is exactly ten hyphens)";
  std::fprintf(stderr, "%s\n", warning.c_str());
  frame.files.report().text(warning + "\n");
  frame.refreshreport();
}

CommandFileResult interrupted(int line) {
  return {CommandFileResult::Status::Interrupted, line, interruptreason()};
}

}  // namespace

CommandFileResult runcommandfile(Frame& frame, const std::string& path) {
  using Status = CommandFileResult::Status;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return {Status::CannotOpen, 0, std::strerror(errno)};
  CommandLines lines(file.get());

  std::string line;
  if (!lines.next(line)) return {Status::Empty, 1, "a name line"};
  std::string name = withoutnewline(line);
  if (!name.empty() && name.back() == '\r') name.pop_back();

  const auto slash = path.rfind('/');
  frame.files.setbasefolder(slash == std::string::npos ? "" : path.substr(0, slash + 1));
  frame.files.entercommandfilemode();
  frame.setupfiles(name);

  auto stop = [&](const std::string& expected) {
    frame.store.currentoption = 0;
    return CommandFileResult{Status::Stopped, lines.number() + 1, expected};
  };
  bool unread = false;  // the last block ended on a line that is neither extra nor separator
  for (;;) {
    if (!lines.next(line)) return stop("an option number");
    const int option = texttoint(line);
    if (option < 1 || option > kMaxOptions) {
      frame.store.currentoption = 0;
      return {Status::Stopped, lines.number(),
              "an option number from 1 to 20, not \"" + withoutnewline(line) + "\""};
    }
    if (!lines.next(line)) return stop("the parameter count of option " + std::to_string(option));
    const int count = texttoint(line);
    const int expected = frame.registry.paramcount[static_cast<std::size_t>(option)];
    if (count != expected) {
      frame.store.currentoption = 0;
      return {Status::Stopped, lines.number(),
              "the parameter count " + std::to_string(expected) + " of option " + std::to_string(option) +
                  ", not \"" + withoutnewline(line) + "\""};
    }
    for (int k = 1; k <= count; ++k) {
      if (!lines.next(line))
        return stop("answer " + std::to_string(k) + " of " + std::to_string(count) + " of option " +
                    std::to_string(option));
      frame.store.answers[static_cast<std::size_t>(k)] = withoutnewline(line);
    }
    bool more = false;
    if (lines.next(line)) {
      more = line == kSeparator;
      if (!more && lines.next(line)) {
        more = line == kSeparator;
        unread = !more;
      }
    }
    if (interruptsignal() != 0) return interrupted(lines.number());
    frame.store.currentoption = option;
    frame.beginreport();
    frame.runoption(option);
    if (frame.lastrunfailed() || frame.ws().closing()) {
      frame.store.currentoption = 0;
      if (interruptsignal() != 0) return interrupted(lines.number());
      return {Status::Failed, lines.number(), "a run that ends without an error"};
    }
    if (!more) break;
  }
  if (unread)
    if (const int at = firsttextline(lines, line)) warnunread(frame, path, at);
  file.reset();
  frame.droptemporaryreport();
  return {Status::Completed, lines.number(), ""};
}

CommandFileResult dropfiles(Frame& frame, const std::vector<std::string>& paths) {
  CommandFileResult result;
  for (const std::string& p : paths) {
    result = runcommandfile(frame, p);
    if (result.status == CommandFileResult::Status::Completed ||
        result.status == CommandFileResult::Status::Interrupted)
      break;
  }
  return result;
}

std::string missingcommandfile(const std::string& path) {
  struct stat st {};
  const int error = ::stat(path.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  return filefault("Error: can't find command file " + path + " (runcommandfile)", path, error);
}

std::string describe(const CommandFileResult& result, const std::string& path) {
  using Status = CommandFileResult::Status;
  switch (result.status) {
    case Status::Completed:
      return "Command file " + path + " worked through";
    case Status::Stopped:
      return "Command file " + path + " stopped at line " + std::to_string(result.line) + ": expected " +
             result.problem;
    case Status::CannotOpen:
      return "Command file " + path + " cannot be opened: " + result.problem;
    case Status::Empty:
      return "Command file " + path + " is empty: expected a name line";
    case Status::Failed:
      return "Command file " + path + " stopped: a run ended with an error";
    case Status::Interrupted:
      return "Command file " + path + " stopped: " + result.problem;
  }
  return {};
}

}  // namespace lorvane
