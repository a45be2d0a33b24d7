// Menus, accelerators and the command table.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>

#include "dialogs/qt/paramdialog.h"
#include "harness.h"
#include "shell_tests.h"

using namespace lorvane;
using namespace lorvane::test;

namespace {

// id and text of every item of a popup; separators as (0, "-").
QList<QPair<int, QString>> items(QMenu* menu) {
  QList<QPair<int, QString>> list;
  for (QAction* a : menu->actions())
    list.append(a->isSeparator() ? qMakePair(0, QStringLiteral("-")) : qMakePair(a->data().toInt(), a->text()));
  return list;
}

}  // namespace

void MenusTest::menuBarHoldsTheFivePopups() {
  Program p;
  QStringList titles;
  for (QAction* a : p.window().menuBar()->actions()) titles << a->text();
  QCOMPARE(titles, QStringList({"&File", "&Edit", "&Options", "&Results", "&?"}));

  using L = QList<QPair<int, QString>>;
  QCOMPARE(items(p.window().popup(0)), L({{1001, "&New\tCtrl+N"}, {1002, "&Open...\tCtrl+O"}, {1004, "&Save\tCtrl+S"},
                                          {1005, "Save &as...\tCtrl+Alt+S"}, {1006, "&Revert\tCtrl+R"},
                                          {1003, "&Close\tCtrl+W"}, {0, "-"}, {1011, "Display help messages"}, {0, "-"}, {1010, "Change default folder"},
                                          {0, "-"}, {1009, "E&xit\tCtrl+Q"}}));
  QCOMPARE(items(p.window().popup(1)),
           L({{1101, "&Undo\tCtrl+Z"}, {0, "-"}, {1102, "Cu&t\tCtrl+X"}, {1103, "&Copy\tCtrl+C"},
              {1104, "&Paste\tCtrl+V"}, {1105, "&Delete\tDelete"}, {0, "-"}, {1106, "Select &All\tCtrl+A"}}));
  QCOMPARE(items(p.window().popup(2)),
           L({{0, "-"}, {1301, "Simple computation"}, {1302, "Bootstrap computation"},
              {1303, "Tree from a distance table"}, {1304, "Bootstrap tree"}, {1305, "Convert a distance table"},
              {1306, "Principal coordinates"}, {1307, "Mantel test"}, {1308, "Import band data"}, {1309, "Export band data"},
              {1310, "Multilocus genotypes"}, {1311, "AMOVA"}, {1312, "Pairwise PhiPT"}}));
  QCOMPARE(items(p.window().popup(3)), L({{1501, "&Open results..."}, {1502, "Results of the last &run"}}));
  QCOMPARE(items(p.window().popup(4)), L({{1401, "&Help\tCtrl+?"}, {0, "-"}, {1402, "&About Velko..."}}));
}

void MenusTest::acceleratorTableIsComplete() {
  Program p;
  const auto& table = p.window().accelerators();
  QCOMPARE(table.size(), std::size_t{27});
  const std::pair<QKeyCombination, int> some[] = {
      {Qt::CTRL | Qt::ALT | Qt::Key_S, 1005}, {Qt::ALT | Qt::Key_Backspace, 1101}, {Qt::SHIFT | Qt::Key_Delete, 1102},
      {QKeyCombination(Qt::Key_F3), 1103},    {Qt::CTRL | Qt::Key_Help, 1401},      {Qt::CTRL | Qt::SHIFT | Qt::Key_Help, 1401},
      {Qt::CTRL | Qt::Key_Insert, 1103},      {Qt::SHIFT | Qt::Key_Insert, 1104},  {Qt::CTRL | Qt::Key_W, 1003}};
  for (const auto& [keys, id] : some) QCOMPARE(p.window().accelerator(keys), id);
  // Modifiers must match exactly.
  QCOMPARE(p.window().accelerator(Qt::CTRL | Qt::SHIFT | Qt::Key_S), 0);
  // Every accelerator reaches a row of the command table.
  for (const AcceleratorResource& a : table) QVERIFY2(p.window().hascommand(a.id), qPrintable(QString::number(a.id)));
}

