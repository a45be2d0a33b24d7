#pragma once
// The engine's window system on Qt: message boxes and dialogs through the
// Prompter, the progress window, and the main window's text area and close
// request.
#include <functional>
#include <memory>

#include "core/windowsystem.h"

namespace lorvane {

class MainWindow;
class Prompter;
class ProgressDialog;

class QtWindowSystem : public WindowSystem {
 public:
  explicit QtWindowSystem(Prompter& prompter);
  ~QtWindowSystem() override;
  void attach(MainWindow* window) { window_ = window; }

  void beep() override;
  void infoBox(const std::string& text) override;
  void errorBox(const std::string& text) override;
  bool askYesNo(const std::string& question, const std::string& title) override;

  void requestClose() override;
  bool closing() const override { return closing_; }
  // The close request was accepted: the window is on its way out.
  void setclosing() { closing_ = true; }

  void progressOpen(const std::string& title) override;
  void progressStep(int step, int total) override;
  void progressClose() override;
  ProgressDialog* progress() const { return progress_.get(); }
  // Called after each step has been drawn (pictures and checks of the bar).
  std::function<void(ProgressDialog&, int step, int total)> afterstep;

  void reportChanged(const std::string& path, int firstnewline, bool show) override;
  std::string documentPath() const override;

  std::optional<std::string> fileDialog(const FileDialogRequest& request) override;
  void setWaitCursor(bool on) override;

 private:
  Prompter& prompter_;
  MainWindow* window_ = nullptr;
  std::unique_ptr<ProgressDialog> progress_;
  bool closing_ = false;
  bool waitcursor_ = false;
};

}  // namespace lorvane
