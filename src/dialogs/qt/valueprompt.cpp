#include "dialogs/qt/valueprompt.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/paramlayout.h"
#include "dialogs/qt/answertext.h"
#include "dialogs/qt/dialogunits.h"

namespace lorvane {

ValuePrompt::ValuePrompt(QWidget* owner, const std::string& label, QLineEdit* row)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), row_(row) {
  setObjectName(QString::number(kValuePromptId));
  setWindowTitle(QString());
  setModal(true);
  const DialogUnits du(*this);

  auto* title = new QLabel(QStringLiteral("Type the value"), this);
  title->setObjectName(QString::number(kPromptTitleId));
  title->setGeometry(du.rect(kPromptTitlePlace));

  edit_ = new QLineEdit(this);
  edit_->setObjectName(QString::number(kPromptEditId));
  edit_->setGeometry(du.rect(kPromptEditPlace));
  edit_->setMaxLength(kAnswerLength);

  auto* okbutton = new QPushButton(QStringLiteral("Ok"), this);
  okbutton->setObjectName(QString::number(kOkId));
  okbutton->setGeometry(du.rect(kPromptOkPlace));
  okbutton->setDefault(true);
  connect(okbutton, &QPushButton::clicked, this, &ValuePrompt::ok);

  const std::vector<std::string> text = labellines(label);
  for (int k = 1; k <= kPromptLines; ++k) {
    const auto at = static_cast<std::size_t>(k);
    QString shown = QStringLiteral(" ");
    if (at <= text.size()) shown = QString::fromUtf8(text[at - 1]);
    auto* l = new QLabel(shown, this);
    l->setObjectName(QString::number(promptlineid(k)));
    l->setGeometry(du.rect(promptlineplace(k)));
    l->setTextFormat(Qt::PlainText);
    lines_[at] = l;
  }
  // "Type the value" and the first label line share one place; the label
  // line wins so that it stays readable, and the edit field says it instead.
  if (!text.empty() && !text.front().empty()) title->hide();
  edit_->setPlaceholderText(title->text());

  setFixedSize(du.size(kValuePromptPlace));
  if (owner) move(owner->mapToGlobal(QPoint(du.x(kValuePromptPlace.x), du.y(kValuePromptPlace.y))));
  edit_->setFocus();
}

void ValuePrompt::ok() {
  const std::string value = answertext(edit_->text());
  if (!value.empty() && row_) row_->setText(QString::fromStdString(value));
  accept();
}

}  // namespace lorvane
