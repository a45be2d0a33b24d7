#include "results/scenepainter.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <cmath>

namespace lorvane {

QColor qcolour(const drawing::Colour& c) { return QColor(c.r, c.g, c.b, c.a); }

namespace {

struct ItemPainter {
  QPainter& p;

  void operator()(const drawing::Line& line) const {
    if (line.points.size() < 2 || line.colour.a == 0) return;
    QPen pen(qcolour(line.colour), line.width);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPolygonF poly;
    for (const drawing::Point& pt : line.points) poly << QPointF(pt.x, pt.y);
    p.drawPolyline(poly);
  }
  void operator()(const drawing::Rect& r) const {
    p.setPen(r.stroke.a == 0 ? QPen(Qt::NoPen) : QPen(qcolour(r.stroke), r.strokewidth));
    p.setBrush(r.fill.a == 0 ? QBrush(Qt::NoBrush) : QBrush(qcolour(r.fill)));
    // Cells side by side leave no seam between them: filled rectangles
    // without smoothing.
    const bool smooth = p.testRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::Antialiasing, smooth && r.stroke.a != 0);
    p.drawRect(QRectF(r.x, r.y, r.w, r.h));
    p.setRenderHint(QPainter::Antialiasing, smooth);
  }
  void operator()(const drawing::Image& im) const {
    if (im.columns <= 0 || im.rows <= 0) return;
    const QImage image(im.rgba.data(), im.columns, im.rows, im.columns * 4, QImage::Format_RGBA8888);
    const bool smooth = p.testRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRectF(im.x, im.y, im.w, im.h), image);
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  }
  void operator()(const drawing::Text& t) const {
    if (t.text.empty() || t.colour.a == 0) return;
    // Text under a pixel high on the device cannot be read: thousands of
    // tip names of a table zoomed out are left out rather than shaped.
    const QTransform& m = p.worldTransform();
    if (t.size * std::hypot(m.m12(), m.m22()) < 1.0) return;
    // Glyphs at 100 pixels, scaled to the text's size in scene units: the
    // painter's units are the scene's points whatever the device.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(100);
    const QString text = QString::fromStdString(t.text);
    // The same width estimate as the layout, so the anchors match the SVG.
    const double w = drawing::textwidth(t.text, t.size);
    double x = t.x;
    if (t.anchor == drawing::Anchor::Middle) x -= w / 2;
    if (t.anchor == drawing::Anchor::End) x -= w;
    QPainterPath glyphs;
    glyphs.addText(QPointF(0, 0), font, text);
    const double scale = t.size / 100.0;
    QTransform place(scale, 0, 0, scale, x, t.y);
    if (t.rotation != 0) {
      // Turned about the anchor point: the offset runs along the baseline.
      place = QTransform();
      place.translate(t.x, t.y);
      place.rotate(t.rotation);
      place.translate(x - t.x, 0);
      place.scale(scale, scale);
    }
    p.fillPath(place.map(glyphs), qcolour(t.colour));
  }
  void operator()(const drawing::Circle& c) const {
    p.setPen(c.stroke.a == 0 ? QPen(Qt::NoPen) : QPen(qcolour(c.stroke), c.strokewidth));
    p.setBrush(c.fill.a == 0 ? QBrush(Qt::NoBrush) : QBrush(qcolour(c.fill)));
    p.drawEllipse(QPointF(c.centre.x, c.centre.y), c.radius, c.radius);
  }
  void operator()(const drawing::Begin&) const {}
  void operator()(const drawing::End&) const {}
};

}  // namespace

void paintscene(QPainter& painter, const drawing::Scene& scene, bool background) {
  painter.save();
  if (background && scene.background.a != 0)
    painter.fillRect(QRectF(0, 0, scene.width, scene.height), qcolour(scene.background));
  const ItemPainter draw{painter};
  for (const drawing::Item& item : scene.items) std::visit(draw, item);
  painter.restore();
}

}  // namespace lorvane
