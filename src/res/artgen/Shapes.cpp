#include "res/artgen/Shapes.h"

#include "res/artgen/SuperCanvas.h"

#include <QColor>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace artgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kArcSteps = 40; // per half turn; far below a pixel at our sizes

QPointF Unit(double angle)
{
    return QPointF(std::cos(angle), std::sin(angle));
}

// The Bezier segment from p1 to p2 of the Catmull-Rom spline through p0..p3.
void CatmullRom(QPainterPath& path, QPointF p0, QPointF p1, QPointF p2, QPointF p3)
{
    path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
}

} // namespace

QPainterPath Capsule(QPointF a, QPointF b, double ra, double rb)
{
    const QPointF d = b - a;
    const double len = std::hypot(d.x(), d.y());
    if (len <= std::abs(ra - rb) + 1e-6) // one circle holds the other
        return Circle(ra >= rb ? a : b, std::max(ra, rb));
    const double dir = std::atan2(d.y(), d.x());
    // Angle, from the axis, of the tangent points: a right angle for equal
    // radii, more towards the small end's side when the limb tapers.
    const double side = std::acos((ra - rb) / len);
    QPolygonF poly;
    for (int i = 0; i <= kArcSteps; ++i) // round the b end
        poly << b + rb * Unit(dir - side + 2 * side * i / kArcSteps);
    const double back = 2 * (kPi - side);
    for (int i = 0; i <= kArcSteps; ++i) // round the a end
        poly << a + ra * Unit(dir + side + back * i / kArcSteps);
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

QPainterPath Circle(QPointF centre, double radius)
{
    QPolygonF poly;
    for (int i = 0; i < 2 * kArcSteps; ++i)
        poly << centre + radius * Unit(kPi * i / kArcSteps);
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

QPainterPath Blob(const std::vector<QPointF>& points)
{
    QPainterPath path;
    const size_t n = points.size();
    if (n < 3)
        return path;
    path.moveTo(points[0]);
    for (size_t i = 0; i < n; ++i)
        CatmullRom(path, points[(i + n - 1) % n], points[i], points[(i + 1) % n], points[(i + 2) % n]);
    path.closeSubpath();
    return path;
}

QPainterPath Curve(const std::vector<QPointF>& points)
{
    QPainterPath path;
    const size_t n = points.size();
    if (n < 2)
        return path;
    path.moveTo(points[0]);
    for (size_t i = 0; i + 1 < n; ++i)
        CatmullRom(path, points[i ? i - 1 : 0], points[i], points[i + 1], points[std::min(i + 2, n - 1)]);
    return path;
}

Part Part::Mapped(const QTransform& t) const
{
    Part out = *this;
    for (auto& s : out.shapes)
        s = t.map(s);
    for (auto& c : out.creases)
        c = t.map(c);
    for (auto& h : out.highlights)
        h = t.map(h);
    return out;
}

void DrawParts(SuperCanvas& canvas, const std::vector<Part>& parts, const PartStyle& style)
{
    for (const Part& part : parts) {
        {
            QPainter p;
            canvas.Begin(p);
            QPen pen{ QColor(style.ink) };
            pen.setWidthF(2 * style.outline);
            pen.setJoinStyle(Qt::RoundJoin);
            pen.setCapStyle(Qt::RoundCap);
            for (const QPainterPath& s : part.shapes)
                p.strokePath(s, pen);
            p.end();
        }
        QRectF bounds;
        for (const QPainterPath& s : part.shapes)
            bounds |= s.boundingRect();
        SuperCanvas::Layer layer = canvas.NewLayer(bounds);
        {
            QPainter p;
            canvas.BeginLayer(p, layer);
            for (const QPainterPath& s : part.shapes)
                p.fillPath(s, QColor(part.shade));
            // Everything else stays inside the silhouette.
            p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            for (const QPainterPath& s : part.shapes)
                p.fillPath(s.translated(style.lightOffset), QColor(part.fill));
            for (const QPainterPath& h : part.highlights)
                p.fillPath(h, QColor(part.light));
            QPen pen{ QColor(style.ink) };
            pen.setWidthF(style.crease);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            for (const QPainterPath& c : part.creases)
                p.strokePath(c, pen);
            p.end();
        }
        canvas.Lay(layer);
    }
}

} // namespace artgen
