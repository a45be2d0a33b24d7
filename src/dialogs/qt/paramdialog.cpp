#include "dialogs/qt/paramdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <climits>

#include "core/datafile.h"
#include "core/messages.h"
#include "dialogs/qt/answertext.h"
#include "dialogs/qt/dialogunits.h"
#include "dialogs/qt/valueprompt.h"

namespace lorvane {

namespace {

QString qtext(const std::string& s) { return QString::fromStdString(s); }

// The wait cursor for the life of a run.
class WaitCursor {
 public:
  explicit WaitCursor(WindowSystem& ws) : ws_(ws) { ws_.setWaitCursor(true); }
  ~WaitCursor() { ws_.setWaitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  WindowSystem& ws_;
};

}  // namespace

ParamDialog::ParamDialog(QWidget* owner, ParamDialogFrame frame, WindowSystem& ws, int option)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      frame_(frame),
      ws_(ws),
      option_(option) {
  setObjectName(QString::number(kParamDialogId));
  setWindowTitle(QStringLiteral("Main dialog"));
  setModal(true);
  const DialogUnits du(*this);

  auto* ok = new QPushButton(QStringLiteral("Ok"), this);
  ok->setObjectName(QString::number(kOkId));
  ok->setGeometry(du.rect(kOkPlace));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] {
    storeanswers();
    accept();
  });
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QString::number(kCancelId));
  cancel->setGeometry(du.rect(kCancelPlace));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  buildrows();
  setFixedSize(du.size(kParamDialogPlace));
  if (owner) move(owner->mapToGlobal(QPoint(du.x(kParamDialogPlace.x), du.y(kParamDialogPlace.y))));

  fillrows();
  ok->setFocus();
}

void ParamDialog::fillrows() {
  const bool known = option_ >= 1 && option_ <= kMaxOptions;
  const auto slot = static_cast<std::size_t>(known ? option_ : 0);
  rows_ = known ? std::clamp(frame_.registry.paramcount[slot], 0, kDialogRows) : 0;
  const SplitLayout split = known ? splitlayout(frame_.registry.layout[slot], rows_) : SplitLayout{};
  for (int i = 1; i <= rows_; ++i) {
    const auto at = static_cast<std::size_t>(i);
    frame_.store.labels[at] = split.labels[at];
    frame_.store.descriptors[at] = split.descriptors[at];
    captions_[at]->setText(qtext(split.captions[at]));
    // The caption may be cut by its width; the whole label is at hand here.
    captions_[at]->setToolTip(qtext(split.labels[at]).trimmed());
  }
  for (int k = rows_ + 1; k <= kDialogRows; ++k) {
    const auto at = static_cast<std::size_t>(k);
    for (QWidget* w : {static_cast<QWidget*>(captions_[at]), static_cast<QWidget*>(firsts_[at]),
                       static_cast<QWidget*>(seconds_[at]), static_cast<QWidget*>(edits_[at]),
                       static_cast<QWidget*>(sets_[at])}) {
      w->setEnabled(false);
      w->hide();
    }
  }
  if (known && slot < frame_.registry.optionsmenu.size()) setWindowTitle(qtext(frame_.registry.title(option_)));
}

void ParamDialog::buildrows() {
  const DialogUnits du(*this);
  for (int k = 1; k <= kDialogRows; ++k) {
    const auto at = static_cast<std::size_t>(k);
    for (const RowColumn& column : kRowColumns) {
      QWidget* w = nullptr;
      switch (column.control) {
        case RowControl::Caption:
          w = captions_[at] = new QLabel(QStringLiteral(" "), this);
          captions_[at]->setTextFormat(Qt::PlainText);
          break;
        case RowControl::FirstNumber:
          w = firsts_[at] = new QLabel(QStringLiteral(" "), this);
          break;
        case RowControl::SecondNumber:
          w = seconds_[at] = new QLabel(QStringLiteral(" "), this);
          break;
        case RowControl::Edit:
          w = edits_[at] = new QLineEdit(this);
          edits_[at]->setMaxLength(kAnswerLength);  // what an answer holds, seen while typing
          break;
        case RowControl::Set:
          w = sets_[at] = new QPushButton(QStringLiteral("Set"), this);
          connect(sets_[at], &QPushButton::clicked, this, [this, k] { setpressed(k); });
          break;
      }
      const int id = (*column.ids)[at];
      w->setObjectName(QString::number(id));
      w->setProperty("controlId", id);
      w->setGeometry(du.rect(rowplace(column, k)));
    }
  }
}

