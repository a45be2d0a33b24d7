// The progress window's bar.
#include <QDir>
#include <QPushButton>
#include <QTest>

#include "frame/cmdfile.h"
#include "harness.h"
#include "shell/mainwindow.h"
#include "shell/qtwindowsystem.h"

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

namespace {
// Every file of a folder (not its subfolders) with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder) {
  QMap<QString, QByteArray> files;
  for (const QString& name : QDir(folder).entryList(QDir::Files)) files[name] = test::readfile(folder + "/" + name);
  return files;
}
}  // namespace

void ProgressTest::cancelStopsABootstrapAndKeepsEarlierOutputs() {
  test::Program p;
  QFile::copy(LORVANE_EXAMPLE_INPUT, p.path("strains.txt"));
  const std::string input = p.spath("strains.txt");
  // A run of option 1 that leaves the program open (the separator with
  // nothing after it), then a bootstrap of option 2 on the same strains.
  const std::string first = p.examplecommandfile("first.cmd", input);
  test::writefile(p.path("first.cmd"), test::readfile(p.path("first.cmd")) + "----------\n");
  test::writefile(p.path("boot.cmd"), "example\n2\n6\n" + QByteArray::fromStdString(input) + "\n6\n\n2\n\n100\n");
  p.window().runcommandfiles({QString::fromStdString(first)});
  QVERIFY(!p.quitstatus);
  const QString reportpath = QString::fromStdString(p.frame().files.reportpath());
  const QMap<QString, QByteArray> before = snapshot(p.dir.path());
  const QString temporary = QString::fromStdString(p.frame().files.temporaryreportpath());
  const QStringList reportfolder = snapshot(QFileInfo(reportpath).path()).keys();
  const QStringList temporaryfolder = snapshot(QFileInfo(temporary).path()).keys();
  QVERIFY(before.size() > 4);

  int laststep = 0;
  p.desktop->ws().afterstep = [&laststep](ProgressDialog& d, int step, int) {
    laststep = step;
    if (step == 3) QTest::mouseClick(d.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
  };
  const std::size_t boxes = p.prompter.boxes.size();
  p.window().runcommandfiles({p.path("boot.cmd")});
  p.desktop->ws().afterstep = nullptr;
  // The run stopped at the step after the press, with no error box, and the
  // program stays.
  QCOMPARE(laststep, 3);
  QVERIFY(!p.quitstatus);
  QVERIFY(!p.desktop->ws().closing());
  QCOMPARE(p.prompter.boxes.size(), boxes);
  QVERIFY(!p.desktop->ws().progress());

  // Earlier outputs byte for byte; no new file; the report ends with why.
  const QMap<QString, QByteArray> after = snapshot(p.dir.path());
  // The second command file's report: a file of its own, even in the same second.
  const QString cancelled = QString::fromStdString(p.frame().files.reportpath());
  QVERIFY(cancelled != reportpath);
  const QByteArray report = test::readfile(cancelled);
  QCOMPARE(after.keys().join(" "), before.keys().join(" "));
  for (const QString& name : before.keys()) QVERIFY2(after[name] == before[name], qPrintable(name));
  QVERIFY2(report.endsWith("Error: cancelled by the user\r\n"), report.right(200).constData());
  // Nor any other new file where the reports and the session's temporary report are.
  QStringList reports = reportfolder;
  reports << QFileInfo(cancelled).fileName();
  reports.sort();
  QCOMPARE(snapshot(QFileInfo(reportpath).path()).keys(), reports);
  QCOMPARE(snapshot(QFileInfo(temporary).path()).keys(),
           QFileInfo(temporary).path() == QFileInfo(reportpath).path() ? reports : temporaryfolder);

  // The next run is not cancelled.
  p.window().runcommandfiles({QString::fromStdString(first)});
  QVERIFY(!test::readfile(QString::fromStdString(p.frame().files.reportpath())).endsWith("Error: cancelled by the user\r\n"));
}
