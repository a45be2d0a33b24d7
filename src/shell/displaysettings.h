#pragma once
// The text area's font and colours. A colour the user did not set (no
// override) follows the system's colours; nothing is stored between starts.
#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class QPlainTextEdit;

namespace lorvane {

class Prompter;

inline constexpr int kTextMargin = 4;

class DisplaySettings {
 public:
  DisplaySettings(QPlainTextEdit& edit, Prompter& prompter);

  // The three commands: font and text colour, standard format (asked with
  // the document title), background colour.
  void choosefont();
  void standardformat(const QString& documenttitle);
  void choosebackground();

  void applyfont();
  void applybackground();
  // The system's colours have changed.
  void followsystemcolours();

  // The system's window-text and window colours now.
  static QColor systemtext();
  static QColor systemwindow();
  // The colours the text area is drawn in.
  QColor showntext() const { return textoverride.value_or(systemtext()); }
  QColor shownbackground() const { return backgroundoverride.value_or(systemwindow()); }

  QFont stockfont;
  QFont font;
  QColor textcolour;
  std::optional<QColor> textoverride;
  QColor background;
  std::optional<QColor> backgroundoverride;
  QColor custom[16];

 private:
  void setcolours();
  QPlainTextEdit& edit_;
  Prompter& prompter_;
};

}  // namespace lorvane
