// lorvane: the desktop program. The report in a window, the options through
// their parameter dialogs, command files from the command line or dropped
// on the window.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "frame/frame.h"
#include "frame/startup.h"
#include "ordination/linalgthreads.h"
#include "shell/desktop.h"

int main(int argc, char** argv) {
  using namespace lorvane;
  const std::string startfolder = currentfolder();
  if (!std::getenv("OPENBLAS_NUM_THREADS")) setlinalgthreads(1);
  if (const std::string problem = seedproblem(std::getenv("LORVANE_SEED")); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return kExitUsage;
  }
  // Qt takes its own options (-platform, -display, ...) out of argv first.
  QApplication app(argc, argv);
  const CommandLine cl = parsecommandline(commandlinetext(argc, argv));

  QApplication::setApplicationName(QStringLiteral("lorvane"));
  QApplication::setQuitOnLastWindowClosed(false);

  QtPrompter prompter;
  Desktop desktop(prompter, userdatafolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
  desktop.frame().settings =
      computesettings(std::getenv("LORVANE_THREADS"), std::getenv("LORVANE_SEED"), std::getenv("LORVANE_KERNEL"));
  prompter.setOwner(&desktop.window());
  showandwait(desktop.window());
  if (const auto status = desktop.start(cl, startfolder)) return *status;
  return QApplication::exec();
}
