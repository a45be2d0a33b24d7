#include "shell/displaysettings.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QPlainTextEdit>

#include "shell/prompter.h"
#include "shell/resources.h"

namespace lorvane {

DisplaySettings::DisplaySettings(QPlainTextEdit& edit, Prompter& prompter)
    : stockfont(QFontDatabase::systemFont(QFontDatabase::FixedFont)),
      font(stockfont),
      textcolour(systemtext()),
      background(systemwindow()),
      edit_(edit),
      prompter_(prompter) {
  for (QColor& c : custom) c = Qt::black;
  edit_.setFont(font);
  edit_.document()->setDocumentMargin(kTextMargin);
  setcolours();
}

QColor DisplaySettings::systemtext() { return QApplication::palette().color(QPalette::Active, QPalette::Text); }

QColor DisplaySettings::systemwindow() { return QApplication::palette().color(QPalette::Active, QPalette::Base); }

void DisplaySettings::setcolours() {
  QPalette p = QApplication::palette();
  for (const auto group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Text, showntext());
    p.setColor(group, QPalette::Base, shownbackground());
  }
  edit_.setPalette(p);
  edit_.viewport()->update();
}

namespace {

// The override a chosen colour gives: none when it is the system's colour,
// and none for black either, since an override of 0 (black) means none.
std::optional<QColor> overridefor(const QColor& chosen, const QColor& system) {
  const bool black = chosen.red() == 0 && chosen.green() == 0 && chosen.blue() == 0;
  if (chosen == system || black) return std::nullopt;
  return chosen;
}

}  // namespace

void DisplaySettings::applyfont() {
  edit_.setFont(font);
  // A new font must not take the margins with it.
  edit_.document()->setDocumentMargin(kTextMargin);
  textoverride = overridefor(textcolour, systemtext());
  setcolours();
}

void DisplaySettings::applybackground() {
  backgroundoverride = overridefor(background, systemwindow());
  setcolours();
}

void DisplaySettings::choosefont() {
  QFont f = font;
  QColor c = textcolour;
  if (!prompter_.chooseFont(f, c)) return;
  font = f;
  textcolour = c;
  applyfont();
}

void DisplaySettings::choosebackground() {
  QColor c = background;
  if (!prompter_.chooseColour(c, custom)) return;
  background = c;
  applybackground();
}

void DisplaySettings::standardformat(const QString& documenttitle) {
  prompter_.beep();
  if (prompter_.message(formatstring(StringId::StandardFormatQuestion, documenttitle), "???", BoxIcon::Question,
                        BoxButtons::OkCancel) != BoxAnswer::Ok)
    return;
  font = stockfont;
  textcolour = systemtext();
  background = systemwindow();
  applyfont();
  applybackground();
}

void DisplaySettings::followsystemcolours() {
  const QColor t = systemtext();
  const QColor w = systemwindow();
  if (!textoverride)
    textcolour = t;
  else if (*textoverride == t)
    textoverride.reset();
  if (!backgroundoverride)
    background = w;
  else if (*backgroundoverride == w)
    backgroundoverride.reset();
  setcolours();
}

}  // namespace lorvane
