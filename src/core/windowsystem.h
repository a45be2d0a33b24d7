#pragma once
// The one interface through which the engine reaches the window system.
// The desktop program implements it on Qt; HeadlessWindowSystem implements it
// for the command-line program and the tests.
#include <optional>
#include <string>

namespace lorvane {

// What a file dialog is asked for.
struct FileDialogRequest {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  // (shown text, pattern) pairs; the first is preselected.
  std::string filterDescription = "All files (*.*)";
  std::string filterPattern = "*.*";
  std::string initialFolder;
  std::string fileName;  // the shared file-name buffer: last path chosen
  // Questions the dialog asks before it returns a path: whether to replace
  // an existing file (Save) and whether to create one that does not exist.
  bool askBeforeOverwrite = false;
  bool askBeforeCreate = false;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  virtual void beep() = 0;
  virtual void infoBox(const std::string& text) = 0;
  virtual void errorBox(const std::string& text) = 0;
  // No is the default answer (what Enter gives): the questions ask before
  // something is deleted.
  virtual bool askYesNo(const std::string& question, const std::string& title) = 0;

  // The close request to the main window. closing() tells whether the
  // program is on its way out (the request was accepted).
  virtual void requestClose() = 0;
  virtual bool closing() const = 0;

  virtual void progressOpen(const std::string& title) = 0;
  virtual void progressStep(int step, int total) = 0;
  virtual void progressClose() = 0;

  // The report file at `path` was brought up to date after a run; its lines
  // from `firstnewline` on (counted from 0) are what was written since the
  // last change. When `show`, the window loads the report as its document
  // with the first new line at the top; in any case it applies its display
  // settings again.
  virtual void reportChanged(const std::string& path, int firstnewline, bool show) = 0;

  // The full path of the document the window shows; empty when none.
  virtual std::string documentPath() const { return {}; }
  // Returns the chosen path, or nothing when the dialog was cancelled.
  virtual std::optional<std::string> fileDialog(const FileDialogRequest& request) = 0;
  virtual void setWaitCursor(bool on) = 0;
  // A remark on a run that completed but did not do what may have been
  // meant: one line on standard error without a window, nothing in one.
  virtual void note(const std::string& text) { static_cast<void>(text); }
};

// No window: boxes and notes go to standard error, questions are answered No,
// dialogs are cancelled, the progress window is silent.
class HeadlessWindowSystem : public WindowSystem {
 public:
  void beep() override {}
  void infoBox(const std::string& text) override;
  void errorBox(const std::string& text) override;
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  void requestClose() override { closing_ = true; }
  bool closing() const override { return closing_; }
  void progressOpen(const std::string&) override {}
  void progressStep(int, int) override {}
  void progressClose() override {}
  void reportChanged(const std::string&, int, bool) override {}
  std::optional<std::string> fileDialog(const FileDialogRequest&) override { return std::nullopt; }
  void setWaitCursor(bool) override {}
  void note(const std::string& text) override;

 private:
  bool closing_ = false;
};

}  // namespace lorvane
