#include "gfx/CDib.h"

#include "gfx/ArtworkResources.h"

#include <QDataStream>
#include <QFile>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// BITMAPFILEHEADER and BITMAPINFOHEADER field offsets, from the block start.
constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40; // the smallest info header we accept
constexpr int kOffType = 0;
constexpr int kOffFileSize = 2;
constexpr int kOffReserved = 6;
constexpr int kOffBitsOffset = 10;
constexpr int kOffInfoSize = kFileHeaderSize + 0;
constexpr int kOffWidth = kFileHeaderSize + 4;
constexpr int kOffHeight = kFileHeaderSize + 8;
constexpr int kOffPlanes = kFileHeaderSize + 12;
constexpr int kOffBitCount = kFileHeaderSize + 14;
constexpr int kOffCompression = kFileHeaderSize + 16;
constexpr int kOffClrUsed = kFileHeaderSize + 32;
constexpr int kPackedOffHeight = kOffHeight - kFileHeaderSize;
constexpr uint16_t kTypeBM = 0x4D42;
constexpr uint32_t kBiRgb = 0;

uint16_t Le16(const QByteArray& b, int off)
{
    return qFromLittleEndian<quint16>(b.constData() + off);
}

uint32_t Le32(const QByteArray& b, int off)
{
    return qFromLittleEndian<quint32>(b.constData() + off);
}

void PutLe16(QByteArray& b, int off, uint16_t v)
{
    qToLittleEndian<quint16>(v, b.data() + off);
}

void PutLe32(QByteArray& b, int off, uint32_t v)
{
    qToLittleEndian<quint32>(v, b.data() + off);
}

uint16_t DefaultColorCount(uint32_t bitCount)
{
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

int ColorDistance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

} // namespace

CDib::CDib() = default;
CDib::~CDib() = default;

void CDib::Free()
{
    m_block.clear();
    m_nBitCount = 0;
    m_nNumColors = 0;
    m_nTableOffset = 0;
    m_nBitsOffset = 0;
    m_nStride = 0;
    m_nMaskOffset = 0;
    m_nWidth = 0;
    m_nHeight = 0;
    m_bTopDown = false;
    m_palette.clear();
    InvalidateCaches();
}

void CDib::InvalidateCaches()
{
    m_image = QImage();
    m_nearestOfValue.clear();
}

bool CDib::LoadFromResource(unsigned id)
{
    return LoadFromResource(QString::number(id));
}

bool CDib::LoadFromResource(const QString& name)
{
    Free();
    if (name.isEmpty())
        return false;
    EnsureArtworkResources();
    QFile file(QStringLiteral(":/res/bitmaps/%1.bmp").arg(name));
    if (!file.open(QIODevice::ReadOnly) || file.size() > qint64(kMaxBlockSize))
        return false;
    return LoadFromFileImage(file.readAll());
}

bool CDib::LoadFromFileImage(const QByteArray& bmpFile)
{
    Free();
    if (bmpFile.size() < kFileHeaderSize + kInfoHeaderSize || Le16(bmpFile, kOffType) != kTypeBM)
        return false;
    return Adopt(bmpFile, false);
}

bool CDib::LoadFromPackedDib(const QByteArray& packedDib)
{
    Free();
    if (packedDib.size() < kInfoHeaderSize
        || qint64(packedDib.size()) + kFileHeaderSize > qint64(kMaxBlockSize))
        return false;
    QByteArray block(kFileHeaderSize, '\0');
    block.append(packedDib);
    PutLe16(block, kOffType, kTypeBM);
    return Adopt(std::move(block), true);
}

bool CDib::LoadFromIconImage(const QByteArray& iconImage)
{
    Free();
    if (iconImage.size() < kInfoHeaderSize)
        return false;
    // Icon images are stored bottom-up; a negative height has no mask rows
    // we could place.
    const int32_t bothHalves = int32_t(Le32(iconImage, kPackedOffHeight));
    if (bothHalves < 2)
        return false;
    QByteArray colourHalf = iconImage;
    PutLe32(colourHalf, kPackedOffHeight, uint32_t(bothHalves / 2));
    if (!LoadFromPackedDib(colourHalf))
        return false;
    const qint64 maskStride = ((qint64(m_nWidth) + 31) / 32) * 4;
    const qint64 maskOffset = qint64(m_nBitsOffset) + qint64(m_nStride) * m_nHeight;
    if (maskStride * m_nHeight > m_block.size() - maskOffset) {
        Free();
        return false;
    }
    m_nMaskOffset = uint32_t(maskOffset);
    return true;
}