void ParamDialog::storeanswers() {
  for (int i = 1; i <= rows_; ++i) frame_.store.answers[static_cast<std::size_t>(i)] = answertext(edit(i)->text());
}

void ParamDialog::setpressed(int row) {
  if (row < 1 || row > rows_) return;
  const auto at = static_cast<std::size_t>(row);
  current_ = splitdescriptor(frame_.store.descriptors[at]);
  const SetAction action = setaction(current_.type);
  if (action == SetAction::OpenBinary || action == SetAction::OpenText || action == SetAction::Save) {
    if (frame_.files.helpmessages()) infobox(ws_, frame_.store.labels[at]);
  }
  switch (action) {
    case SetAction::OpenBinary:
      choosebinfile(row);
      break;
    case SetAction::OpenText:
      choosetextfile(row);
      break;
    case SetAction::Save:
      choosenewfile(row);
      break;
    case SetAction::Prompt:
      promptvalue(row);
      break;
    case SetAction::None:
      break;
  }
}

std::optional<std::string> ParamDialog::openfile(const std::string& type) {
  frame_.record.setfilter(filtertext(type, current_.min));
  return frame_.record.show(ws_, frame_.record.request(FileDialogRequest::Kind::Open));
}

void ParamDialog::choosebinfile(int row) {
  auto chosen = openfile("bin");
  // With a one-letter min only names without any dot are taken.
  if (chosen && current_.min.size() == 1 && chosen->find('.') != std::string::npos) chosen.reset();
  if (chosen && edit(row)) {
    int l = INT_MIN;
    int c = INT_MIN;
    readdims(*chosen, l, c);
    edit(row)->setText(qtext(*chosen));
    // A file without a readable trailer leaves the fields blank.
    firstnumber(row)->setText(l == INT_MIN ? QStringLiteral(" ") : QString::number(l));
    secondnumber(row)->setText(c == INT_MIN ? QStringLiteral(" ") : QString::number(c));
  }
  toforeground();
}

void ParamDialog::choosetextfile(int row) {
  const auto chosen = openfile("text");
  if (chosen && edit(row)) edit(row)->setText(qtext(*chosen));
  toforeground();
}

void ParamDialog::choosenewfile(int row) {
  frame_.record.setfilename(ws_.documentPath());
  const auto chosen = frame_.record.show(ws_, frame_.record.request(FileDialogRequest::Kind::Save));
  if (chosen && edit(row)) edit(row)->setText(qtext(*chosen));
  toforeground();
}

void ParamDialog::promptvalue(int row) {
  if (row < 1 || row > kDialogRows) return;
  ValuePrompt prompt(this, frame_.store.labels[static_cast<std::size_t>(row)], edit(row));
  if (runprompt)
    runprompt(prompt);
  else
    prompt.exec();
  toforeground();
}

void ParamDialog::toforeground() {
  raise();
  activateWindow();
}

void paramdialog(QWidget* owner, Frame& frame, int commandid) {
  const int option = commandid - (kFirstOptionId - 1);
  if (option < 1 || option > kMaxOptions) return;
  frame.store.currentoption = option;
  {
    ParamDialog dialog(owner, dialogframe(frame), frame.ws(), option);
    if (dialog.exec() != QDialog::Accepted) return;
  }
  frame.beginreport();
  const WaitCursor wait(frame.ws());
  frame.runoption(option);
}

void openpresetoption(QWidget* owner, Frame& frame, int option) {
  if (frame.registry.offers(option)) paramdialog(owner, frame, kFirstOptionId - 1 + option);
}

}  // namespace lorvane
