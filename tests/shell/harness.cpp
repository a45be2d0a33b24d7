#include "harness.h"

#include <QApplication>
#include <QTimer>

namespace lorvane::test {

BoxAnswer ScriptedPrompter::message(const QString& text, const QString& caption, BoxIcon icon, BoxButtons buttons) {
  boxes.push_back(Box{text, caption, icon, buttons});
  if (!answers.empty()) {
    const BoxAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  switch (buttons) {
    case BoxButtons::Ok:
      return BoxAnswer::Ok;
    case BoxButtons::YesNo:
    case BoxButtons::YesNoDefaultNo:
      return BoxAnswer::No;
    default:
      return BoxAnswer::Cancel;
  }
}

std::optional<std::string> ScriptedPrompter::fileDialog(const FileDialogRequest& request) {
  filerequests.push_back(request);
  if (files.empty()) return std::nullopt;
  auto f = files.front();
  files.pop_front();
  return f;
}

bool ScriptedPrompter::chooseFont(QFont& f, QColor& c) {
  if (!font) return false;
  f = font->first;
  c = font->second;
  return true;
}

bool ScriptedPrompter::chooseColour(QColor& c, QColor (&)[16]) {
  if (!colour) return false;
  c = *colour;
  return true;
}

Program::Program() {
  desktop = std::make_unique<Desktop>(prompter, datafolder());
  desktop->window().quit = [this](int status) { quitstatus = status; };
  desktop->start(CommandLine{}, dir.path().toStdString());
}

Program::~Program() { desktop.reset(); }

std::string Program::examplecommandfile(const QString& name, const std::string& input) const {
  const QByteArray text = "example\n1\n6\n" + QByteArray::fromStdString(input) + "\n6\n\n1\n\n\n";
  writefile(path(name), text);
  return spath(name);
}

void answermodal(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer = std::move(answer)] { answer(QApplication::activeModalWidget()); });
}

}  // namespace lorvane::test
