// The application icon (16, 32 and 64 pixels, as one .ico and as PNGs; and
// for the desktop's icon theme at its usual sizes and as a scalable picture) and
// the large mouse pointer shown while the window is maximised, for a
// teacher's pointer to be seen in a shared screen.
#include "res/artgen/ArtGen.h"

#include "res/artgen/ImageFiles.h"
#include "res/artgen/Shapes.h"
#include "res/artgen/SuperCanvas.h"

#include <QBuffer>
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

// Where the icon is drawn: on a canvas of pixels, or as the shapes of a
// scalable picture. The drawing is the same code for both.
class IconSurface
{
public:
    virtual ~IconSurface() = default;
    virtual void Fill(const QPainterPath& path, QRgb colour) = 0;
    virtual void Fill(const QRect& rect, QRgb colour) = 0;
    virtual void Fill(const QRectF& rect, QRgb colour) = 0;
    virtual void FillEllipse(const QPointF& centre, double rx, double ry, QRgb colour) = 0;
};

class PixelSurface final : public IconSurface
{
public:
    explicit PixelSurface(QPainter& p) : m_p(p) { m_p.setPen(Qt::NoPen); }
    void Fill(const QPainterPath& path, QRgb colour) override { m_p.fillPath(path, QColor(colour)); }
    void Fill(const QRect& rect, QRgb colour) override { m_p.fillRect(rect, QColor(colour)); }
    void Fill(const QRectF& rect, QRgb colour) override { m_p.fillRect(rect, QColor(colour)); }
    void FillEllipse(const QPointF& centre, double rx, double ry, QRgb colour) override
    {
        m_p.setBrush(QColor(colour));
        m_p.drawEllipse(centre, rx, ry);
    }

private:
    QPainter& m_p;
};

class SvgSurface final : public IconSurface
{
public:
    void Fill(const QPainterPath& path, QRgb colour) override
    {
        QString d;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            switch (e.type) {
            case QPainterPath::MoveToElement:
                d += QStringLiteral("M%1 %2").arg(Num(e.x), Num(e.y));
                break;
            case QPainterPath::LineToElement:
                d += QStringLiteral("L%1 %2").arg(Num(e.x), Num(e.y));
                break;
            case QPainterPath::CurveToElement: {
                const QPainterPath::Element c2 = path.elementAt(i + 1), to = path.elementAt(i + 2);
                d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                         .arg(Num(e.x), Num(e.y), Num(c2.x), Num(c2.y), Num(to.x), Num(to.y));
                i += 2;
                break;
            }
            case QPainterPath::CurveToDataElement:
                break;
            }
        }
        m_body += QStringLiteral("<path d=\"%1Z\" fill=\"%2\"/>\n").arg(d, Colour(colour));
    }
    void Fill(const QRect& rect, QRgb colour) override { Fill(QRectF(rect), colour); }
    void Fill(const QRectF& r, QRgb colour) override
    {
        m_body += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
                      .arg(Num(r.x()), Num(r.y()), Num(r.width()), Num(r.height()), Colour(colour));
    }
    void FillEllipse(const QPointF& c, double rx, double ry, QRgb colour) override
    {
        m_body += QStringLiteral("<ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\" fill=\"%5\"/>\n")
                      .arg(Num(c.x()), Num(c.y()), Num(rx), Num(ry), Colour(colour));
    }
    QByteArray Document(int size) const
    {
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                              "viewBox=\"0 0 %1 %1\">\n%2</svg>\n")
            .arg(size)
            .arg(m_body)
            .toUtf8();
    }

private:
    static QString Num(double v) { return QString::number(std::round(v * 1000) / 1000, 'g', 10); }
    static QString Colour(QRgb c) { return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')); }
    QString m_body;
};

