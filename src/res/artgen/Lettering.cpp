#include "res/artgen/Lettering.h"

#include "res/artgen/Shapes.h"

#include <QTransform>

namespace artgen {

namespace {

constexpr double kSpacing = 0.42; // between letters, in x-heights

// One glyph in x-height units, baseline at y = 0, x-height at y = -1;
// advance is the width of its centre lines.
QPainterPath Glyph(QChar c, double& advance)
{
    QPainterPath p;
    const QRectF bowl(0, -1, 1, 1);
    switch (c.unicode()) {
    case 'o':
        p.addEllipse(bowl);
        advance = 1;
        break;
    case 'd':
        p.addEllipse(bowl);
        p.moveTo(1, -1.55);
        p.lineTo(1, 0);
        advance = 1;
        break;
    case 'a':
        p.addEllipse(bowl);
        p.moveTo(1, -1);
        p.lineTo(1, 0);
        advance = 1;
        break;
    case 'e':
        p.moveTo(0.02, -0.5);
        p.lineTo(1, -0.5);
        p.arcTo(bowl, 0, 305);
        advance = 1;
        break;
    case 'r':
        p.moveTo(0, 0);
        p.lineTo(0, -1);
        p.moveTo(0, -0.5);
        p.cubicTo(0.05, -0.92, 0.38, -1.04, 0.68, -0.94);
        advance = 0.68;
        break;
    case 'm':
        p.moveTo(0, 0);
        p.lineTo(0, -1);
        p.moveTo(0, -0.6);
        p.cubicTo(0.04, -1.06, 0.62, -1.06, 0.64, -0.6);
        p.lineTo(0.64, 0);
        p.moveTo(0.64, -0.6);
        p.cubicTo(0.68, -1.06, 1.26, -1.06, 1.28, -0.6);
        p.lineTo(1.28, 0);
        advance = 1.28;
        break;
    case 'i':
        p.moveTo(0, 0);
        p.lineTo(0, -1);
        p.moveTo(0, -1.42);
        p.lineTo(0, -1.421);
        advance = 0;
        break;
    case 'l':
        p.moveTo(0, -1.55);
        p.lineTo(0, 0);
        advance = 0;
        break;
    case 'f':
        p.moveTo(0.2, 0);
        p.lineTo(0.2, -1.15);
        p.cubicTo(0.2, -1.52, 0.48, -1.6, 0.72, -1.48);
        p.moveTo(-0.1, -1);
        p.lineTo(0.62, -1);
        advance = 0.62;
        break;
    case 't':
        p.moveTo(0.22, -1.38);
        p.lineTo(0.22, -0.28);
        p.cubicTo(0.22, 0.03, 0.5, 0.04, 0.7, -0.08);
        p.moveTo(-0.08, -1);
        p.lineTo(0.62, -1);
        advance = 0.7;
        break;
    case 's':
        p = Curve({ { 0.8, -0.86 }, { 0.45, -1.0 }, { 0.1, -0.78 }, { 0.42, -0.5 },
                    { 0.82, -0.24 }, { 0.46, 0.0 }, { 0.04, -0.14 } });
        advance = 0.86;
        break;
    case '\'':
        p.moveTo(0.05, -1.62);
        p.lineTo(0, -1.2);
        advance = 0.05;
        break;
    default:
        advance = 0;
        break;
    }
    return p;
}

} // namespace

QPainterPath LetteringPath(const QString& text, QPointF origin, double xHeight)
{
    QPainterPath out;
    double x = 0;
    for (int i = 0; i < text.size(); ++i) {
        double advance = 0;
        const QPainterPath glyph = Glyph(text[i], advance);
        QTransform t;
        t.translate(origin.x() + x * xHeight, origin.y());
        t.scale(xHeight, xHeight);
        out.addPath(t.map(glyph));
        x += advance + kSpacing;
    }
    return out;
}

double LetteringWidth(const QString& text, double xHeight)
{
    double x = 0;
    for (int i = 0; i < text.size(); ++i) {
        double advance = 0;
        Glyph(text[i], advance);
        x += advance + (i + 1 < text.size() ? kSpacing : 0);
    }
    return x * xHeight;
}

} // namespace artgen
