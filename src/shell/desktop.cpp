#include "shell/desktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <cstdio>

#include "core/textio.h"
#include "dialogs/qt/paramdialog.h"
#include "frame/cmdfile.h"
#include "runs/catalogue.h"
#include "shell/resources.h"

namespace lorvane {

Desktop::Desktop(Prompter& prompter, const std::string& datafolder)
    : ws_(prompter), frame_(ws_, datafolder), window_(std::make_unique<MainWindow>(frame_, ws_, prompter)) {
  ws_.attach(window_.get());
  frame_.dialogs.setfilter(stringresource(StringId::FileFilter).toStdString());
}

Desktop::~Desktop() {
  ws_.progressClose();
  ws_.attach(nullptr);
}

void showandwait(QWidget& window) {
  window.show();
  QElapsedTimer timer;
  timer.start();
  while (window.windowHandle() && !window.windowHandle()->isExposed() && timer.elapsed() < 1000)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  window.repaint();
}

std::optional<int> Desktop::start(const CommandLine& cl, const std::string& startfolder) {
  MainWindow& w = *window_;
  {
    MainWindow::BusyScope busy(w);
    if (!cl.basefolder.empty()) frame_.files.setbasefolder(absolutepath(cl.basefolder, startfolder));
    // The results window draws what the runs return: tables and trees stay in memory.
    frame_.keepresults = true;
    registermodule(frame_);
    w.buildoptionsmenu();

    if (cl.optiontoopen != 0 && !ws_.closing()) openpresetoption(&w, frame_, cl.optiontoopen);

    if (!cl.commandfile.empty() && !ws_.closing()) {
      const std::string path = absolutepath(cl.commandfile, startfolder);
      // A path that names no file is not run; the window stays.
      if (!fileexists(path)) {
        std::fprintf(stderr, "%s\n", missingcommandfile(path).c_str());
        w.exitstatus = kExitCommandFileUnreadable;
      } else {
        const CommandFileResult result = runcommandfile(frame_, path);
        if (result.status == CommandFileResult::Status::Completed) {
          ws_.setclosing();
          return frame_.files.reportfailed() ? kExitReportFailed : kExitWorkedThrough;
        }
        std::fprintf(stderr, "%s\n", describe(result, path).c_str());
        switch (result.status) {
          case CommandFileResult::Status::Stopped:
            w.exitstatus = kExitCommandFileStopped;
            break;
          case CommandFileResult::Status::Failed:
            w.exitstatus = kExitRunFailed;
            break;
          default:
            w.exitstatus = kExitCommandFileUnreadable;
            break;
        }
      }
    }
  }
  // An error stop may have closed the window already.
  if (ws_.closing()) return w.exitstatus;
  return std::nullopt;
}

}  // namespace lorvane
