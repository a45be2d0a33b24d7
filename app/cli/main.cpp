// lorvane-cli: the verbs, and the command line and command files of the
// desktop program, without a window.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/interrupt.h"
#include "core/terminal.h"
#include "core/windowsystem.h"
#include "frame/cmdfile.h"
#include "frame/frame.h"
#include "frame/startup.h"
#include "ordination/linalgthreads.h"
#include "runs/catalogue.h"
#include "verbs.h"

namespace {

const char* const kUsage =
    "Usage: lorvane-cli VERB [options] FILE\n"
    "       lorvane-cli [-m] [-o n] [-d folder] -f commandfile\n"
    "       lorvane-cli commandfile\n"
    "       lorvane-cli --version\n"
    "\n"
    "Runs the computations without a window and writes their output files\n"
    "beside the input file and the run report.\n"
    "\n"
    "Verbs (lorvane-cli VERB --help for each one's options):\n"
    "@VERBS@"
    "A verb is recognised only as the first word and only when more follows;\n"
    "otherwise the old forms below keep their meaning.\n"
    "\n"
    "  -f path    the command file to run\n"
    "  -d folder  base folder: where the folder file VELKDIRP.txt is looked for\n"
    "  -o n       open the parameter dialog of option n (desktop program only)\n"
    "  -m         accepted, no effect\n"
    "  A command line that is not made of these switches is taken whole as the\n"
    "  path of the command file.\n"
    "\n"
    "Exit status: 0 the command file was worked through (or the verb's run\n"
    "done); 1 a run ended with an error; 2 the command file stopped early on a\n"
    "format fault; 3 the command file cannot be found, opened or is empty;\n"
    "4 the runs were worked through but their report could not be written\n"
    "in full (a warning names the file and the reason); 64 usage; 128 + n a\n"
    "signal n\n"
    "(SIGINT, SIGTERM, SIGHUP) stopped the run, which removed its unfinished\n"
    "files and left earlier outputs as they were (a second signal ends the\n"
    "program at once).\n"
    "When standard error is a terminal, long computations show a progress bar\n"
    "there (title, step count, elapsed time).\n"
    "Environment: LORVANE_SEED=n seeds the bootstrap generator with n;\n"
    "LORVANE_THREADS=n computes with n threads (default: every processor).\n";

std::string usage() {
  std::string text = kUsage;
  text.replace(text.find("@VERBS@"), 7, lorvane::verblist());
  return text;
}

// No window: information messages are dropped with --quiet, and the
// progress bar is drawn when standard error is a terminal.
class QuietWindowSystem : public lorvane::HeadlessWindowSystem {
 public:
  void infoBox(const std::string&) override {}
};

std::unique_ptr<lorvane::HeadlessWindowSystem> makewindowsystem(bool quiet) {
  if (quiet) return std::make_unique<QuietWindowSystem>();
  if (::isatty(fileno(stderr))) return std::make_unique<lorvane::TerminalWindowSystem>(stderr);
  return std::make_unique<lorvane::HeadlessWindowSystem>();
}

// A standard stream closed at start gets /dev/null, so that no file the run
// opens takes its number and receives what is written to it.
void openstandardstreams() {
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      const int opened = ::open("/dev/null", O_RDWR);
      if (opened >= 0 && opened != fd) ::close(opened);
    }
}

// LORVANE_SEED, when set, must be a seed; the message when it is not.
bool seedusable(const char* seed) {
  const std::string problem = lorvane::seedproblem(seed);
  if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
  return problem.empty();
}

// The per-user data folder, from the environment.
std::string datafolder() { return lorvane::userdatafolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")); }

// Run a command file to its end; the exit status.
int runcommandfilestatus(lorvane::Frame& frame, const std::string& path) {
  using namespace lorvane;
  if (!fileexists(path)) {
    std::fprintf(stderr, "%s\n", missingcommandfile(path).c_str());
    frame.shutdown();
    return kExitCommandFileUnreadable;
  }
  const CommandFileResult result = runcommandfile(frame, path);
  if (result.status == CommandFileResult::Status::Completed)
    return frame.files.reportfailed() ? kExitReportFailed : kExitWorkedThrough;

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

int runverb(const lorvane::Verb& verb, int argc, const char* const* argv) {
  using namespace lorvane;
  const std::string startfolder = currentfolder();
  const VerbCall call = parseverb(verb, argc, argv, startfolder);
  if (call.help) {
    std::fputs(verbhelp(verb).c_str(), stdout);
    return kExitWorkedThrough;
  }
  if (!call.error.empty()) {
    std::fputs(call.error.c_str(), stderr);
    return kExitUsage;
  }

  if (!call.seed && !seedusable(std::getenv("LORVANE_SEED"))) return kExitUsage;
  if (const char* seed = std::getenv("LORVANE_SEED"); call.shard && !call.seed && (!seed || !*seed)) {
    std::fprintf(stderr,
                 "lorvane-cli %s: --shard needs --seed S (or LORVANE_SEED): every shard draws from the seed of the "
                 "run\nTry 'lorvane-cli %s --help'.\n",
                 std::string(verb.name).c_str(), std::string(verb.name).c_str());
    return kExitUsage;
  }
  catchinterrupts();
  const auto ws = makewindowsystem(call.quiet);
  Frame frame(*ws, datafolder());
  // The verb's options take the place of the environment's settings.
  frame.settings = computesettings(call.threads ? call.threads->c_str() : std::getenv("LORVANE_THREADS"),
                                   call.seed ? call.seed->c_str() : std::getenv("LORVANE_SEED"),
                                   std::getenv("LORVANE_KERNEL"));
  frame.outputfolder = call.outputdir;
  frame.keepresults = !call.picture.empty();
  frame.shard = call.shard;
  registermodule(frame);
  if (verb.name == "merge") return runmergeverb(frame, call);
  if (!verb.option) return runcommandfilestatus(frame, call.operand);
  return runverboption(frame, call);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lorvane;
  openstandardstreams();
  if (!std::getenv("OPENBLAS_NUM_THREADS")) setlinalgthreads(1);
  if (argc < 2 || (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
    std::fputs(usage().c_str(), argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitWorkedThrough;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("lorvane-cli " LORVANE_VERSION);
    return kExitWorkedThrough;
  }
  if (const Verb* verb = findverb(argc, argv)) return runverb(*verb, argc, argv);

  const CommandLine cl = parsecommandline(commandlinetext(argc, argv));
  if (!cl.error.empty()) {
    std::fprintf(stderr, "lorvane-cli %s\n%s", cl.error.c_str(), usage().c_str());
    return kExitUsage;
  }
  if (!seedusable(std::getenv("LORVANE_SEED"))) return kExitUsage;
  catchinterrupts();
  const std::string startfolder = currentfolder();

  const auto ws = makewindowsystem(false);
  Frame frame(*ws, datafolder());
  frame.settings =
      computesettings(std::getenv("LORVANE_THREADS"), std::getenv("LORVANE_SEED"), std::getenv("LORVANE_KERNEL"));
  if (!cl.basefolder.empty()) frame.files.setbasefolder(absolutepath(cl.basefolder, startfolder));
  registermodule(frame);
  if (cl.optiontoopen != 0)
    std::fprintf(stderr, "Note: -o opens a parameter dialog in the desktop program only; ignored here.\n");
  if (cl.commandfile.empty()) {
    frame.shutdown();
    std::fprintf(stderr, "Note: no command file given; nothing to run.\n");
    return kExitWorkedThrough;
  }
  return runcommandfilestatus(frame, absolutepath(cl.commandfile, startfolder));
}
