#pragma once
// Everything that waits for a person: message boxes, file, font and colour
// dialogs, the About box. The desktop program answers through Qt dialogs;
// tests give their own answers.
#include <QColor>
#include <QFont>
#include <QString>
#include <optional>
#include <string>

#include "core/windowsystem.h"

class QWidget;

namespace lorvane {

enum class BoxIcon { Information, Warning, Error, Question };
// YesNoDefaultNo: Yes and No with No as the default button.
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoDefaultNo, YesNoCancel };
enum class BoxAnswer { Ok, Cancel, Yes, No };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A modal message box; an empty caption gives the default one of its kind.
  virtual BoxAnswer message(const QString& text, const QString& caption, BoxIcon icon, BoxButtons buttons) = 0;
  // The chosen path, or nothing when cancelled.
  virtual std::optional<std::string> fileDialog(const FileDialogRequest& request) = 0;
  // Font dialog with the text colour; false when cancelled.
  virtual bool chooseFont(QFont& font, QColor& colour) = 0;
  // Colour dialog with the custom colours; false when cancelled.
  virtual bool chooseColour(QColor& colour, QColor (&custom)[16]) = 0;
  virtual void about() = 0;
  virtual void beep() = 0;
};

// The real dialogs, owned by the given window.
class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(QWidget* owner = nullptr) : owner_(owner) {}
  void setOwner(QWidget* owner) { owner_ = owner; }
  BoxAnswer message(const QString& text, const QString& caption, BoxIcon icon, BoxButtons buttons) override;
  std::optional<std::string> fileDialog(const FileDialogRequest& request) override;
  bool chooseFont(QFont& font, QColor& colour) override;
  bool chooseColour(QColor& colour, QColor (&custom)[16]) override;
  void about() override;
  void beep() override;

 private:
  QWidget* owner_;
};

}  // namespace lorvane