void MenusTest::keysReachTheCommandTable() {
  Program p;
  QPlainTextEdit& edit = p.window().editor();
  // Ctrl+S without a document file goes to Save As.
  QTest::keyClick(&edit, Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(p.prompter.filerequests.size(), std::size_t{1});
  QCOMPARE(p.prompter.filerequests[0].kind, FileDialogRequest::Kind::Save);
  // F1 only beeps; so does Ctrl+P.
  const int beeps = p.prompter.beeps;
  QTest::keyClick(&edit, Qt::Key_F1);
  QTest::keyClick(&edit, Qt::Key_P, Qt::ControlModifier);
  QCOMPARE(p.prompter.beeps, beeps + 2);
  // F3 copies and F4 pastes through the text area.
  edit.setPlainText("band");
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_F3);
  QCOMPARE(QApplication::clipboard()->text(), QString("band"));
  edit.moveCursor(QTextCursor::End);
  QTest::keyClick(&edit, Qt::Key_F4);
  QCOMPARE(edit.toPlainText(), QString("bandband"));
  // Ctrl+W is Close: the close question comes first (Cancel keeps the window).
  QTest::keyClick(&edit, Qt::Key_W, Qt::ControlModifier);
  QCOMPARE(p.prompter.boxes.back().text, QString("Save document \"Quillmoor\" before closing?"));
  QVERIFY(!p.desktop->ws().closing());
}

void MenusTest::unknownIdsBeepAndOptionsOpenTheirDialog() {
  Program p;
  const int beeps = p.prompter.beeps;
  p.window().runcommand(1321);
  p.window().runcommand(1007);
  p.window().runcommand(1008);
  p.window().runcommand(1401);
  p.window().runcommand(1300);
  QCOMPARE(p.prompter.beeps, beeps + 5);
  // An Options entry opens its parameter dialog; Cancel runs nothing.
  bool answered = false;
  answermodal([&answered](QWidget* dialog) {
    answered = qobject_cast<ParamDialog*>(dialog) != nullptr;
    if (auto* d = qobject_cast<ParamDialog*>(dialog)) d->reject();
  });
  p.window().runcommand(1302);
  QVERIFY(answered);
  QCOMPARE(p.frame().store.currentoption, 2);
  QVERIFY(!p.frame().files.temporaryreportopen());
  p.window().menuaction(1402)->trigger();
  QCOMPARE(p.prompter.abouts, 1);
  // "Display help messages" flips the flag and shows no check mark.
  p.window().menuaction(1011)->trigger();
  QVERIFY(p.frame().files.helpmessages());
  QVERIFY(!p.window().menuaction(1011)->isChecked());
  p.window().runcommand(1011);
  QVERIFY(!p.frame().files.helpmessages());
}

void MenusTest::popupsAreEnabledWhenTheyOpen() {
  Program p;
  QPlainTextEdit& edit = p.window().editor();
  QApplication::clipboard()->clear();
  p.window().enablepopup(1);
  for (int id : {1101, 1102, 1103, 1104, 1105, 1106}) QVERIFY2(!p.window().menuaction(id)->isEnabled(), qPrintable(QString::number(id)));

  QApplication::clipboard()->setText("x");
  edit.setPlainText("abc");
  p.window().enablepopup(1);
  QVERIFY(p.window().menuaction(1104)->isEnabled());
  QVERIFY(p.window().menuaction(1106)->isEnabled());
  QVERIFY(!p.window().menuaction(1103)->isEnabled());
  edit.selectAll();
  p.window().enablepopup(1);
  for (int id : {1102, 1103, 1105}) QVERIFY(p.window().menuaction(id)->isEnabled());
  p.window().runcommand(1105);
  QCOMPARE(edit.toPlainText(), QString());
  p.window().enablepopup(1);
  QVERIFY(p.window().menuaction(1101)->isEnabled());

  p.window().menuaction(1009)->setEnabled(false);
  p.window().enablepopup(0);
  QVERIFY(p.window().menuaction(1009)->isEnabled());
}

void MenusTest::textKeepsItsMarginsWhenResized() {
  Program p;
  MainWindow& w = p.window();
  QPlainTextEdit& edit = w.editor();
  edit.setPlainText("line");
  w.show();
  for (const QSize size : {QSize(400, 300), QSize(640, 200)}) {
    w.resize(size);
    QCoreApplication::processEvents();
    // The text area fills the client area under the menu bar.
    QCOMPARE(edit.geometry(), w.centralWidget()->geometry());
    QCOMPARE(edit.width(), w.width());
    const QRect first = edit.cursorRect(QTextCursor(edit.document()));
    QCOMPARE(first.top(), 4);
    QVERIFY(first.left() >= 4 && first.left() <= 5);
  }
}
