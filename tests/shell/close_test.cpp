// The close question's three answers and the end of the program.
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>

#include "frame/cmdfile.h"
#include "harness.h"
#include "shell/document.h"
#include "shell_tests.h"

using namespace lorvane;
using namespace lorvane::test;

namespace {
void edit(Program& p) {
  p.window().editor().setPlainText("unsaved report");
  p.window().editor().document()->setModified(true);
}
}  // namespace

void CloseTest::yesSavesAndCloses() {
  Program p;
  edit(p);
  p.prompter.answers.push_back(BoxAnswer::Yes);
  p.prompter.files.push_back(p.spath("saved.txt"));
  p.window().runcommand(1003);
  QCOMPARE(readfile(p.path("saved.txt")), QByteArray("unsaved report"));
  QVERIFY(p.desktop->ws().closing());
  QCOMPARE(p.quitstatus, std::optional<int>(0));
  // No run was made: nothing more is asked.
  QCOMPARE(p.prompter.boxes.size(), std::size_t{1});

  // Yes whose Save As is cancelled cancels the whole close.
  Program q;
  edit(q);
  q.prompter.answers.push_back(BoxAnswer::Yes);
  q.window().runcommand(1009);
  QVERIFY(!q.desktop->ws().closing());
  QCOMPARE(q.window().editor().toPlainText(), QString("unsaved report"));
}

void CloseTest::noClosesWithoutSaving() {
  Program p;
  edit(p);
  p.prompter.answers.push_back(BoxAnswer::No);
  p.window().close();
  QVERIFY(p.desktop->ws().closing());
  QVERIFY(p.quitstatus.has_value());
  QCOMPARE(p.prompter.filerequests.size(), std::size_t{0});
}

void CloseTest::cancelKeepsTheWindow() {
  Program p;
  edit(p);
  p.prompter.answers.push_back(BoxAnswer::Cancel);
  p.window().runcommand(1009);
  QCOMPARE(p.prompter.boxes.back().text, QString("Save document \"Quillmoor\" before closing?"));
  QCOMPARE(p.prompter.boxes.back().icon, BoxIcon::Question);
  QVERIFY(!p.desktop->ws().closing());
  QVERIFY(!p.quitstatus);
  QCOMPARE(p.window().editor().toPlainText(), QString("unsaved report"));
  QVERIFY(p.window().document().modified());
}

void CloseTest::closingAfterRunsAsksAboutTheReport() {
  for (const BoxAnswer answer : {BoxAnswer::Yes, BoxAnswer::No}) {
    Program p;
    // A command file that stops after its run (a separator, then nothing):
    // the program stays, with a report made.
    QFile::copy(LORVANE_EXAMPLE_INPUT, p.path("strains.txt"));
    const std::string cmd = p.examplecommandfile("stops.cmd", p.spath("strains.txt"));
    writefile(p.path("stops.cmd"), readfile(p.path("stops.cmd")) + "----------\n");
    p.window().runcommandfiles({QString::fromStdString(cmd)});
    QVERIFY(!p.quitstatus);
    const QString report = QString::fromStdString(p.frame().files.reportpath());
    const QString temporary = QString::fromStdString(p.frame().files.temporaryreportpath());
    QVERIFY(QFileInfo::exists(report));

    p.prompter.answers.push_back(answer);
    p.window().runcommand(1009);
    QVERIFY(p.quitstatus.has_value());
    QCOMPARE(p.prompter.boxes.back().text, QString("Delete the text report file ? "));
    QCOMPARE(p.prompter.boxes.back().caption, QString("WinVelko Exiting..."));
    QCOMPARE(p.prompter.boxes.back().buttons, BoxButtons::YesNoDefaultNo);
    QVERIFY(!QFileInfo::exists(temporary));
    QCOMPARE(QFileInfo::exists(report), answer == BoxAnswer::No);
  }
}

void CloseTest::enterAtTheEndQuestionAnswersNo() {
  // The real message box: Enter takes the default button, which is No for
  // the question asked before the report file is deleted.
  for (const BoxButtons buttons : {BoxButtons::YesNoDefaultNo, BoxButtons::YesNo}) {
    QtPrompter prompter;
    answermodal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
    const BoxAnswer answer = prompter.message("Delete the text report file ? ", "WinVelko Exiting...",
                                              BoxIcon::Question, buttons);
    // Plain Yes/No keeps Qt's own default (Yes): the end question must not use it.
    QCOMPARE(answer, buttons == BoxButtons::YesNoDefaultNo ? BoxAnswer::No : BoxAnswer::Yes);
  }
}