// Checks a whole file image and takes it as the held block. With
// bComputeOffset the rows are taken to start right after the colour table
// (a packed DIB has no offset of its own); otherwise bfOffBits is trusted
// only when it lies between the end of the table and the end of the block.
bool CDib::Adopt(QByteArray block, bool bComputeOffset)
{
    const qint64 size = block.size();
    if (size < kFileHeaderSize + kInfoHeaderSize || size > qint64(kMaxBlockSize))
        return false;

    const uint32_t infoSize = Le32(block, kOffInfoSize);
    if (infoSize < uint32_t(kInfoHeaderSize) || qint64(infoSize) > size - kFileHeaderSize)
        return false;

    const int64_t width = int32_t(Le32(block, kOffWidth));
    const int64_t rawHeight = int32_t(Le32(block, kOffHeight));
    const int64_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension
        || width * height > kMaxPixels)
        return false;

    const uint32_t bitCount = Le16(block, kOffBitCount);
    if (Le16(block, kOffPlanes) != 1
        || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        return false;
    // Run-length and bit-field layouts are not used by any of our pictures.
    if (Le32(block, kOffCompression) != kBiRgb)
        return false;

    // The colour count is a 16-bit quantity; a larger biClrUsed would wrap
    // round to a short table and the rows would be looked for in the wrong
    // place, so it is refused rather than truncated.
    const uint32_t clrUsed = Le32(block, kOffClrUsed);
    if (clrUsed > 256)
        return false;
    const uint16_t numColors = clrUsed != 0 ? uint16_t(clrUsed) : DefaultColorCount(bitCount);

    const qint64 tableEnd = kFileHeaderSize + qint64(infoSize) + 4 * qint64(numColors);
    if (tableEnd > size)
        return false;
    const qint64 bitsOffset = bComputeOffset ? tableEnd : qint64(Le32(block, kOffBitsOffset));
    if (bitsOffset < tableEnd || bitsOffset > size)
        return false;

    const qint64 stride = ((width * bitCount + 31) / 32) * 4;
    if (stride * height > size - bitsOffset)
        return false;

    // The block is consistent; make its file header say so.
    PutLe16(block, kOffType, kTypeBM);
    PutLe32(block, kOffFileSize, uint32_t(size));
    PutLe32(block, kOffReserved, 0);
    PutLe32(block, kOffBitsOffset, uint32_t(bitsOffset));

    m_palette.resize(numColors);
    const uchar* table = reinterpret_cast<const uchar*>(block.constData()) + kFileHeaderSize + infoSize;
    for (uint16_t i = 0; i < numColors; ++i)
        m_palette[i] = qRgb(table[4 * i + 2], table[4 * i + 1], table[4 * i]);

    m_block = std::move(block);
    m_nBitCount = bitCount;
    m_nNumColors = numColors;
    m_nTableOffset = uint32_t(kFileHeaderSize + infoSize);
    m_nBitsOffset = uint32_t(bitsOffset);
    m_nStride = uint32_t(stride);
    m_nWidth = int(width);
    m_nHeight = int(height);
    m_bTopDown = rawHeight < 0;
    InvalidateCaches();
    return true;
}

