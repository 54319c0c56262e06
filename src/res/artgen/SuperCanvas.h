#pragma once
// Drawing surface for the artwork. Everything is drawn without antialiasing
// at several times the target size and then averaged down. That gives the
// smooth edges of antialiasing, but the result is plain integer arithmetic
// on solid fills, so it is the same on every machine and CPU and the
// committed files can be checked byte for byte.
#include <QImage>
#include <QPainter>
#include <QRgb>

#include <functional>

namespace artgen {

class SuperCanvas
{
public:
    // The committed pictures (scales 1 and 2) are drawn at 4x4.
    static constexpr int kMaxFactor = 4;
    // The most a big image of RenderSupersampled takes.
    static constexpr qsizetype kMaxBandBytes = qsizetype(32) << 20;

    // unit: target pixels per drawing unit (2 draws the same design at twice
    // the size). background may be transparent (0). The canvas may hold only
    // a band of the picture: target rows bandTop .. bandTop + bandHeight - 1
    // of a picture height rows tall (bandHeight 0: all of it).
    SuperCanvas(int width, int height, double unit, QRgb background, int factor = 4,
                int bandTop = 0, int bandHeight = 0);

    // A painter on the big image in drawing units; finish it before Resolve.
    void Begin(QPainter& painter);
    // An empty transparent layer covering bounds (drawing units) of the big
    // image, for pieces that are built up alone and then laid on with Lay.
    // Only the pieces' bounds, so that a layer costs little beside the big
    // image.
    struct Layer {
        QImage image;
        QPoint origin; // of the layer in the big image
    };
    Layer NewLayer(const QRectF& bounds) const;
    void BeginLayer(QPainter& painter, Layer& layer) const;
    void Lay(const Layer& layer);

    // The target-size picture (or band), non-premultiplied ARGB.
    QImage Resolve() const;

    double Unit() const { return m_unit; }
    int Factor() const { return m_factor; }

private:
    void Prepare(QPainter& painter) const;

    QImage m_big;
    double m_unit;
    int m_factor;
    int m_bandTop;
};

// Supersampling for a picture drawn at scale: 4x4 for the committed scales,
// less above them so that the time on the program's UI thread stays short.
int SuperFactorForScale(int scale);

// A width x height picture drawn by draw on canvases of factor, band by band
// so that no big image is over kMaxBandBytes (and a layer, cut to its part's
// bounds, is no bigger): the program draws the large scales at run time. draw
// is called once per band and must draw the same each time.
QImage RenderSupersampled(int width, int height, double unit, QRgb background, int factor,
                          const std::function<void(SuperCanvas&)>& draw);

} // namespace artgen
