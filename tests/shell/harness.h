#pragma once
// A desktop program whose dialogs are answered by the test, in its own
// temporary folder.
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../testutil.h"
#include "shell/desktop.h"
#include "shell/prompter.h"

namespace lorvane::test {

class ScriptedPrompter : public Prompter {
 public:
  struct Box {
    QString text;
    QString caption;
    BoxIcon icon;
    BoxButtons buttons;
  };
  // Answers given in order; when none is left: Ok for an Ok box, No for
  // Yes/No, Cancel otherwise.
  std::deque<BoxAnswer> answers;
  std::vector<Box> boxes;
  std::deque<std::optional<std::string>> files;  // none left: cancelled
  std::vector<FileDialogRequest> filerequests;
  std::optional<std::pair<QFont, QColor>> font;  // nothing: cancelled
  std::optional<QColor> colour;                  // nothing: cancelled
  int beeps = 0;
  int abouts = 0;

  BoxAnswer message(const QString& text, const QString& caption, BoxIcon icon, BoxButtons buttons) override;
  std::optional<std::string> fileDialog(const FileDialogRequest& request) override;
  bool chooseFont(QFont& f, QColor& c) override;
  bool chooseColour(QColor& c, QColor (&)[16]) override;
  void about() override { ++abouts; }
  void beep() override { ++beeps; }
};

// A started program (module registered, no command line) in a fresh folder.
struct Program {
  Program();
  ~Program();
  QString path(const QString& name) const { return dir.filePath(name); }
  std::string spath(const QString& name) const { return path(name).toStdString(); }
  // The per-user data folder of the program.
  std::string datafolder() const { return spath("data/lorvane"); }
  // A command file for option 1 on the example strains, in the folder.
  std::string examplecommandfile(const QString& name, const std::string& input) const;

  QTemporaryDir dir;
  ScriptedPrompter prompter;
  std::unique_ptr<Desktop> desktop;
  std::optional<int> quitstatus;
  MainWindow& window() { return desktop->window(); }
  Frame& frame() { return desktop->frame(); }
};

// Answer the next modal dialog, once it runs: `answer` gets the dialog.
void answermodal(std::function<void(QWidget*)> answer);

// The shared whole-file helpers of tests/testutil.h, for Qt paths and bytes.
inline QByteArray readfile(const QString& path) {
  return QByteArray::fromStdString(test::readfile(path.toStdString()));
}
inline void writefile(const QString& path, const QByteArray& bytes) {
  test::writefile(path.toStdString(), bytes.toStdString());
}

}  // namespace lorvane::test