// A rounded tile, an octave of keys across its lower half with one held
// (the red dot), and a note above them. Key edges are put on whole pixels
// at every size so that the small icon stays crisp.
void DrawAppIcon(IconSurface& out, int size)
{
    const double s = size;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
    out.Fill(tile, kIconBlueEdge);
    QPainterPath inner;
    const double edge = std::max(1.0, s / 32);
    inner.addRoundedRect(QRectF(edge, edge, s - 2 * edge, s - 2 * edge), s * 0.2 - edge, s * 0.2 - edge);
    out.Fill(inner, kIconBlue);

    const int whiteKeys = size <= 16 ? 3 : 4;
    const int left = size / 8, right = size - size / 8;
    const int top = size * 9 / 16, bottom = size - size / 8;
    const int gap = std::max(1, size / 32);
    out.Fill(QRect(left, top, right - left, bottom - top), kIconKeyGap);
    auto keyX = [&](int i) { return left + (right - left) * i / whiteKeys; };
    for (int i = 0; i < whiteKeys; ++i)
        out.Fill(QRect(keyX(i) + gap, top + gap, keyX(i + 1) - keyX(i) - gap - (i + 1 == whiteKeys ? gap : 0),
                       bottom - top - 2 * gap),
                 0xFFFFFFFF);
    const int blackWidth = std::max(2, (keyX(1) - keyX(0)) / 2);
    const int blackBottom = top + (bottom - top) / 2;
    for (int i = 1; i < whiteKeys; ++i)
        out.Fill(QRect(keyX(i) - blackWidth / 2 + gap / 2, top, blackWidth, blackBottom - top), kIconKeyGap);
    const double dotX = (keyX(1) + keyX(2) + gap) / 2.0;
    const double dotY = (blackBottom + bottom - gap) / 2.0;
    out.FillEllipse(QPointF(dotX, dotY), s * 0.06, s * 0.06, kIconDot);

    // An eighth note: head, stem and flag.
    const double rx = s * 0.105, ry = s * 0.078;
    const QPointF headAt(s * 0.40, s * 0.40);
    QPainterPath headPath;
    headPath.addEllipse(QPointF(0, 0), rx, ry);
    QTransform tilt;
    tilt.translate(headAt.x(), headAt.y());
    tilt.rotate(-22);
    out.Fill(tilt.map(headPath), kIconNote);
    const double stemWidth = std::max(1.25, s / 14);
    const double stemRight = headAt.x() + rx * 0.95;
    const double stemTop = s * 0.10;
    out.Fill(QRectF(stemRight - stemWidth, stemTop, stemWidth, headAt.y() - stemTop), kIconNote);
    QPainterPath flag;
    flag.moveTo(stemRight - 0.1, stemTop);
    flag.cubicTo(stemRight + s * 0.04, stemTop + s * 0.08, stemRight + s * 0.20, stemTop + s * 0.10,
                 stemRight + s * 0.13, stemTop + s * 0.27);
    flag.cubicTo(stemRight + s * 0.14, stemTop + s * 0.16, stemRight + s * 0.04, stemTop + s * 0.15,
                 stemRight - 0.1, stemTop + s * 0.14);
    flag.closeSubpath();
    out.Fill(flag, kIconNote);
}

QImage AppIcon(int size)
{
    SuperCanvas canvas(size, size, 1.0, 0);
    QPainter p;
    canvas.Begin(p);
    PixelSurface surface(p);
    DrawAppIcon(surface, size);
    p.end();
    return canvas.Resolve();
}

// The arrow, in units of the 32-pixel pointer, tip at the origin.
const QPointF kArrow[] = {
    { 0, 0 }, { 0, 26 }, { 6.2, 20.2 }, { 10.4, 29.6 }, { 15.6, 27.4 }, { 11.4, 18.2 }, { 19.6, 18.2 },
};

// The arrow's outline moved inwards by inset: each edge shifted along its
// inner normal, corners where the shifted edges meet.
QPolygonF Inset(double inset)
{
    const int n = int(std::size(kArrow));
    double area = 0;
    for (int i = 0; i < n; ++i)
        area += kArrow[i].x() * kArrow[(i + 1) % n].y() - kArrow[(i + 1) % n].x() * kArrow[i].y();
    const double inward = area > 0 ? 1 : -1; // y points down
    auto shifted = [&](int i, QPointF& a, QPointF& d) {
        a = kArrow[i];
        d = kArrow[(i + 1) % n] - a;
        const double len = std::hypot(d.x(), d.y());
        a += QPointF(-d.y(), d.x()) / len * (inset * inward);
    };
    QPolygonF out;
    for (int i = 0; i < n; ++i) {
        QPointF a1, d1, a2, d2;
        shifted((i + n - 1) % n, a1, d1);
        shifted(i, a2, d2);
        const double den = d1.x() * d2.y() - d1.y() * d2.x();
        const double t = ((a2.x() - a1.x()) * d2.y() - (a2.y() - a1.y()) * d2.x()) / den;
        out << a1 + d1 * t;
    }
    return out;
}

// A bold white arrow with a black outline; its hot spot is the tip, pixel
// (0, 0) at both sizes.
QImage LargeArrow(int size)
{
    SuperCanvas canvas(size, size, size / 32.0, 0);
    QPainter p;
    canvas.Begin(p);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF(std::begin(kArrow), std::end(kArrow)).constData(), int(std::size(kArrow)));
    p.setBrush(Qt::white);
    p.drawPolygon(Inset(2.0));
    p.end();
    return canvas.Resolve();
}

} // namespace

std::vector<ArtFile> MakeIconArt()
{
    std::vector<ArtFile> files;
    std::vector<QImage> icons;
    for (int size : { 16, 32, 64 }) {
        icons.push_back(AppIcon(size));
        files.push_back({ QStringLiteral("kelvora-%1.png").arg(size), EncodePng(icons.back()) });
    }
    files.push_back({ QStringLiteral("kelvora.ico"), EncodeIco(icons) });
    for (int size : { 32, 64 })
        files.push_back({ QStringLiteral("178-%1.png").arg(size), EncodePng(LargeArrow(size)) });
    return files;
}

std::vector<ArtFile> MakeDesktopIcons()
{
    std::vector<ArtFile> files;
    for (int size : kDesktopIconSizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        AppIcon(size).save(&buffer, "PNG", 0); // installed, not committed: compressed
        files.push_back({ QStringLiteral("icon-%1.png").arg(size), png });
    }
    SvgSurface svg;
    DrawAppIcon(svg, 256);
    files.push_back({ QStringLiteral("icon.svg"), svg.Document(256) });
    return files;
}

} // namespace artgen
