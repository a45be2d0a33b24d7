#pragma once
// The parameter dialog: one row per parameter of an option (caption, Set
// button, edit field, two number fields), Ok to run the option with the
// typed answers, Cancel to leave everything as it was.
#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "dialogs/dialogids.h"
#include "dialogs/paramlayout.h"
#include "frame/frame.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace lorvane {

class ValuePrompt;

// Options-menu command ids 1301..1320: makes id - 1300 the current option,
// shows its dialog modally and, on Ok, stores the answers, writes the run
// banner and runs the option under the wait cursor.
void paramdialog(QWidget* owner, Frame& frame, int commandid);

// The "-o n" switch at start-up: option n's dialog, when the module
// registers an option n; otherwise nothing.
void openpresetoption(QWidget* owner, Frame& frame, int option);

// What the dialog works with of the frame: the registry (the option's
// parameter count, layout and title), the answer store (labels and
// descriptors on opening, answers on Ok), the shared file dialog record, and
// the run files' help-messages flag.
struct ParamDialogFrame {
  const ModuleRegistry& registry;
  AnswerStore& store;
  FileDialogRecord& record;
  const RunFiles& files;
};
inline ParamDialogFrame dialogframe(Frame& frame) { return {frame.registry, frame.store, frame.dialogs, frame.files}; }

class ParamDialog : public QDialog {
  Q_OBJECT

 public:
  ParamDialog(QWidget* owner, ParamDialogFrame frame, WindowSystem& ws, int option);

  int rowcount() const { return rows_; }
  QLineEdit* edit(int row) const { return at(edits_, row); }
  QLabel* caption(int row) const { return at(captions_, row); }
  QLabel* firstnumber(int row) const { return at(firsts_, row); }
  QLabel* secondnumber(int row) const { return at(seconds_, row); }
  QPushButton* setbutton(int row) const { return at(sets_, row); }

  // The rows' texts into answers 1..n of the answer store.
  void storeanswers();

  // The Set actions of a row.
  void setpressed(int row);
  void choosebinfile(int row);
  void choosetextfile(int row);
  void choosenewfile(int row);
  void promptvalue(int row);

  // How the value prompt is run; tests answer the prompt through it.
  std::function<void(ValuePrompt&)> runprompt;

 private:
  template <class T>
  static T* at(const std::array<T*, kDialogRows + 1>& a, int row) {
    return row >= 1 && row <= kDialogRows ? a[static_cast<std::size_t>(row)] : nullptr;
  }
  void buildrows();
  // Rows 1..n from the option's layout; the others hidden and disabled.
  void fillrows();
  // An open dialog with the filter of a "bin" or "text" row; the chosen path.
  std::optional<std::string> openfile(const std::string& type);
  void toforeground();

  ParamDialogFrame frame_;
  WindowSystem& ws_;
  int option_;
  int rows_ = 0;
  Descriptor current_;  // of the last Set press
  std::array<QLabel*, kDialogRows + 1> captions_{};
  std::array<QLabel*, kDialogRows + 1> firsts_{};
  std::array<QLabel*, kDialogRows + 1> seconds_{};
  std::array<QLineEdit*, kDialogRows + 1> edits_{};
  std::array<QPushButton*, kDialogRows + 1> sets_{};
};

}  // namespace lorvane
