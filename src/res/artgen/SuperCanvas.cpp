#include "res/artgen/SuperCanvas.h"

#include <algorithm>
#include <cmath>

namespace artgen {

SuperCanvas::SuperCanvas(int width, int height, double unit, QRgb background, int factor, int bandTop,
                         int bandHeight)
    : m_big(width * factor, (bandHeight > 0 ? bandHeight : height) * factor, QImage::Format_ARGB32_Premultiplied)
    , m_unit(unit)
    , m_factor(factor)
    , m_bandTop(bandTop)
{
    m_big.fill(qPremultiply(background));
}

void SuperCanvas::Prepare(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (m_bandTop)
        painter.translate(0, -m_bandTop * m_factor);
    painter.scale(m_factor * m_unit, m_factor * m_unit);
}

void SuperCanvas::Begin(QPainter& painter)
{
    painter.begin(&m_big);
    Prepare(painter);
}

SuperCanvas::Layer SuperCanvas::NewLayer(const QRectF& bounds) const
{
    // Whole big pixels, a few beyond the bounds for the rasteriser's
    // rounding; the painter is shifted by whole pixels, so every sample lands
    // where it would on a layer of the full size.
    const double s = m_factor * m_unit;
    const int top = m_bandTop * m_factor;
    const QRect big = QRect(QPoint(int(std::floor(bounds.left() * s)) - 2, int(std::floor(bounds.top() * s)) - 2 - top),
                            QPoint(int(std::ceil(bounds.right() * s)) + 2, int(std::ceil(bounds.bottom() * s)) + 2 - top))
                          .intersected(m_big.rect());
    Layer layer{ QImage(big.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied), big.topLeft() };
    layer.image.fill(0);
    return layer;
}

void SuperCanvas::BeginLayer(QPainter& painter, Layer& layer) const
{
    painter.begin(&layer.image);
    if (!layer.origin.isNull())
        painter.translate(-layer.origin.x(), -layer.origin.y());
    Prepare(painter);
}

void SuperCanvas::Lay(const Layer& layer)
{
    // Layers hold only fully opaque or fully clear samples, so this is an
    // exact copy of the opaque ones.
    QPainter p(&m_big);
    p.drawImage(layer.origin, layer.image);
}

QImage SuperCanvas::Resolve() const
{
    const int f = m_factor;
    const int w = m_big.width() / f;
    const int h = m_big.height() / f;
    const int n = f * f;
    // From the sums of a block's premultiplied samples: dividing by the alpha
    // sum undoes the premultiplication.
    auto average = [n](int a, int r, int g, int b) -> QRgb {
        if (a == 0)
            return 0;
        auto un = [a](int c) { return std::min(255, (c * 255 + a / 2) / a); };
        return qRgba(un(r), un(g), un(b), (a + n / 2) / n);
    };
    QImage out(w, h, QImage::Format_ARGB32);
    // Most blocks are one solid colour, often the one before them: those
    // cost a comparison per sample, not the sums and divisions.
    QRgb solid = 0, solidOut = average(0, 0, 0, 0);
    for (int y = 0; y < h; ++y) {
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        const QRgb* rows[kMaxFactor];
        for (int sy = 0; sy < f; ++sy)
            rows[sy] = reinterpret_cast<const QRgb*>(m_big.constScanLine(y * f + sy));
        for (int x = 0; x < w; ++x) {
            const QRgb first = rows[0][x * f];
            bool same = true;
            for (int sy = 0; sy < f && same; ++sy)
                for (int sx = 0; sx < f; ++sx)
                    if (rows[sy][x * f + sx] != first) {
                        same = false;
                        break;
                    }
            if (same) {
                if (first != solid) {
                    solid = first;
                    solidOut = average(n * qAlpha(first), n * qRed(first), n * qGreen(first), n * qBlue(first));
                }
                dst[x] = solidOut;
                continue;
            }
            int a = 0, r = 0, g = 0, b = 0;
            for (int sy = 0; sy < f; ++sy) {
                const QRgb* src = rows[sy] + x * f;
                for (int sx = 0; sx < f; ++sx) {
                    a += qAlpha(src[sx]);
                    r += qRed(src[sx]);
                    g += qGreen(src[sx]);
                    b += qBlue(src[sx]);
                }
            }
            dst[x] = average(a, r, g, b);
        }
    }
    return out;
}

int SuperFactorForScale(int scale)
{
    return scale <= 2 ? SuperCanvas::kMaxFactor : scale == 3 ? 3 : 2;
}

QImage RenderSupersampled(int width, int height, double unit, QRgb background, int factor,
                          const std::function<void(SuperCanvas&)>& draw)
{
    const qsizetype rowBytes = qsizetype(width) * factor * factor * 4;
    const int band = int(std::clamp<qsizetype>(SuperCanvas::kMaxBandBytes / rowBytes, 1, height));
    if (band >= height) {
        SuperCanvas canvas(width, height, unit, background, factor);
        draw(canvas);
        return canvas.Resolve();
    }
    QImage out(width, height, QImage::Format_ARGB32);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (int top = 0; top < height; top += band) {
        SuperCanvas canvas(width, height, unit, background, factor, top, std::min(band, height - top));
        draw(canvas);
        p.drawImage(0, top, canvas.Resolve());
    }
    return out;
}

} // namespace artgen
