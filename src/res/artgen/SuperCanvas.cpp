#include "res/artgen/SuperCanvas.h"

#include <algorithm>

namespace artgen {

SuperCanvas::SuperCanvas(int width, int height, double unit, QRgb background)
    : m_big(width * kFactor, height * kFactor, QImage::Format_ARGB32_Premultiplied)
    , m_unit(unit)
{
    m_big.fill(qPremultiply(background));
}

void SuperCanvas::Begin(QPainter& painter)
{
    painter.begin(&m_big);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(kFactor * m_unit, kFactor * m_unit);
}

QImage SuperCanvas::NewLayer() const
{
    QImage layer(m_big.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(0);
    return layer;
}

void SuperCanvas::BeginLayer(QPainter& painter, QImage& layer) const
{
    painter.begin(&layer);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(kFactor * m_unit, kFactor * m_unit);
}

void SuperCanvas::Lay(const QImage& layer)
{
    // Layers hold only fully opaque or fully clear samples, so this is an
    // exact copy of the opaque ones.
    QPainter p(&m_big);
    p.drawImage(0, 0, layer);
}

QImage SuperCanvas::Resolve() const
{
    const int w = m_big.width() / kFactor;
    const int h = m_big.height() / kFactor;
    constexpr int n = kFactor * kFactor;
    QImage out(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            int a = 0, r = 0, g = 0, b = 0;
            for (int sy = 0; sy < kFactor; ++sy) {
                const auto* src = reinterpret_cast<const QRgb*>(m_big.constScanLine(y * kFactor + sy)) + x * kFactor;
                for (int sx = 0; sx < kFactor; ++sx) {
                    a += qAlpha(src[sx]);
                    r += qRed(src[sx]);
                    g += qGreen(src[sx]);
                    b += qBlue(src[sx]);
                }
            }
            if (a == 0) {
                dst[x] = 0;
                continue;
            }
            // The sums are premultiplied; dividing by the alpha sum undoes that.
            auto un = [a](int c) { return std::min(255, (c * 255 + a / 2) / a); };
            dst[x] = qRgba(un(r), un(g), un(b), (a + n / 2) / n);
        }
    }
    return out;
}

} // namespace artgen
