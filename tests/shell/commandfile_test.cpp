// Command files dropped on the window or named at start-up, and runs that
// show the report.
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include <QLineEdit>
#include <QPushButton>

#include "dialogs/qt/paramdialog.h"
#include "frame/cmdfile.h"
#include "harness.h"
#include "shell/document.h"
#include "shell_tests.h"

using namespace lorvane;
using namespace lorvane::test;

namespace {

// An interactive run: Options, "Simple computation", the answers typed into
// its parameter dialog, Ok.
void interactiverun(Program& p, const std::string& input) {
  answermodal([input](QWidget* modal) {
    auto* dialog = qobject_cast<ParamDialog*>(modal);
    if (!dialog) {
      if (modal) modal->close();
      return;
    }
    const std::vector<std::string> answers{input, "6", "", "1", "", ""};
    for (int k = 1; k <= dialog->rowcount(); ++k)
      dialog->edit(k)->setText(QString::fromStdString(answers[static_cast<std::size_t>(k - 1)]));
    dialog->findChild<QPushButton*>(QString::number(kOkId))->click();
  });
  p.window().menuaction(1301)->trigger();
}

QStringList temporaryreports(const std::string& folder) {
  return QDir(QString::fromStdString(folder)).entryList({".lv*"}, QDir::Files | QDir::Hidden);
}

}  // namespace

void CommandFileTest::droppedFileRunsAndEndsTheProgram() {
  Program p;
  QFile::copy(LORVANE_EXAMPLE_INPUT, p.path("strains.txt"));
  const std::string cmd = p.examplecommandfile("run.cmd", p.spath("strains.txt"));

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(cmd))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(p.window().editor().viewport(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(p.window().editor().viewport(), &drop);

  QVERIFY(QFileInfo::exists(p.path("strains.txt.matJ")));
  QCOMPARE(p.quitstatus, std::optional<int>(0));
  // Worked through: no question, the temporary report gone, the report kept.
  QCOMPARE(p.prompter.boxes.size(), std::size_t{0});
  QVERIFY(temporaryreports(p.frame().files.defaultfolder()).isEmpty());
  QVERIFY(QFileInfo::exists(QString::fromStdString(p.frame().files.reportpath())));
  // The text dropped into the window is not a command file.
  QVERIFY(p.window().editor().toPlainText().isEmpty());
}

void CommandFileTest::runShowsTheReport() {
  Program p;
  QFile::copy(LORVANE_EXAMPLE_INPUT, p.path("strains.txt"));
  interactiverun(p, p.spath("strains.txt"));
  QPlainTextEdit& edit = p.window().editor();
  const QString report = QString::fromStdString(p.frame().files.reportpath());
  // The report file is the document, its CR LF shown as line breaks.
  QCOMPARE(p.window().document().path(), report.toStdString());
  QVERIFY(p.window().document().holdsfile());
  QVERIFY(edit.toPlainText().startsWith("+---"));
  QVERIFY(!edit.toPlainText().contains('\r'));
  QVERIFY(edit.toPlainText().contains("Quillmoor: Simple computation"));
  QCOMPARE(p.desktop->ws().progress(), nullptr);
  const int linesbefore = edit.document()->lineCount();

  // A second run: the report grows and its new part comes to the top.
  edit.resize(600, 200);
  interactiverun(p, p.spath("strains.txt"));
  QVERIFY(edit.document()->lineCount() > linesbefore);
  QCOMPARE(edit.verticalScrollBar()->value(), std::min(linesbefore - 1, edit.verticalScrollBar()->maximum()));
  QVERIFY(edit.verticalScrollBar()->value() > 0);
  QCOMPARE(QString::fromLatin1(readfile(report)).count("\r\n"), edit.toPlainText().count('\n'));
}

void CommandFileTest::errorStopClosesAfterTheRun() {
  Program p;
  interactiverun(p, p.spath("missing.txt"));
  // The error box, the report of the failed run, then the close.
  QCOMPARE(p.prompter.boxes.front().icon, BoxIcon::Error);
  QVERIFY(p.prompter.boxes.front().text.startsWith("Error: can't open input file"));
  QVERIFY(p.desktop->ws().closing());
  // The error stop ended the program: status 1, and the message is in the report.
  QCOMPARE(p.quitstatus, std::optional<int>(1));
  QCOMPARE(p.prompter.boxes.back().text, QString("Delete the text report file ? "));
  QVERIFY(temporaryreports(p.frame().files.defaultfolder()).isEmpty());
  QVERIFY(readfile(QString::fromStdString(p.frame().files.reportpath()))
              .contains("\r\nError: can't open input file " + QByteArray::fromStdString(p.spath("missing.txt")) +
                        " (readbands): No such file or directory\r\n"));
  // A close that the save question cancels keeps the program, and the
  // error no longer decides its status.
  Program q;
  q.window().editor().setPlainText("unsaved");
  q.window().editor().document()->setModified(true);
  q.prompter.answers = {BoxAnswer::Ok, BoxAnswer::Cancel};
  interactiverun(q, q.spath("missing.txt"));
  QVERIFY(!q.quitstatus);
  q.prompter.answers = {BoxAnswer::No};
  q.window().close();
  QCOMPARE(q.quitstatus, std::optional<int>(0));
  // Calls after the close are harmless.
  p.desktop->ws().reportChanged(p.frame().files.reportpath(), 0, true);
  p.desktop->ws().progressOpen("late");
  QCOMPARE(p.desktop->ws().progress(), nullptr);
  QVERIFY(!p.window().document().holdsfile());
}

void CommandFileTest::startupStatuses() {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  writefile(dir.filePath("bad.cmd"), "name\n7\n6\n");
  QFile::copy(LORVANE_EXAMPLE_INPUT, dir.filePath("strains.txt"));
  writefile(dir.filePath("run.cmd"), "example\n1\n6\n" + dir.filePath("strains.txt").toLocal8Bit() + "\n6\n\n1\n\n\n");
  struct Case {
    const char* file;
    std::optional<int> ended;
    int status;
  };
  for (const Case& c : {Case{"missing.cmd", std::nullopt, 3}, Case{"bad.cmd", std::nullopt, 2},
                        Case{"run.cmd", 0, 0}}) {
    ScriptedPrompter prompter;
    Desktop d(prompter, dir.filePath("data/lorvane").toStdString());
    d.window().quit = [](int) {};
    CommandLine cl;
    cl.commandfile = c.file;
    cl.optiontoopen = 2;
    // "-o 2" opens option 2's dialog before the command file is looked for.
    QString opened;
    answermodal([&opened](QWidget* dialog) {
      opened = dialog ? dialog->metaObject()->className() : QString();
      if (dialog) dialog->close();
    });
    QCOMPARE(d.start(cl, folder), c.ended);
    QCOMPARE(opened, QString("lorvane::ParamDialog"));
    QCOMPARE(d.window().exitstatus, c.status);
  }
  QVERIFY(QFileInfo::exists(dir.filePath("strains.txt.matJ")));
}
