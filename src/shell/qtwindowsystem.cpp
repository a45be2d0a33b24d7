#include "shell/qtwindowsystem.h"

#include <QApplication>

#include "core/interrupt.h"
#include "dialogs/qt/progresswindow.h"
#include "shell/mainwindow.h"
#include "shell/document.h"
#include "shell/prompter.h"

namespace lorvane {

QtWindowSystem::QtWindowSystem(Prompter& prompter) : prompter_(prompter) {}

QtWindowSystem::~QtWindowSystem() {
  if (waitcursor_) QApplication::restoreOverrideCursor();
}

void QtWindowSystem::beep() { prompter_.beep(); }

void QtWindowSystem::infoBox(const std::string& text) {
  prompter_.message(QString::fromStdString(text.substr(0, 255)), "Message:", BoxIcon::Information, BoxButtons::Ok);
}

void QtWindowSystem::errorBox(const std::string& text) {
  prompter_.message(QString::fromStdString(text.substr(0, 255)), QString(), BoxIcon::Error, BoxButtons::Ok);
}

bool QtWindowSystem::askYesNo(const std::string& question, const std::string& title) {
  return prompter_.message(QString::fromStdString(question), QString::fromStdString(title), BoxIcon::Question,
                           BoxButtons::YesNoDefaultNo) == BoxAnswer::Yes;
}

void QtWindowSystem::requestClose() {
  if (closing_) return;
  if (window_)
    window_->requestclose();
  else
    closing_ = true;
}

void QtWindowSystem::progressOpen(const std::string& title) {
  progress_.reset();
  if (closing_) return;
  progress_ = std::make_unique<ProgressDialog>(window_, QString::fromStdString(title));
  // Cancel stops the run at its next step, as a signal stops the
  // command-line program.
  QObject::connect(progress_.get(), &ProgressDialog::cancelrequested, [] { setinterrupt(kCancelledByUser); });
}

void QtWindowSystem::progressStep(int step, int total) {
  if (!progress_) return;
  progress_->step(step, total);
  if (afterstep) afterstep(*progress_, step, total);
}

void QtWindowSystem::progressClose() { progress_.reset(); }

void QtWindowSystem::reportChanged(const std::string& path, int firstnewline, bool show) {
  if (window_ && !closing_) window_->reportchanged(path, firstnewline, show);
}

std::string QtWindowSystem::documentPath() const { return window_ ? window_->document().path() : std::string(); }

std::optional<std::string> QtWindowSystem::fileDialog(const FileDialogRequest& request) {
  return prompter_.fileDialog(request);
}

void QtWindowSystem::setWaitCursor(bool on) {
  if (on == waitcursor_) return;
  waitcursor_ = on;
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

}  // namespace lorvane
