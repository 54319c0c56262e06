#include "gfx/CDibPicture.h"

#include "gfx/CDib.h"

#include <QPainter>

CDibPicture::CDibPicture() = default;
CDibPicture::~CDibPicture() = default;

template <typename Loader>
bool CDibPicture::LoadWith(Loader load)
{
    Free();
    auto dib = std::make_unique<CDib>();
    if (!load(*dib))
        return false;
    m_pDib = std::move(dib);
    return true;
}

bool CDibPicture::LoadBitmap(unsigned id)
{
    return LoadWith([id](CDib& dib) { return dib.LoadFromResource(id); });
}

bool CDibPicture::LoadBitmap(const QByteArray& bmpFileBytes)
{
    return LoadWith([&bmpFileBytes](CDib& dib) { return dib.LoadFromFileImage(bmpFileBytes); });
}

bool CDibPicture::Free()
{
    m_pDib.reset();
    return true;
}

bool CDibPicture::IsEmpty() const
{
    return !m_pDib;
}

QSize CDibPicture::GetSize() const
{
    return m_pDib ? m_pDib->GetSize() : QSize(0, 0);
}

void CDibPicture::Draw(QPainter& dc, const QRect& dest, const QRect& source) const
{
    if (!m_pDib)
        return;
    const QImage& image = m_pDib->GetImage();
    if (image.isNull())
        return;

    // The picture is first made at its own size, or stretched to dest's size,
    // and then only source's size of it is copied; never more than was made.
    const bool natural = dest.size() == image.size();
    const QSize made = natural ? image.size() : dest.size();
    const QSize copy = source.size().boundedTo(made);
    if (made.isEmpty() || copy.isEmpty())
        return;

    if (natural) {
        dc.drawImage(dest.topLeft(), image, QRect(QPoint(0, 0), copy));
    } else if (copy == made) {
        dc.drawImage(dest, image);
    } else {
        dc.save();
        dc.setClipRect(QRect(dest.topLeft(), copy), Qt::IntersectClip);
        dc.drawImage(dest, image);
        dc.restore();
    }
}

QPixmap CDibPicture::GetBitmapHandle() const
{
    if (!m_pDib)
        return QPixmap();
    const QImage image = m_pDib->CreateDeviceImage();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

uint16_t CDibPicture::GetPixelIndex(int x, int y) const
{
    return m_pDib ? m_pDib->GetPixelIndex(x, y) : 0;
}

uint16_t CDibPicture::GetNearestIndex(QRgb colour) const
{
    return m_pDib ? m_pDib->GetNearestIndex(colour) : 0;
}
