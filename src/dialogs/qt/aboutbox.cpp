#include "dialogs/qt/aboutbox.h"

#include <QDialog>

#include "ui_aboutbox.h"

namespace lorvane {

void aboutbox(QWidget* owner) {
  QDialog dialog(owner, Qt::Dialog | Qt::FramelessWindowHint);
  Ui::AboutBox ui;
  ui.setupUi(&dialog);
  dialog.setFixedSize(dialog.size());
  dialog.setStyleSheet(QStringLiteral("QDialog { border: 2px outset palette(dark); }"));
  ui.continueButton->setFocus();
  dialog.exec();
}

}  // namespace lorvane
