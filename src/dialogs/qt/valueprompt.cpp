#include "dialogs/qt/valueprompt.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/paramspec.h"
#include "dialogs/qt/dialogunits.h"

namespace lorvane {

namespace {

// At most 255 bytes of the text, cut before a character, not inside one.
QString cut255(const QString& text) {
  QByteArray bytes = text.toUtf8();
  if (bytes.size() <= 255) return text;
  int end = 255;
  while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
  return QString::fromUtf8(bytes.left(end));
}

}  // namespace

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
  const QString value = cut255(edit_->text());
  if (!value.isEmpty() && row_) row_->setText(value);
  accept();
}

}  // namespace lorvane
