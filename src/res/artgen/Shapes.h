#pragma once
// Building blocks for the vector artwork: rounded limbs, smooth outlines,
// and "parts" drawn with a dark outline, a fill and a rim of shade.
#include <QPainterPath>
#include <QPointF>
#include <QRgb>
#include <QTransform>

#include <vector>

namespace artgen {

class SuperCanvas;

// A limb from a (radius ra) to b (radius rb): two circles and their outer
// tangents. Polygons throughout, so that every piece winds the same way.
QPainterPath Capsule(QPointF a, QPointF b, double ra, double rb);
QPainterPath Circle(QPointF centre, double radius);
// A smooth closed curve through the points (Catmull-Rom).
QPainterPath Blob(const std::vector<QPointF>& points);
// An open smooth curve through the points, for creases and letters.
QPainterPath Curve(const std::vector<QPointF>& points);

// One piece of a figure. Its silhouette is the union of its shapes; it is
// outlined in ink, filled, shaded along the edges turned away from the
// light, and its creases are drawn inside it only.
struct Part {
    std::vector<QPainterPath> shapes;
    std::vector<QPainterPath> creases;
    std::vector<QPainterPath> highlights; // filled with the light colour, inside only
    QRgb fill = 0;
    QRgb shade = 0;
    QRgb light = 0;

    Part& Add(const QPainterPath& shape) { shapes.push_back(shape); return *this; }
    Part& Crease(const QPainterPath& line) { creases.push_back(line); return *this; }
    // Everything mapped through t (shapes, creases, highlights).
    Part Mapped(const QTransform& t) const;
};

struct PartStyle {
    double outline = 2.2;       // width of the ink seen outside the silhouette
    double crease = 1.5;        // width of inner lines
    QPointF lightOffset{ -2.6, -2.4 }; // the lit copy's shift; shade shows opposite
    QRgb ink = 0;
};

// Draws the parts back to front.
void DrawParts(SuperCanvas& canvas, const std::vector<Part>& parts, const PartStyle& style);

} // namespace artgen
