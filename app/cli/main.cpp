// lorvane-cli: the command line and command files of the desktop program,
// without a window.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "aflp/module.h"
#include "core/interrupt.h"
#include "core/terminal.h"
#include "core/windowsystem.h"
#include "frame/cmdfile.h"
#include "frame/frame.h"
#include "frame/startup.h"

namespace {

const char* const kUsage =
    "Usage: lorvane-cli [-m] [-o n] [-d folder] -f commandfile\n"
    "       lorvane-cli commandfile\n"
    "\n"
    "Runs the options of a command file without a window and writes their\n"
    "output files and the run report.\n"
    "\n"
    "  -f path    the command file to run\n"
    "  -d folder  base folder: where the folder file VELKDIRP.txt is looked for\n"
    "  -o n       open the parameter dialog of option n (desktop program only)\n"
    "  -m         accepted, no effect\n"
    "  A command line that is not made of these switches is taken whole as the\n"
    "  path of the command file.\n"
    "\n"
    "Exit status: 0 the command file was worked through; 1 a run ended with an\n"
    "error; 2 the command file stopped early on a format fault; 3 the command\n"
    "file cannot be found, opened or is empty; 64 usage; 128 + n a signal n\n"
    "(SIGINT, SIGTERM, SIGHUP) stopped the run, which removed its unfinished\n"
    "files and left earlier outputs as they were (a second signal ends the\n"
    "program at once).\n"
    "When standard error is a terminal, long computations show a progress bar\n"
    "there (title, step count, elapsed time).\n"
    "Environment: LORVANE_SEED=n seeds the bootstrap generator with n;\n"
    "LORVANE_THREADS=n computes with n threads (default: every processor).\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace lorvane;
  if (argc < 2 || (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitWorkedThrough;
  }
  catchinterrupts();
  const std::string startfolder = currentfolder();
  const CommandLine cl = parsecommandline(commandlinetext(argc, argv));

  std::unique_ptr<HeadlessWindowSystem> ws;
  if (::isatty(fileno(stderr)))
    ws = std::make_unique<TerminalWindowSystem>(stderr);
  else
    ws = std::make_unique<HeadlessWindowSystem>();
  Frame frame(*ws, userdatafolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
  if (!cl.basefolder.empty()) frame.files.setbasefolder(absolutepath(cl.basefolder, startfolder));
  registermodule(frame);
  if (cl.optiontoopen != 0)
    std::fprintf(stderr, "Note: -o opens a parameter dialog in the desktop program only; ignored here.\n");
  if (cl.commandfile.empty()) {
    frame.shutdown();
    std::fprintf(stderr, "Note: no command file given; nothing to run.\n");
    return kExitWorkedThrough;
  }

  const std::string path = absolutepath(cl.commandfile, startfolder);
  if (!fileexists(path)) {
    std::fprintf(stderr, "Error: can't find command file %s (runcommandfile)\n", path.c_str());
    frame.shutdown();
    return kExitCommandFileUnreadable;
  }
  const CommandFileResult result = runcommandfile(frame, path);
  if (result.status == CommandFileResult::Status::Completed) return kExitWorkedThrough;

  std::fprintf(stderr, "%s\n", describe(result, path).c_str());
  frame.shutdown();
  switch (result.status) {
    case CommandFileResult::Status::Stopped:
      return kExitCommandFileStopped;
    case CommandFileResult::Status::Failed:
      return kExitRunFailed;
    case CommandFileResult::Status::Interrupted:
      return exitinterrupted(interruptsignal());
    default:
      return kExitCommandFileUnreadable;
  }
}
