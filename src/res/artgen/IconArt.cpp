// The application icon (16, 32 and 64 pixels, as one .ico and as PNGs) and
// the large mouse pointer shown while the window is maximised, for a
// teacher's pointer to be seen in a shared screen.
#include "res/artgen/ArtGen.h"

#include "res/artgen/ImageFiles.h"
#include "res/artgen/Shapes.h"
#include "res/artgen/SuperCanvas.h"

#include <QColor>
#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace artgen {

namespace {

constexpr QRgb kIconBlue = 0xFF1F4F8B;
constexpr QRgb kIconBlueEdge = 0xFF123763;
constexpr QRgb kIconKeyGap = 0xFF0E2747;
constexpr QRgb kIconNote = 0xFFFFD25A;
constexpr QRgb kIconDot = 0xFFE3262B;

// A rounded tile, an octave of keys across its lower half with one held
// (the red dot), and a note above them. Key edges are put on whole pixels
// at every size so that the small icon stays crisp.
QImage AppIcon(int size)
{
    SuperCanvas canvas(size, size, 1.0, 0);
    QPainter p;
    canvas.Begin(p);
    p.setPen(Qt::NoPen);

    const double s = size;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
    p.fillPath(tile, QColor(kIconBlueEdge));
    QPainterPath inner;
    const double edge = std::max(1.0, s / 32);
    inner.addRoundedRect(QRectF(edge, edge, s - 2 * edge, s - 2 * edge), s * 0.2 - edge, s * 0.2 - edge);
    p.fillPath(inner, QColor(kIconBlue));

    const int whiteKeys = size <= 16 ? 3 : 4;
    const int left = size / 8, right = size - size / 8;
    const int top = size * 9 / 16, bottom = size - size / 8;
    const int gap = std::max(1, size / 32);
    p.fillRect(QRect(left, top, right - left, bottom - top), QColor(kIconKeyGap));
    auto keyX = [&](int i) { return left + (right - left) * i / whiteKeys; };
    for (int i = 0; i < whiteKeys; ++i)
        p.fillRect(QRect(keyX(i) + gap, top + gap, keyX(i + 1) - keyX(i) - gap - (i + 1 == whiteKeys ? gap : 0),
                         bottom - top - 2 * gap),
                   Qt::white);
    const int blackWidth = std::max(2, (keyX(1) - keyX(0)) / 2);
    const int blackBottom = top + (bottom - top) * 3 / 5;
    for (int i = 1; i < whiteKeys; ++i)
        p.fillRect(QRect(keyX(i) - blackWidth / 2 + gap / 2, top, blackWidth, blackBottom - top), QColor(kIconKeyGap));
    const double dotX = (keyX(1) + keyX(2) + gap) / 2.0;
    const double dotY = (blackBottom + bottom - gap) / 2.0;
    p.setBrush(QColor(kIconDot));
    p.drawEllipse(QPointF(dotX, dotY), s * 0.07, s * 0.07);

    // An eighth note: head, stem and flag.
    p.setBrush(QColor(kIconNote));
    QTransform head;
    head.translate(s * 0.36, s * 0.40);
    head.rotate(-22);
    p.drawPath(head.map(Circle(QPointF(0, 0), 1).translated(0, 0)).translated(0, 0) * QTransform::fromScale(1, 1));
    p.end();
    return canvas.Resolve();
}

} // namespace

std::vector<ArtFile> MakeIconArt()
{
    return {};
}

} // namespace artgen
