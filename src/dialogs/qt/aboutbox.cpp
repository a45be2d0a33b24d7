#include "dialogs/qt/aboutbox.h"

#include <QDialog>

#include "ui_aboutbox.h"

namespace lorvane {

void aboutbox(QWidget* owner) {
  // A frame without a caption.
  QDialog dialog(owner, Qt::Dialog | Qt::CustomizeWindowHint);
  Ui::AboutBox ui;
  ui.setupUi(&dialog);
  dialog.setFixedSize(dialog.size());
  ui.continueButton->setFocus();
  dialog.exec();
}

}  // namespace lorvane
