#pragma once
// The one main window: the report in an editable text area, the File,
// Edit, Options and "?" menus, the accelerators, and the command table that
// both reach.
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/resources.h"

class QPlainTextEdit;
class QMenu;
class QAction;

namespace lorvane {

struct RunResult;

class Frame;
class Prompter;
class QtWindowSystem;
class TextDocument;
class DisplaySettings;
class ResultsWindow;
struct CommandFileResult;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow(Frame& frame, QtWindowSystem& ws, Prompter& prompter);
  ~MainWindow() override;

  // The Options entries of the registered module (ids 1301 onward).
  void buildoptionsmenu();
  // Run command `id` as the menu or an accelerator gives it; unknown ids beep.
  void runcommand(int id);
  void runcommand(CommandId id) { runcommand(commandnumber(id)); }
  bool hascommand(int id) const { return commands_.count(id) != 0; }
  // The accelerator for a key, or 0.
  int accelerator(QKeyCombination keys) const;
  const std::vector<AcceleratorResource>& accelerators() const { return accelerators_; }

  // The engine's close request: honoured at once, or when the command that
  // is running returns.
  void requestclose();
  // Command files dropped on the window.
  CommandFileResult runcommandfiles(const QStringList& paths);

  // The popups by position, and the menu action of a command id.
  QMenu* popup(int position) const;
  QAction* menuaction(int id) const;
  // Enable or gray the items of the popup at `position` before it opens.
  void enablepopup(int position);
  // The report file changed (see WindowSystem::reportChanged): load it when
  // `show`, with line `firstnewline` at the top, and apply the font again.
  void reportchanged(const std::string& path, int firstnewline, bool show);

  // The results window, made when first asked for.
  ResultsWindow& results();
  // What the last run made; null when it failed or did not run.
  const RunResult* lastresult() const;

  TextDocument& document() { return *document_; }
  DisplaySettings& settings() { return *settings_; }
  QPlainTextEdit& editor() { return *editor_; }

  // Ends the program with a status: after the close was accepted, and at
  // once after a command file was worked through. Tests replace it.
  std::function<void(int status)> quit;
  // The status the program ends with when it is closed.
  int exitstatus = 0;

  // Everything that reaches the engine runs inside a busy scope; a close
  // requested inside one waits for its end.
  class BusyScope {
   public:
    explicit BusyScope(MainWindow& w) : w_(w) { ++w_.busy_; }
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    MainWindow& w_;
  };

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void buildmenus();
  // Whether a menu item is enabled when its popup opens; nothing for items
  // that keep their state.
  std::optional<bool> enabled(CommandId id) const;
  void buildcommands();
  bool dropevent(QEvent* event);

  Frame& frame_;
  QtWindowSystem& ws_;
  Prompter& prompter_;
  QPlainTextEdit* editor_;
  std::unique_ptr<TextDocument> document_;
  std::unique_ptr<DisplaySettings> settings_;
  std::unique_ptr<ResultsWindow> results_;
  std::vector<QMenu*> popups_;
  std::map<int, QAction*> actions_;
  std::map<int, std::function<void()>> commands_;
  std::vector<AcceleratorResource> accelerators_;
  int busy_ = 0;
  bool pendingclose_ = false;
  // An error stop asked for the close: the program ends with status 1,
  // unless the close is cancelled (then the status before it is back).
  bool errorclose_ = false;
  int statusbeforeerror_ = 0;
};

}  // namespace lorvane
