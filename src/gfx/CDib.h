#pragma once
// CDib: one device-independent bitmap, held as a complete BMP file image in a
// single block (file header, info header, colour table, pixel rows), exactly as
// it would lie on disk. Everything the program shows comes through here, so the
// block is checked once when it is taken in and every later read trusts those
// checks.
#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

class QDataStream;
class QPainter;

class CDib
{
public:
    // Limits of what we take in. Every picture of the program is far below
    // them; they keep a hostile header from asking for gigabytes.
    static constexpr int kMaxDimension = 65535;
    static constexpr int64_t kMaxPixels = int64_t(1) << 25;
    static constexpr uint32_t kMaxBlockSize = 64u * 1024u * 1024u;
    // First word of the stored form; the bytes "B" then "A".
    static constexpr uint16_t kStoreMarker = 0x4142;

    CDib();
    ~CDib();
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;

    // ":/res/bitmaps/<id>.bmp" from the program's artwork.
    bool LoadFromResource(unsigned id);
    // The same by name ("301" or "toolbar-new" style, without ".bmp");
    // an empty name fails at once.
    bool LoadFromResource(const QString& name);
    // A whole .bmp file.
    bool LoadFromFileImage(const QByteArray& bmpFile);
    // A packed DIB: info header, colour table and rows without the file
    // header. The header is made here, with the rows right after the table.
    bool LoadFromPackedDib(const QByteArray& packedDib);
    // One image of an icon: a packed DIB whose biHeight counts two halves,
    // the colour rows and after them the rows of a 1-bit AND mask of the same
    // width (a set bit lets what is beneath show through). The colour half
    // becomes the DIB, its header saying the true height; the mask stays in
    // the block behind the rows. Either half cut short loads nothing.
    bool LoadFromIconImage(const QByteArray& iconImage);

    // Stored form: 16-bit marker 0x4142, 32-bit block size, the block; all
    // little-endian whatever the stream's own byte order. Loading anything but
    // a valid block leaves the object empty, returns false and marks the
    // stream's status as corrupt (a zero size is not corrupt, just nothing).
    bool Serialize(QDataStream& ar, bool bStoring);

    void Free();
    bool IsEmpty() const { return m_block.isEmpty(); }

    // Natural size with the top-left corner at (x, y).
    bool Draw(QPainter& dc, int x, int y) const;
    // Scaled into (x, y, cx, cy).
    bool StretchDraw(QPainter& dc, int x, int y, int cx, int cy) const;

    // The picture as an image for a label. A 1-bit DIB gives a monochrome
    // image whose bits are the pixel indices (colour table black, white),
    // whatever two colours the DIB's own table holds; that table is left as it
    // is. Null when empty.
    QImage CreateDeviceImage() const;
    // An icon image with its transparency, Format_ARGB32: a 32-bit image
    // whose fourth bytes are not all 0 takes them as alpha; any other is
    // opaque but where its mask bit is set. Null unless the DIB came from
    // LoadFromIconImage.
    QImage CreateIconImage() const;

    // biWidth and biHeight as stored (negative height: top-down), 0, 0 when empty.
    void GetDimensions(int32_t& width, int32_t& height) const;
    // Width and height in pixels, (0, 0) when empty.
    QSize GetSize() const;

    // biClrUsed when set, else 2, 16 or 256 for 1, 4 or 8 bits, else 0.
    uint16_t NumColors() const { return m_nNumColors; }
    uint32_t GetBitCount() const { return m_nBitCount; }
    // Colour-table entries 0 and 1 of a 1-bit DIB; other depths: false and
    // nothing done.
    bool GetMonoColors(QRgb& first, QRgb& second) const;
    void SetMonoColors(QRgb first, QRgb second);
    // The colour table as colours; empty when the DIB has none.
    const std::vector<QRgb>& GetPalette() const { return m_palette; }
    // The whole BMP file image (empty when nothing is held).
    const QByteArray& GetBlock() const { return m_block; }

    // Colour of the pixel at (x, y), y counted from the top as shown.
    // False outside the picture.
    bool GetPixelColor(int x, int y, QRgb& colour) const;
    // Palette index nearest to the colour of the pixel at (x, y); 0 when the
    // DIB is empty, has no palette, or the point lies outside. Reads the one
    // pixel from the rows, nothing is rendered.
    uint16_t GetPixelIndex(int x, int y) const;
    // Index of the palette entry nearest to colour (the first of equals);
    // 0 without a palette.
    uint16_t GetNearestIndex(QRgb colour) const;

    // The decoded picture in a format QPainter copies fastest, built on first
    // use and kept until the DIB changes. Null when empty or when memory runs
    // out.
    const QImage& GetImage() const;

private:
    bool Adopt(QByteArray block, bool bComputeOffset);
    void InvalidateCaches();
    uint32_t PixelValue(int x, int row) const;
    const uchar* Row(int row) const;

    QByteArray m_block;
    uint32_t m_nBitCount = 0;
    uint16_t m_nNumColors = 0;
    uint32_t m_nTableOffset = 0;
    uint32_t m_nBitsOffset = 0;
    uint32_t m_nStride = 0;
    uint32_t m_nMaskOffset = 0; // AND mask rows of an icon image; 0 when none
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bTopDown = false;
    std::vector<QRgb> m_palette;

    mutable QImage m_image;
    // Nearest palette index of each possible pixel value of a palettised
    // DIB, so a hit test is a table look-up.
    mutable std::vector<uint16_t> m_nearestOfValue;
};
