// The progress window's bar.
#include <QTest>

#include "dialogs/qt/progresswindow.h"
#include "shell_tests.h"

using namespace lorvane;

void ProgressTest::stepArithmetic() {
  QList<int> fills;
  for (int step = 1; step <= 3; ++step) fills << progressright(10, 280, step, 3) - 10;
  QCOMPARE(fills, QList<int>({93, 186, 280}));
  // The single-precision scale of 250 / 11 falls short of the right end.
  QCOMPARE(progressright(10, 250, 11, 11) - 10, 249);
  QCOMPARE(progressright(10, 250, 1, 11) - 10, 22);
}

void ProgressTest::barIsDrawnAtEachStep() {
  ProgressDialog w(nullptr, "Computing distances");
  QCOMPARE(w.titletext(), QString("Computing distances"));
  QCOMPARE(w.windowTitle(), QString("Computing distances"));
  QCOMPARE(w.barwidth(), 280);
  const QRect bar = w.bar();
  const int y = bar.center().y();
  auto pixel = [&w](int x, int py) { return w.grab().toImage().pixelColor(x, py); };

  QCOMPARE(pixel(bar.left() - 1, bar.top() - 1), QColor(Qt::black));
  QCOMPARE(pixel(bar.right() + 1, bar.bottom() + 1), QColor(Qt::black));
  w.step(1, 3);
  QCOMPARE(w.fillright(), bar.left() + 93);
  QCOMPARE(pixel(bar.left() + 92, y), QColor(Qt::gray));
  QVERIFY(pixel(bar.left() + 93, y) != QColor(Qt::gray));
  w.step(3, 3);
  QCOMPARE(pixel(bar.right(), y), QColor(Qt::gray));
  // A shorter step paints over; the longer fill stays visible.
  w.step(1, 3);
  QCOMPARE(pixel(bar.right(), y), QColor(Qt::gray));
  QCOMPARE(w.titletext(), QString("Computing distances"));
}
