#pragma once
// The scene of a result drawn with QPainter: the same items, in the same
// order and at the same places as the SVG text of the engine, so that the
// screen, PNG and PDF pictures match the SVG file.
#include <QColor>

#include "drawing/scene.h"

class QPainter;

namespace lorvane {

QColor qcolour(const drawing::Colour& c);
// Every item of the scene, in scene coordinates (points) on the painter's
// current transform; the background too when `background`.
void paintscene(QPainter& painter, const drawing::Scene& scene, bool background = true);

}  // namespace lorvane
