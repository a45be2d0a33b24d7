#include "shell/prompter.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>

#include "dialogs/qt/aboutbox.h"

namespace lorvane {

namespace {

// "*.*" means every file; here files need not have an extension, so it
// becomes "*". Several patterns are separated by ";" in the filter text and
// by blanks in Qt's.
QString filterpattern(const std::string& pattern) {
  QStringList patterns = QString::fromStdString(pattern).split(';', Qt::SkipEmptyParts);
  for (QString& p : patterns)
    if (p.trimmed() == "*.*") p = QStringLiteral("*");
  return patterns.isEmpty() ? QStringLiteral("*") : patterns.join(' ');
}

}  // namespace

BoxAnswer QtPrompter::message(const QString& text, const QString& caption, BoxIcon icon, BoxButtons buttons) {
  QMessageBox box(owner_);
  box.setText(text);
  switch (icon) {
    case BoxIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case BoxIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case BoxIcon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case BoxIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
  box.setWindowTitle(caption.isEmpty() ? (icon == BoxIcon::Error ? QStringLiteral("Error") : QString()) : caption);
  switch (buttons) {
    case BoxButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case BoxButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case BoxButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case BoxButtons::YesNoDefaultNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::No);
      break;
    case BoxButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  box.raise();
  box.activateWindow();
  switch (box.exec()) {
    case QMessageBox::Yes:
      return BoxAnswer::Yes;
    case QMessageBox::No:
      return BoxAnswer::No;
    case QMessageBox::Ok:
      return BoxAnswer::Ok;
    default:
      return BoxAnswer::Cancel;
  }
}

std::optional<std::string> QtPrompter::fileDialog(const FileDialogRequest& request) {
  QFileDialog dialog(owner_);
  const bool save = request.kind == FileDialogRequest::Kind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // With the question before creating, Open may name a file that does not
  // exist yet.
  const bool mayname = save || request.askBeforeCreate;
  dialog.setFileMode(mayname ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.askBeforeOverwrite);
  // Qt reads the patterns from the filter's last parenthesised part.
  QString filter = QString::fromStdString(request.filterDescription);
  const qsizetype open = filter.lastIndexOf('(');
  if (filter.endsWith(')') && open >= 0)
    filter.truncate(open);
  else
    filter += ' ';
  dialog.setNameFilter(filter + "(" + filterpattern(request.filterPattern) + ")");
  if (!request.initialFolder.empty()) dialog.setDirectory(QString::fromStdString(request.initialFolder));
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    if (save || !request.askBeforeCreate || QFileInfo::exists(chosen)) return chosen.toStdString();
    // No: back to the dialog.
    if (message(QFileInfo(chosen).fileName() + QStringLiteral("\nThis file does not exist.\nCreate it?"),
                dialog.windowTitle(), BoxIcon::Question, BoxButtons::YesNo) == BoxAnswer::Yes)
      return chosen.toStdString();
  }
}

bool QtPrompter::chooseFont(QFont& font, QColor& colour) {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, owner_);
  if (!ok) return false;
  font = chosen;
  const QColor c = QColorDialog::getColor(colour, owner_, QStringLiteral("Text colour"));
  if (c.isValid()) colour = c;
  return true;
}

bool QtPrompter::chooseColour(QColor& colour, QColor (&custom)[16]) {
  for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, custom[i]);
  const QColor c = QColorDialog::getColor(colour, owner_);
  for (int i = 0; i < 16; ++i) custom[i] = QColorDialog::customColor(i);
  if (!c.isValid()) return false;
  colour = c;
  return true;
}

void QtPrompter::about() { aboutbox(owner_); }

void QtPrompter::beep() { QApplication::beep(); }

}  // namespace lorvane
