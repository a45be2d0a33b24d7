#pragma once
// The value prompt: shows a parameter's whole label line by line and takes
// one typed value for the row of the parameter dialog it was opened for.
#include <QDialog>
#include <array>
#include <string>

#include "dialogs/dialogids.h"

class QLabel;
class QLineEdit;

namespace lorvane {

class ValuePrompt : public QDialog {
  Q_OBJECT

 public:
  // `row` is the edit field of the parameter dialog's row; Ok with a value
  // replaces its text.
  ValuePrompt(QWidget* owner, const std::string& label, QLineEdit* row);

  QLineEdit* edit() const { return edit_; }
  QLabel* line(int k) const { return lines_.at(static_cast<std::size_t>(k)); }

 public slots:
  // Ok (also Enter): an empty value leaves the row as it was.
  void ok();

 private:
  QLineEdit* row_;
  QLineEdit* edit_;
  std::array<QLabel*, kPromptLines + 1> lines_{};
};

}  // namespace lorvane
