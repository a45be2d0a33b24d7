#include "dialogs/qt/progresswindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QWindow>

#include "ui_progresswindow.h"

namespace lorvane {

int progressright(int left, int width, int step, int total) {
  const float scale = static_cast<float>(width) / static_cast<float>(total);
  // The product is formed in the wider precision of the arithmetic, so a
  // last step can stop a pixel short: 11 * 22.727272f gives 249.99999.
  return static_cast<int>(left + step * static_cast<double>(scale));
}

ProgressDialog::ProgressDialog(QWidget* owner, const QString& title)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui_(std::make_unique<Ui::ProgressWindow>()) {
  ui_->setupUi(this);
  setFixedSize(size());
  if (owner) move(owner->geometry().topLeft() + QPoint(60, 65));
  ui_->titleLabel->setText(title);
  setWindowTitle(title);

  const QRect client = rect();
  const int left = client.left() + 10;
  const int right = client.left() + client.width() - 10;
  // The bar sits in the top 65 pixels, above the Cancel button.
  const int bottom = client.top() + 65 - 10;
  bar_ = QRect(QPoint(left, bottom - 20), QPoint(right - 1, bottom - 1));
  width_ = right - left;
  fillright_ = left;

  // The one-pixel black frame just outside the bar.
  canvas_ = QImage(bar_.width() + 2, bar_.height() + 2, QImage::Format_ARGB32);
  canvas_.fill(Qt::transparent);
  QPainter p(&canvas_);
  p.setPen(Qt::black);
  p.drawRect(0, 0, canvas_.width() - 1, canvas_.height() - 1);
  p.end();

  setWindowModality(Qt::ApplicationModal);
  connect(ui_->cancelButton, &QPushButton::clicked, this, [this] {
    if (cancelled_) return;
    cancelled_ = true;
    ui_->cancelButton->setEnabled(false);
    emit cancelrequested();
  });

  show();
  // Let the window system map the window once, so that the steps that
  // follow can draw into it while the computation keeps the thread.
  QElapsedTimer timer;
  timer.start();
  while (windowHandle() && !windowHandle()->isExposed() && timer.elapsed() < 500)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  repaint();
}

ProgressDialog::~ProgressDialog() = default;

QString ProgressDialog::titletext() const { return ui_->titleLabel->text(); }

void ProgressDialog::step(int step, int total) {
  if (total <= 0) return;
  fillright_ = progressright(bar_.left(), width_, step, total);
  QPainter p(&canvas_);
  // The earlier fill is painted over, never erased.
  p.fillRect(QRect(1, 1, fillright_ - bar_.left(), bar_.height()), Qt::gray);
  p.end();
  repaint(bar_.adjusted(-1, -1, 1, 1));
  // A press of Cancel since the last step.
  QCoreApplication::processEvents();
}

void ProgressDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(bar_.topLeft() - QPoint(1, 1), canvas_);
}

}  // namespace lorvane
