#pragma once
// Drawing surface for the artwork. Everything is drawn without antialiasing
// at four times the target size and then averaged down 4x4. That gives the
// smooth edges of antialiasing, but the result is plain integer arithmetic
// on solid fills, so it is the same on every machine and CPU and the
// committed files can be checked byte for byte.
#include <QImage>
#include <QPainter>
#include <QRgb>

namespace artgen {

class SuperCanvas
{
public:
    static constexpr int kFactor = 4;

    // unit: target pixels per drawing unit (2 draws the same design at twice
    // the size). background may be transparent (0).
    SuperCanvas(int width, int height, double unit, QRgb background);

    // A painter on the big image in drawing units; finish it before Resolve.
    void Begin(QPainter& painter);
    // An empty transparent layer of the big image's size, for pieces that
    // are built up alone and then laid on with Lay.
    QImage NewLayer() const;
    void BeginLayer(QPainter& painter, QImage& layer) const;
    void Lay(const QImage& layer);

    // The target-size picture, non-premultiplied ARGB.
    QImage Resolve() const;

    double Unit() const { return m_unit; }

private:
    QImage m_big;
    double m_unit;
};

} // namespace artgen
