#include "shell/mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSessionManager>
#include <QUrl>

#include "core/interrupt.h"
#include "core/messages.h"
#include "dialogs/qt/paramdialog.h"
#include "frame/cmdfile.h"
#include "frame/frame.h"
#include "frame/startup.h"
#include "results/resultswindow.h"
#include "shell/displaysettings.h"
#include "shell/document.h"
#include "shell/prompter.h"
#include "shell/qtwindowsystem.h"

namespace lorvane {

MainWindow::MainWindow(Frame& frame, QtWindowSystem& ws, Prompter& prompter)
    : frame_(frame), ws_(ws), prompter_(prompter), editor_(new QPlainTextEdit(this)) {
  loadresources();
  quit = [](int status) { QCoreApplication::exit(status); };
  setObjectName(stringresource(StringId::WindowClass));
  setWindowTitle(stringresource(StringId::MainTitle));
  setWindowIcon(QIcon(QStringLiteral(":/lorvane/lorvane.png")));

  // Long lines wrap at the right edge; a vertical scroll bar only.
  editor_->setObjectName(QStringLiteral("text"));
  editor_->setFrameShape(QFrame::NoFrame);
  editor_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setCentralWidget(editor_);
  editor_->setFocus();
  editor_->installEventFilter(this);
  editor_->viewport()->installEventFilter(this);
  installEventFilter(this);
  // The application hears of changes of the system's colours.
  qApp->installEventFilter(this);

  document_ = std::make_unique<TextDocument>(*editor_, prompter_, frame_.dialogs,
                                             [this](const QString& caption) { setWindowTitle(caption); });
  settings_ = std::make_unique<DisplaySettings>(*editor_, prompter_);
  accelerators_ = acceleratorresource();
  buildmenus();
  buildcommands();
  setAcceptDrops(true);
  resize(720, 520);

  // The end of the session asks the close question.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
    if (!manager.allowsInteraction()) return;
    if (!document_->docquery()) manager.cancel();
    manager.release();
  });
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  editor_->viewport()->removeEventFilter(this);
  editor_->removeEventFilter(this);
  removeEventFilter(this);
}

MainWindow::BusyScope::~BusyScope() {
  // A Cancel of the command that ended is not carried over to the next one.
  if (w_.busy_ == 1 && interruptsignal() == kCancelledByUser) setinterrupt(0);
  if (--w_.busy_ == 0 && w_.pendingclose_) {
    w_.pendingclose_ = false;
    w_.close();
  }
}

void MainWindow::buildmenus() {
  for (const PopupResource& popupresource : menuresource()) {
    QMenu* menu = menuBar()->addMenu(popupresource.title);
    const int position = static_cast<int>(popups_.size());
    popups_.push_back(menu);
    for (const MenuItemResource& item : popupresource.items) {
      if (item.separator) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(item.text);
      action->setData(item.id);
      actions_[item.id] = action;
    }
    connect(menu, &QMenu::aboutToShow, this, [this, position] { enablepopup(position); });
    connect(menu, &QMenu::triggered, this, [this](QAction* action) {
      if (action->data().isValid()) runcommand(action->data().toInt());
    });
  }
}

void MainWindow::buildoptionsmenu() {
  QMenu* options = popup(2);
  if (!options) return;
  // Position 0 is the separator the menu resource already holds.
  const std::vector<MenuEntry>& entries = frame_.registry.optionsmenu;
  for (std::size_t k = 1; k < entries.size(); ++k) {
    const MenuEntry& entry = entries[k];
    if (entry.separator) {
      options->addSeparator();
      continue;
    }
    QAction* action = options->addAction(QString::fromStdString(entry.text));
    action->setData(entry.id);
    actions_[entry.id] = action;
  }
}

void MainWindow::buildcommands() {
  auto beep = [this] { prompter_.beep(); };
  auto set = [this](CommandId id, std::function<void()> command) {
    commands_[commandnumber(id)] = std::move(command);
  };
  set(CommandId::New, [this] { document_->docnew(); });
  set(CommandId::Open, [this] { document_->docopen(); });
  set(CommandId::Close, [this] { close(); });
  set(CommandId::Save, [this] { document_->docsave(); });
  set(CommandId::SaveAs, [this] { document_->docsaveas(); });
  set(CommandId::Revert, [this] { document_->docrevert(); });
  set(CommandId::PrintSetup, beep);
  set(CommandId::Print, beep);
  set(CommandId::Exit, [this] { close(); });
  set(CommandId::ChangeFolder, [this] { frame_.changefolder(); });
  set(CommandId::HelpMessages, [this] { frame_.files.togglehelpmessages(); });
  set(CommandId::Undo, [this] { editor_->undo(); });
  set(CommandId::Cut, [this] { editor_->cut(); });
  set(CommandId::Copy, [this] { editor_->copy(); });
  set(CommandId::Paste, [this] { editor_->paste(); });
  set(CommandId::Delete, [this] { editor_->textCursor().removeSelectedText(); });
  set(CommandId::SelectAll, [this] { editor_->selectAll(); });
  set(CommandId::ChooseFont, [this] { settings_->choosefont(); });
  set(CommandId::StandardFormat, [this] { settings_->standardformat(document_->title()); });
  set(CommandId::ChooseBackground, [this] { settings_->choosebackground(); });
  for (int id = kFirstOptionId; id < kFirstOptionId + kMaxOptions; ++id)
    commands_[id] = [this, id] { paramdialog(this, frame_, id); };
  set(CommandId::OpenResults, [this] {
    results().show();
    results().raise();
    results().activateWindow();
  });
  set(CommandId::LastResults, [this] {
    const RunResult* result = lastresult();
    if (!result || (!result->table && result->tablefile.empty() && !result->tree && !result->ordination)) {
      prompter_.beep();
      return;
    }
    results().show();
    results().raise();
    results().open(*result);
  });
  set(CommandId::Help, beep);
  set(CommandId::About, [this] { prompter_.about(); });
}

