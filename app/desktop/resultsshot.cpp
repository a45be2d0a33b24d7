// lorvane-results-shot: opens a distance table and a Newick tree in the
// results window, says how long they took to show and how long the window
// at most did not answer meanwhile, and saves a picture of the window as it
// is on the screen.
//   lorvane-results-shot TABLE TREE [out.png]   (TREE may be "-": none)
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>

#include "frame/startup.h"
#include "results/resultsview.h"
#include "results/resultswindow.h"

int main(int argc, char** argv) {
  using namespace lorvane;
  if (argc < 3 || argc > 4) {
    std::fputs("Usage: lorvane-results-shot TABLE TREE [out.png]\n", stderr);
    return kExitUsage;
  }
  QApplication app(argc, argv);
  ResultsWindow window;
  window.move(0, 0);
  window.resize(1280, 900);
  window.show();
  QElapsedTimer wait;
  wait.start();
  while (window.windowHandle() && !window.windowHandle()->isExposed() && wait.elapsed() < 2000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

  // The event loop's longest pause while the table loads: a timer asks for
  // a tick every 10 ms.
  QElapsedTimer clock;
  qint64 lasttick = 0, longest = 0;
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - lasttick);
    lasttick = now;
  });
  bool ok = false;
  QEventLoop loop;
  QObject::connect(&window, &ResultsWindow::loaded, [&] {
    ok = true;
    loop.quit();
  });
  QObject::connect(&window, &ResultsWindow::failed, [&](const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    loop.quit();
  });
  clock.start();
  ticks.start(10);
  window.open(QString::fromLocal8Bit(argv[1]), std::string(argv[2]) == "-" ? QString() : QString::fromLocal8Bit(argv[2]));
  loop.exec();
  // Shown: the first paint of the new picture is done.
  window.view().repaint();
  const qint64 shown = clock.elapsed();
  ticks.stop();
  if (!ok) return kExitRunFailed;
  std::printf("Shown in %.3f s; the window answered at least every %lld ms meanwhile (%zu strains)\n",
              static_cast<double>(shown) / 1000.0, static_cast<long long>(longest),
              std::max(window.view().scene().geometry.tips.size(), window.view().scene().geometry.points.size()));
  if (argc < 4) return 0;

  // Rows 11 pixels high from the top left, so that names and support can be
  // read; a tip chosen, as a click does; then the window settles and is
  // taken from the screen.
  const drawing::Geometry& g = window.view().scene().geometry;
  if (g.rowheight > 0) window.view().showat(11 / g.rowheight, QPointF(0, 0));
  const std::size_t rows = g.tips.size();
  if (rows > 10) window.view().select(static_cast<int>(rows / 8), -1);
  wait.restart();
  while (wait.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  QScreen* screen = window.windowHandle()->screen();
  const QRect area = window.frameGeometry();
  const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  if (!shot.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "Error: can't write %s\n", argv[3]);
    return kExitRunFailed;
  }
  std::printf("Picture in %s\n", argv[3]);
  return 0;
}
