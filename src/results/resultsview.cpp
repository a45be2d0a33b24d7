#include "results/resultsview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "results/scenepainter.h"

namespace lorvane {

ResultsView::ResultsView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(200, 150);
}

void ResultsView::setscene(drawing::Scene scene) {
  scene_ = std::move(scene);
  const int rows = static_cast<int>(scene_.geometry.tips.size());
  if (row_ >= rows) row_ = -1;
  if (node_ >= static_cast<int>(scene_.geometry.nodes.size())) node_ = -1;
  if (!fitted_) fit();
  update();
}

void ResultsView::fit() {
  if (scene_.width <= 0 || scene_.height <= 0 || width() <= 0) return;
  fitted_ = true;
  zoom_ = std::min((width() - 8) / scene_.width, (height() - 8) / scene_.height);
  if (zoom_ <= 0) zoom_ = 1;
  offset_ = QPointF((width() - scene_.width * zoom_) / 2, (height() - scene_.height * zoom_) / 2);
  update();
}

void ResultsView::showat(double zoom, QPointF topleft) {
  fitted_ = true;
  zoom_ = std::clamp(zoom, 1e-3, 400.0);
  offset_ = -topleft * zoom_;
  update();
}

void ResultsView::zoomby(double factor, QPointF at) {
  const QPointF fixed = toscene(at);
  zoom_ = std::clamp(zoom_ * factor, 1e-3, 400.0);
  offset_ = at - fixed * zoom_;
  update();
}

void ResultsView::select(int row, int node) {
  row_ = row;
  node_ = node;
  update();
  emit selectionchanged(row_, node_);
}

bool ResultsView::cellat(QPointF p, int& row, int& column) const {
  const drawing::Geometry& g = scene_.geometry;
  if (g.mapw <= 0 || g.cellwidth <= 0 || g.rowheight <= 0) return false;
  if (p.x() < g.mapx || p.y() < g.mapy || p.x() >= g.mapx + g.mapw || p.y() >= g.mapy + g.maph) return false;
  const int n = static_cast<int>(g.tips.size());
  row = std::min(n - 1, static_cast<int>((p.y() - g.mapy) / g.rowheight));
  column = std::min(n - 1, static_cast<int>((p.x() - g.mapx) / g.cellwidth));
  return row >= 0 && column >= 0;
}

int ResultsView::rowat(QPointF p) const {
  const drawing::Geometry& g = scene_.geometry;
  if (g.rowheight <= 0 || p.y() < g.top) return -1;
  const int row = static_cast<int>((p.y() - g.top) / g.rowheight);
  return row < static_cast<int>(g.tips.size()) ? row : -1;
}

namespace {

// The index of the nearest of `points` within `reach` of p, or -1.
int nearest(const std::vector<drawing::Point>& points, QPointF p, double reach) {
  int best = -1;
  double bestd = reach * reach;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const double dx = points[k].x - p.x(), dy = points[k].y - p.y();
    const double d = dx * dx + dy * dy;
    if (d <= bestd) bestd = d, best = static_cast<int>(k);
  }
  return best;
}

}  // namespace

int ResultsView::nodeat(QPointF p, double reach) const { return nearest(scene_.geometry.nodes, p, reach); }

int ResultsView::pointat(QPointF p, double reach) const {
  return nearest(scene_.geometry.points, p, scene_.geometry.radius + reach);
}

void ResultsView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0xd8, 0xd8, 0xd8));
  p.translate(offset_);
  p.scale(zoom_, zoom_);
  p.setRenderHint(QPainter::Antialiasing, true);
  paintscene(p, scene_);
  const drawing::Geometry& g = scene_.geometry;
  const QColor mark(255, 64, 32, 90);
  if (row_ >= 0 && g.rowheight > 0) {
    const double y = g.top + row_ * g.rowheight;
    p.fillRect(QRectF(0, y, scene_.width, g.rowheight), mark);
    if (g.cellwidth > 0) p.fillRect(QRectF(g.mapx + row_ * g.cellwidth, g.mapy, g.cellwidth, g.maph), mark);
  }
  if (node_ >= 0 && node_ < static_cast<int>(g.nodes.size())) {
    p.setPen(QPen(QColor(220, 30, 30), 1.5 / zoom_));
    p.setBrush(Qt::NoBrush);
    const double r = 5 / zoom_;
    p.drawEllipse(QPointF(g.nodes[static_cast<std::size_t>(node_)].x, g.nodes[static_cast<std::size_t>(node_)].y), r, r);
  }
}

void ResultsView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps != 0) zoomby(std::pow(1.25, steps), event->position());
  event->accept();
}

void ResultsView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
  dragging_ = false;
  press_ = event->position();
  pressoffset_ = offset_;
}

void ResultsView::mouseMoveEvent(QMouseEvent* event) {
  if (pressed_) {
    const QPointF moved = event->position() - press_;
    if (dragging_ || moved.manhattanLength() > 4) {
      dragging_ = true;
      offset_ = pressoffset_ + moved;
      update();
    }
    return;
  }
  int row = 0, column = 0, point = -1;
  const QPointF at = toscene(event->position());
  QString text;
  if (describecell && cellat(at, row, column)) text = describecell(row, column);
  else if (describepoint && (point = pointat(at, 3 / zoom_)) >= 0) text = describepoint(point);
  if (!text.isEmpty()) {
    emit hovered(text);
    QToolTip::showText(event->globalPosition().toPoint(), text, this);
  } else {
    emit hovered(QString());
    QToolTip::hideText();
  }
}

void ResultsView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (!dragging_) click(toscene(event->position()));
  dragging_ = false;
}

void ResultsView::click(QPointF p) {
  int row = -1, column = -1;
  if (cellat(p, row, column)) {
    select(row, node_);
    return;
  }
  const int node = nodeat(p, 6 / zoom_ + 2);
  const drawing::Geometry& g = scene_.geometry;
  if (node >= 0 && (g.mapw <= 0 || p.x() < g.mapx)) {
    select(row_, node);
    return;
  }
  select(rowat(p), node_);
}

void ResultsView::keyPressEvent(QKeyEvent* event) {
  const QPointF centre(width() / 2.0, height() / 2.0);
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      zoomby(1.25, centre);
      break;
    case Qt::Key_Minus:
      zoomby(0.8, centre);
      break;
    case Qt::Key_0:
      fit();
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void ResultsView::resizeEvent(QResizeEvent*) {
  if (!fitted_) fit();
}

}  // namespace lorvane