bool CDib::Serialize(QDataStream& ar, bool bStoring)
{
    const QDataStream::ByteOrder oldOrder = ar.byteOrder();
    ar.setByteOrder(QDataStream::LittleEndian);
    if (bStoring) {
        ar << quint16(kStoreMarker) << quint32(m_block.size());
        ar.setByteOrder(oldOrder);
        if (!m_block.isEmpty() && ar.writeRawData(m_block.constData(), int(m_block.size())) != m_block.size())
            return false;
        return ar.status() == QDataStream::Ok;
    }

    Free();
    quint16 marker = 0;
    quint32 size = 0;
    ar >> marker >> size;
    ar.setByteOrder(oldOrder);
    if (ar.status() != QDataStream::Ok)
        return false;
    if (marker != kStoreMarker || size > kMaxBlockSize) {
        ar.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    if (size == 0)
        return false;

    // Grow with what really arrives, so that a size claiming far more than
    // the stream holds costs no more memory than the stream's own bytes.
    QByteArray block;
    constexpr quint32 kChunk = 64 * 1024;
    while (quint32(block.size()) < size) {
        const quint32 want = std::min(kChunk, size - quint32(block.size()));
        const qsizetype have = block.size();
        block.resize(have + want);
        if (ar.readRawData(block.data() + have, int(want)) != int(want)) {
            ar.setStatus(QDataStream::ReadPastEnd);
            return false;
        }
    }
    if (!LoadFromFileImage(block)) {
        ar.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    return true;
}

const uchar* CDib::Row(int row) const
{
    const int stored = m_bTopDown ? row : m_nHeight - 1 - row;
    return reinterpret_cast<const uchar*>(m_block.constData()) + m_nBitsOffset
        + size_t(stored) * m_nStride;
}

// Raw value of one pixel: a colour-table index for 1, 4 and 8 bits, 0xRRGGBB
// otherwise. x and row are inside the picture (row 0 at the top).
uint32_t CDib::PixelValue(int x, int row) const
{
    const uchar* p = Row(row);
    switch (m_nBitCount) {
    case 1: return (p[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (p[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8: return p[x];
    case 24: p += 3 * x; return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    default: p += 4 * x; return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
}

bool CDib::GetPixelColor(int x, int y, QRgb& colour) const
{
    if (IsEmpty() || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return false;
    const uint32_t value = PixelValue(x, y);
    if (m_nBitCount > 8)
        colour = 0xFF000000u | value;
    else // an index past a short table shows black, as the display would
        colour = value < m_palette.size() ? m_palette[value] : qRgb(0, 0, 0);
    return true;
}

uint16_t CDib::GetNearestIndex(QRgb colour) const
{
    uint16_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < m_palette.size(); ++i) {
        const int d = ColorDistance(colour, m_palette[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = uint16_t(i);
            if (d == 0)
                break;
        }
    }
    return best;
}

uint16_t CDib::GetPixelIndex(int x, int y) const
{
    if (m_palette.empty() || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return 0;
    if (m_nBitCount > 8)
        return GetNearestIndex(0xFF000000u | PixelValue(x, y));
    if (m_nearestOfValue.empty()) {
        m_nearestOfValue.resize(size_t(1) << m_nBitCount);
        for (size_t v = 0; v < m_nearestOfValue.size(); ++v)
            m_nearestOfValue[v] = GetNearestIndex(v < m_palette.size() ? m_palette[v] : qRgb(0, 0, 0));
    }
    return m_nearestOfValue[PixelValue(x, y)];
}

const QImage& CDib::GetImage() const
{
    if (!m_image.isNull() || IsEmpty())
        return m_image;
    QImage image(m_nWidth, m_nHeight, QImage::Format_RGB32);
    if (image.isNull())
        return m_image;

    if (m_nBitCount <= 8) {
        QRgb lookup[256];
        for (int v = 0; v < 256; ++v)
            lookup[v] = size_t(v) < m_palette.size() ? m_palette[v] : qRgb(0, 0, 0);
        for (int y = 0; y < m_nHeight; ++y) {
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < m_nWidth; ++x)
                out[x] = lookup[PixelValue(x, y)];
        }
    } else {
        const int bytesPerPixel = int(m_nBitCount / 8);
        for (int y = 0; y < m_nHeight; ++y) {
            const uchar* p = Row(y);
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < m_nWidth; ++x, p += bytesPerPixel)
                out[x] = qRgb(p[2], p[1], p[0]);
        }
    }
    m_image = std::move(image);
    return m_image;
}

bool CDib::Draw(QPainter& dc, int x, int y) const
{
    const QImage& image = GetImage();
    if (image.isNull())
        return false;
    dc.drawImage(QPoint(x, y), image);
    return true;
}

bool CDib::StretchDraw(QPainter& dc, int x, int y, int cx, int cy) const
{
    const QImage& image = GetImage();
    if (image.isNull() || cx <= 0 || cy <= 0)
        return false;
    dc.drawImage(QRect(x, y, cx, cy), image);
    return true;
}

QImage CDib::CreateDeviceImage() const
{
    if (IsEmpty())
        return QImage();
    if (m_nBitCount != 1)
        return GetImage();

    // The rows of a 1-bit DIB already are a monochrome bitmap, most
    // significant bit first; copy them as they are so that every bit keeps the
    // DIB's pixel index, and let the table say index 0 is black, 1 white.
    QImage mono(m_nWidth, m_nHeight, QImage::Format_Mono);
    if (mono.isNull())
        return mono;
    mono.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    const size_t rowBytes = (size_t(m_nWidth) + 7) / 8;
    for (int y = 0; y < m_nHeight; ++y)
        std::memcpy(mono.scanLine(y), Row(y), rowBytes);
    return mono;
}

QImage CDib::CreateIconImage() const
{
    if (m_nMaskOffset == 0)
        return QImage();
    const QImage& colours = GetImage();
    if (colours.isNull())
        return QImage();
    QImage icon = colours.convertToFormat(QImage::Format_ARGB32);
    if (icon.isNull())
        return icon;

    bool bHasAlpha = false;
    if (m_nBitCount == 32)
        for (int y = 0; y < m_nHeight && !bHasAlpha; ++y) {
            const uchar* p = Row(y);
            for (int x = 0; x < m_nWidth && !bHasAlpha; ++x)
                bHasAlpha = p[4 * x + 3] != 0;
        }
    const size_t maskStride = ((size_t(m_nWidth) + 31) / 32) * 4;
    for (int y = 0; y < m_nHeight; ++y) {
        auto* out = reinterpret_cast<QRgb*>(icon.scanLine(y));
        if (bHasAlpha) {
            const uchar* p = Row(y);
            for (int x = 0; x < m_nWidth; ++x)
                out[x] = (out[x] & 0xFFFFFFu) | uint32_t(p[4 * x + 3]) << 24;
        } else {
            const uchar* mask = reinterpret_cast<const uchar*>(m_block.constData()) + m_nMaskOffset
                + size_t(m_nHeight - 1 - y) * maskStride;
            for (int x = 0; x < m_nWidth; ++x)
                if ((mask[x >> 3] >> (7 - (x & 7))) & 1u)
                    out[x] &= 0xFFFFFFu;
        }
    }
    return icon;
}

void CDib::GetDimensions(int32_t& width, int32_t& height) const
{
    if (IsEmpty()) {
        width = height = 0;
        return;
    }
    width = m_nWidth;
    height = m_bTopDown ? -m_nHeight : m_nHeight;
}

QSize CDib::GetSize() const
{
    return QSize(m_nWidth, m_nHeight);
}

// A 1-bit DIB may declare a table of one entry (biClrUsed 1); entry 1 is then
// not there, so both colours are only read or written when the table has two.
bool CDib::GetMonoColors(QRgb& first, QRgb& second) const
{
    if (m_nBitCount != 1 || m_palette.size() < 2)
        return false;
    first = m_palette[0];
    second = m_palette[1];
    return true;
}

void CDib::SetMonoColors(QRgb first, QRgb second)
{
    if (m_nBitCount != 1 || m_palette.size() < 2)
        return;
    const QRgb colours[2] = { first, second };
    for (int i = 0; i < 2; ++i) {
        char* entry = m_block.data() + m_nTableOffset + 4 * i;
        entry[0] = char(qBlue(colours[i]));
        entry[1] = char(qGreen(colours[i]));
        entry[2] = char(qRed(colours[i]));
        entry[3] = 0;
        m_palette[i] = qRgb(qRed(colours[i]), qGreen(colours[i]), qBlue(colours[i]));
    }
    InvalidateCaches();
}
