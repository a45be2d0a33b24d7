#pragma once
// The picture of a result on screen: zoom with the wheel (or the keys + and
// -), pan by dragging, the strains and value of the cell under the pointer,
// a click on a tip or a cell highlights its row and column, a click near a
// node of the tree chooses the edge above it; over a scatter, the point
// under the pointer.
#include <QPointF>
#include <QWidget>
#include <functional>

#include "drawing/scene.h"

namespace lorvane {

class ResultsView : public QWidget {
  Q_OBJECT
 public:
  explicit ResultsView(QWidget* parent = nullptr);
  void setscene(drawing::Scene scene);
  const drawing::Scene& scene() const { return scene_; }
  // What the pointer shows over cell (row, column) of the heat map; rows
  // count tips from the top.
  std::function<QString(int row, int column)> describecell;
  // What the pointer shows over point `point` of a scatter.
  std::function<QString(int point)> describepoint;

  void zoomby(double factor, QPointF at);
  void fit();
  // Show the scene at `zoom` with scene point `topleft` at the top left.
  void showat(double zoom, QPointF topleft);
  double zoom() const { return zoom_; }
  // Scene point under a widget point and back.
  QPointF toscene(QPointF p) const { return (p - offset_) / zoom_; }
  QPointF towidget(QPointF p) const { return p * zoom_ + offset_; }

  // The highlighted tip row (-1: none) and the chosen node (-1: none).
  int selectedrow() const { return row_; }
  int selectednode() const { return node_; }
  void select(int row, int node);
  // The heat map cell (row, column) at a scene point, or false.
  bool cellat(QPointF scenepoint, int& row, int& column) const;
  // The tip row of a scene point left of the heat map, or -1.
  int rowat(QPointF scenepoint) const;
  // The tree node nearest a scene point within `reach` points, or -1.
  int nodeat(QPointF scenepoint, double reach) const;
  // The scatter point whose marker's centre is nearest a scene point, within
  // the marker's radius and `reach` points more; -1 for none.
  int pointat(QPointF scenepoint, double reach) const;

 signals:
  void selectionchanged(int row, int node);
  void hovered(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void click(QPointF scenepoint);

  drawing::Scene scene_;
  double zoom_ = 1;
  QPointF offset_;
  bool fitted_ = false;
  QPointF press_;
  QPointF pressoffset_;
  bool dragging_ = false;
  bool pressed_ = false;
  int row_ = -1;
  int node_ = -1;
};

}  // namespace lorvane
