#pragma once
// The progress window of long computations: a caption, "Step:" and what is
// computed, a bar that grows from left to right, one fill per step, and a
// Cancel button. Each step draws straight to the screen, so the bar shows
// while the computation runs without returning to the event loop, and then
// takes the events that wait (the window is modal, so only its own button
// answers).
#include <QImage>
#include <QRect>
#include <QWidget>
#include <memory>

namespace Ui {
class ProgressWindow;
}

namespace lorvane {

// Right end of the filled bar: scale = width / total in single precision,
// right = left + step * scale (in double precision), truncated toward zero.
int progressright(int left, int width, int step, int total);

class ProgressDialog : public QWidget {
  Q_OBJECT
 public:
  ProgressDialog(QWidget* owner, const QString& title);
  ~ProgressDialog() override;
  void step(int step, int total);

  // The bar in client pixels (right is that of the empty bar) and its fill.
  QRect bar() const { return bar_; }
  int barwidth() const { return width_; }
  int fillright() const { return fillright_; }
  QString titletext() const;
  bool cancelled() const { return cancelled_; }

 signals:
  // The Cancel button was pressed (once; the button is grayed then).
  void cancelrequested();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<Ui::ProgressWindow> ui_;
  QRect bar_;        // left, top, right (exclusive), bottom (exclusive)
  int width_ = 0;
  int fillright_ = 0;
  QImage canvas_;    // the frame and every fill drawn so far
  bool cancelled_ = false;
};

}  // namespace lorvane
