// lorvane-screenshot: starts the desktop program's window, makes one run of
// "Simple computation" on a band-pattern file through its parameter dialog
// (so the report is shown in the window), and saves a picture of the window
// as it is on the screen.
//   lorvane-screenshot band-pattern-file out.png
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dialogs/qt/paramdialog.h"
#include "dialogs/qt/progresswindow.h"
#include "frame/frame.h"
#include "shell/desktop.h"

int main(int argc, char** argv) {
  using namespace lorvane;
  if (argc != 3) {
    std::fputs("Usage: lorvane-screenshot band-pattern-file out.png\n", stderr);
    return kExitUsage;
  }
  const std::string input = absolutepath(argv[1], currentfolder());
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QtPrompter prompter;
  Desktop desktop(prompter, userdatafolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
  prompter.setOwner(&desktop.window());
  desktop.window().move(0, 0);
  showandwait(desktop.window());
  if (desktop.start(CommandLine{}, currentfolder())) return kExitRunFailed;

  // Options, "Simple computation": the answers typed into its parameter
  // dialog, then Ok.
  QTimer::singleShot(0, [&input] {
    auto* dialog = qobject_cast<ParamDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    const std::vector<std::string> answers{input, "6", "", "1", "", ""};
    for (int k = 1; k <= dialog->rowcount(); ++k)
      dialog->edit(k)->setText(QString::fromStdString(answers[static_cast<std::size_t>(k - 1)]));
    dialog->findChild<QPushButton*>(QString::number(kOkId))->click();
  });
  // The last step of the progress bar as the screen shows it, while the
  // computation still holds the thread.
  int shownfill = -1;
  int fill = 0;
  desktop.ws().afterstep = [&shownfill, &fill](ProgressDialog& progress, int step, int total) {
    if (step != total) return;
    fill = progress.fillright() - progress.bar().left();
    const QRect bar(progress.mapToGlobal(progress.bar().topLeft()), progress.bar().size());
    const QImage screen = progress.windowHandle()->screen()->grabWindow(0).toImage();
    shownfill = 0;
    for (int x = bar.left(); x <= bar.right(); ++x)
      if (screen.pixelColor(x, bar.center().y()) == QColor(Qt::gray)) ++shownfill;
  };
  desktop.window().runcommand(kFirstOptionId);
  std::printf("Progress bar on the screen at the last step: %d of %d pixels filled\n", shownfill, fill);
  if (shownfill != fill) return kExitRunFailed;
  if (desktop.frame().lastrunfailed() || !desktop.frame().files.reportshown()) return kExitRunFailed;

  // Let the window settle, then take it from the screen.
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  QScreen* screen = desktop.window().windowHandle()->screen();
  const QRect area = desktop.window().frameGeometry();
  const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  if (!shot.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "Error: can't write %s\n", argv[2]);
    return kExitRunFailed;
  }
  std::printf("Report %s shown; picture in %s\n", desktop.frame().files.reportpath().c_str(), argv[2]);
  // Leave without the end-of-program question.
  desktop.ws().setclosing();
  return kExitWorkedThrough;
}
