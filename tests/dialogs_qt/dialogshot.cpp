// Shows an option's parameter dialog and saves a picture of it:
//   dialogshot OUT.png [OPTION [ROW]]
// With a row, the picture is of that row's value prompt.
// Run under a virtual display (scripts/dialog-screenshot.sh).
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "runs/catalogue.h"
#include "dialogs/qt/paramdialog.h"
#include "dialogs/qt/valueprompt.h"
#include "frame/startup.h"

int main(int argc, char** argv) {
  using namespace lorvane;
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fputs("usage: dialogshot OUT.png [OPTION [ROW]]\n", stderr);
    return 64;
  }
  HeadlessWindowSystem ws;
  Frame frame(ws, userdatafolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
  registermodule(frame);
  ParamDialog dialog(nullptr, dialogframe(frame), ws, argc > 2 ? std::atoi(argv[2]) : 1);
  dialog.show();
  const int row = argc > 3 ? std::atoi(argv[3]) : 0;
  ValuePrompt prompt(&dialog, frame.store.labels[static_cast<std::size_t>(row >= 1 && row <= 10 ? row : 0)],
                     dialog.edit(row));
  QWidget& shown = row >= 1 ? static_cast<QWidget&>(prompt) : dialog;
  if (row >= 1) prompt.show();
  bool saved = false;
  QTimer::singleShot(500, [&] {
    saved = shown.grab().save(QString::fromLocal8Bit(argv[1]));
    app.quit();
  });
  app.exec();
  frame.shutdown();
  return saved ? 0 : 1;
}