ResultsWindow& MainWindow::results() {
  if (!results_) results_ = std::make_unique<ResultsWindow>(nullptr);
  return *results_;
}

const RunResult* MainWindow::lastresult() const {
  return dynamic_cast<const RunResult*>(frame_.lastresult().get());
}

void MainWindow::runcommand(int id) {
  BusyScope busy(*this);
  document_->clearerror();
  const auto row = commands_.find(id);
  if (row == commands_.end())
    prompter_.beep();
  else
    row->second();
}

int MainWindow::accelerator(QKeyCombination keys) const {
  for (const AcceleratorResource& a : accelerators_)
    if (a.keys == keys) return a.id;
  return 0;
}

QMenu* MainWindow::popup(int position) const {
  return position >= 0 && static_cast<std::size_t>(position) < popups_.size()
             ? popups_[static_cast<std::size_t>(position)]
             : nullptr;
}

QAction* MainWindow::menuaction(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::enablepopup(int position) {
  QMenu* menu = popup(position);
  if (!menu) return;
  for (QAction* action : menu->actions())
    if (action->data().isValid())
      if (const auto on = enabled(static_cast<CommandId>(action->data().toInt()))) action->setEnabled(*on);
}

std::optional<bool> MainWindow::enabled(CommandId id) const {
  switch (id) {
    case CommandId::Exit:
      return true;
    case CommandId::LastResults:
      return lastresult() && !lastresult()->outputs.empty();
    case CommandId::Undo:
      return editor_->document()->isUndoAvailable();
    case CommandId::Cut:
    case CommandId::Copy:
    case CommandId::Delete:
      return editor_->textCursor().hasSelection();
    case CommandId::Paste: {
      const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
      return clip && clip->hasText();
    }
    case CommandId::SelectAll:
      return !editor_->document()->isEmpty();
    default:
      return std::nullopt;
  }
}

void MainWindow::reportchanged(const std::string& path, int firstnewline, bool show) {
  document_->releasefile();
  if (show) document_->docload(path);
  settings_->applyfont();
  // The first line of the new run at the top.
  if (show) editor_->verticalScrollBar()->setValue(firstnewline);
}

void MainWindow::requestclose() {
  if (!errorclose_) {
    errorclose_ = true;
    statusbeforeerror_ = exitstatus;
    exitstatus = kExitRunFailed;
  }
  if (busy_ > 0)
    pendingclose_ = true;
  else
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (ws_.closing()) {
    event->accept();
    return;
  }
  if (busy_ > 0 && pendingclose_) {
    event->ignore();
    return;
  }
  if (!document_->docquery()) {
    if (errorclose_) exitstatus = statusbeforeerror_;
    errorclose_ = false;
    event->ignore();
    return;
  }
  ws_.setclosing();
  setAcceptDrops(false);
  frame_.shutdown();
  event->accept();
  quit(exitstatus);
}


void MainWindow::focusInEvent(QFocusEvent*) { editor_->setFocus(); }

CommandFileResult MainWindow::runcommandfiles(const QStringList& paths) {
  std::vector<std::string> list;
  for (const QString& p : paths) list.push_back(p.toStdString());
  CommandFileResult result;
  {
    BusyScope busy(*this);
    result = dropfiles(frame_, list);
  }
  if (result.status == CommandFileResult::Status::Completed) {
    ws_.setclosing();
    quit(0);
  }
  return result;
}

bool MainWindow::dropevent(QEvent* event) {
  if (!acceptDrops()) return false;
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDragMoveEvent*>(event);
    if (!drag->mimeData()->hasUrls()) return false;
    drag->acceptProposedAction();
    return true;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasUrls()) return false;
    QStringList paths;
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile()) paths << url.toLocalFile();
    drop->acceptProposedAction();
    runcommandfiles(paths);
    return true;
  }
  return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == qApp) {
    if (event->type() == QEvent::ApplicationPaletteChange) settings_->followsystemcolours();
    return false;
  }
  // Keys and drops of the main window and its text area only; the
  // application's filter also sees every other window's events.
  if (watched != this && watched != editor_ && watched != editor_->viewport()) return false;
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
      // The accelerators come before the text area's own keys.
      auto* key = static_cast<QKeyEvent*>(event);
      const int id = accelerator(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
      if (id == 0) break;
      event->accept();
      if (event->type() == QEvent::KeyPress) runcommand(id);
      return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      if (dropevent(event)) return true;
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace lorvane
