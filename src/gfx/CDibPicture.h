#pragma once
// CDibPicture: the holder the view keeps for each picture it shows. It owns at
// most one CDib and offers what the view needs: load by bitmap id, size, draw
// into a rectangle, a pixmap for a label, and the palette index under a point
// of a colour-coded key map.
#include <QByteArray>
#include <QPixmap>
#include <QRect>
#include <QRgb>
#include <QSize>

#include <cstdint>
#include <memory>

class CDib;
class QPainter;

class CDibPicture
{
public:
    CDibPicture();
    virtual ~CDibPicture();
    CDibPicture(const CDibPicture&) = delete;
    CDibPicture& operator=(const CDibPicture&) = delete;

    // Frees the held picture first; on failure the picture stays empty.
    bool LoadBitmap(unsigned id);
    // The same from the bytes of a .bmp file.
    bool LoadBitmap(const QByteArray& bmpFileBytes);

    bool Free();
    bool IsEmpty() const;
    QSize GetSize() const;

    // Draws the picture into dest: copied 1:1 when dest has the picture's
    // size, stretched to dest otherwise. Only source's size is used, as the
    // size of what is finally copied to dest's top-left corner. An empty
    // picture draws nothing.
    void Draw(QPainter& dc, const QRect& dest, const QRect& source) const;

    // A new pixmap of the picture for a label (black and white for a 1-bit
    // picture); null when empty.
    QPixmap GetBitmapHandle() const;

    // Palette index of the pixel at (x, y); 0 when there is none or the point
    // is outside the picture.
    uint16_t GetPixelIndex(int x, int y) const;
    // Nearest palette index of a colour; 0 without a palette.
    uint16_t GetNearestIndex(QRgb colour) const;

    // The held DIB, null when empty.
    const CDib* GetDib() const { return m_pDib.get(); }

private:
    template <typename Loader>
    bool LoadWith(Loader load);

    std::unique_ptr<CDib> m_pDib;
};
