// Font, text colour, background colour and the standard format.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include "harness.h"
#include "shell/displaysettings.h"
#include "shell_tests.h"

using namespace lorvane;
using namespace lorvane::test;

namespace {

// The system colours change for the life of a scope.
class SystemColours {
 public:
  SystemColours() : saved_(QApplication::palette()) {}
  ~SystemColours() { QApplication::setPalette(saved_); }
  void set(const QColor& text, const QColor& window) {
    QPalette p = saved_;
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Base, window);
    QApplication::setPalette(p);
  }

 private:
  QPalette saved_;
};

QColor drawntext(Program& p) { return p.window().editor().palette().color(QPalette::Text); }
QColor drawnbackground(Program& p) { return p.window().editor().palette().color(QPalette::Base); }

}  // namespace

void DisplayTest::fontKeepsMargins() {
  Program p;
  QPlainTextEdit& edit = p.window().editor();
  const QFont standard = edit.font();
  p.window().runcommand(1201);  // cancelled
  QCOMPARE(edit.font(), standard);

  QFont big = standard;
  big.setPointSize(standard.pointSize() + 9);
  p.prompter.font = std::make_pair(big, DisplaySettings::systemtext());
  QTest::keyClick(&edit, Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(edit.font().pointSize(), big.pointSize());
  QCOMPARE(edit.document()->documentMargin(), qreal(kTextMargin));
  QVERIFY(!p.window().settings().textoverride);
}

void DisplayTest::textColourOverride() {
  SystemColours system;
  system.set(Qt::black, Qt::white);
  Program p;
  DisplaySettings& s = p.window().settings();
  // A colour equal to the system's leaves no override: it follows changes.
  p.prompter.font = std::make_pair(p.window().editor().font(), QColor(Qt::black));
  p.window().runcommand(1201);
  QVERIFY(!s.textoverride);
  system.set(Qt::darkBlue, Qt::white);
  QCOMPARE(drawntext(p), QColor(Qt::darkBlue));
  QCOMPARE(s.textcolour, QColor(Qt::darkBlue));

  p.prompter.font = std::make_pair(p.window().editor().font(), QColor(Qt::red));
  p.window().runcommand(1201);
  QCOMPARE(drawntext(p), QColor(Qt::red));
  system.set(Qt::darkGreen, Qt::white);
  QCOMPARE(drawntext(p), QColor(Qt::red));
  // The system takes the overriding colour: the override goes.
  system.set(Qt::red, Qt::white);
  QVERIFY(!s.textoverride);
  system.set(Qt::black, Qt::white);
  QCOMPARE(drawntext(p), QColor(Qt::black));
  // Black chosen while the system's text is not black: no override.
  system.set(Qt::darkBlue, Qt::white);
  p.prompter.font = std::make_pair(p.window().editor().font(), QColor(Qt::black));
  p.window().runcommand(1201);
  QVERIFY(!s.textoverride);
  QCOMPARE(drawntext(p), QColor(Qt::darkBlue));
}

void DisplayTest::backgroundOverride() {
  SystemColours system;
  system.set(Qt::black, Qt::white);
  Program p;
  DisplaySettings& s = p.window().settings();
  p.window().runcommand(1203);  // cancelled
  QVERIFY(!s.backgroundoverride);
  p.prompter.colour = QColor(Qt::yellow);
  QTest::keyClick(&p.window().editor(), Qt::Key_B, Qt::ControlModifier);
  QCOMPARE(drawnbackground(p), QColor(Qt::yellow));
  system.set(Qt::black, Qt::lightGray);
  QCOMPARE(drawnbackground(p), QColor(Qt::yellow));
  system.set(Qt::black, Qt::yellow);
  QVERIFY(!s.backgroundoverride);
  system.set(Qt::black, Qt::white);
  QCOMPARE(drawnbackground(p), QColor(Qt::white));
  // Black stores no override (0 means none): the system's colour stays.
  p.prompter.colour = QColor(Qt::black);
  p.window().runcommand(1203);
  QVERIFY(!s.backgroundoverride);
  QCOMPARE(drawnbackground(p), QColor(Qt::white));
}

void DisplayTest::standardFormat() {
  Program p;
  DisplaySettings& s = p.window().settings();
  QFont big = s.font;
  big.setPointSize(big.pointSize() + 5);
  p.prompter.font = std::make_pair(big, QColor(Qt::red));
  p.window().runcommand(1201);
  p.prompter.colour = QColor(Qt::cyan);
  p.window().runcommand(1203);

  p.window().runcommand(1202);  // cancelled
  QCOMPARE(p.prompter.boxes.back().text, QString("Revert document \"Quillmoor\" to standard text format?"));
  QCOMPARE(p.prompter.boxes.back().buttons, BoxButtons::OkCancel);
  QCOMPARE(drawntext(p), QColor(Qt::red));
  QCOMPARE(p.window().editor().font().pointSize(), big.pointSize());

  p.prompter.answers.push_back(BoxAnswer::Ok);
  QTest::keyClick(&p.window().editor(), Qt::Key_D, Qt::ControlModifier);
  QCOMPARE(p.window().editor().font(), s.stockfont);
  QVERIFY(!s.textoverride);
  QVERIFY(!s.backgroundoverride);
  QCOMPARE(drawnbackground(p), DisplaySettings::systemwindow());
}
