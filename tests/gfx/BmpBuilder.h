#pragma once
// Builds BMP file images for the tests, including deliberately odd ones.
#include <QByteArray>
#include <QRgb>
#include <QtEndian>

#include <cstdint>
#include <functional>
#include <vector>

namespace bmptest {

struct BmpLayout {
    int width = 1;
    int height = 1;          // negative: rows stored top-down
    int bitCount = 8;
    std::vector<QRgb> table; // written as the colour table, as many entries as given
    uint32_t clrUsed = 0;    // biClrUsed as written
    // Pixel value at (x, y), y from the top as shown: an index, or 0xRRGGBB.
    std::function<uint32_t(int, int)> pixel = [](int, int) { return 0u; };
};

inline void PutLe16(QByteArray& b, int at, uint16_t v) { qToLittleEndian<quint16>(v, b.data() + at); }
inline void PutLe32(QByteArray& b, int at, uint32_t v) { qToLittleEndian<quint32>(v, b.data() + at); }
inline uint32_t Le32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }

// Offsets of fields we poke at to damage files.
constexpr int kBfSize = 2, kBfOffBits = 10, kBiSize = 14, kBiWidth = 18, kBiHeight = 22,
              kBiPlanes = 26, kBiBitCount = 28, kBiCompression = 30, kBiClrUsed = 46;

inline QByteArray MakeBmp(const BmpLayout& s)
{
    const int w = s.width, h = s.height < 0 ? -s.height : s.height;
    const int stride = ((w * s.bitCount + 31) / 32) * 4;
    const int offBits = 54 + 4 * int(s.table.size());
    QByteArray b(offBits + stride * h, '\0');
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, kBfSize, uint32_t(b.size()));
    PutLe32(b, kBfOffBits, uint32_t(offBits));
    PutLe32(b, kBiSize, 40);
    PutLe32(b, kBiWidth, uint32_t(w));
    PutLe32(b, kBiHeight, uint32_t(s.height));
    PutLe16(b, kBiPlanes, 1);
    PutLe16(b, kBiBitCount, uint16_t(s.bitCount));
    PutLe32(b, kBiClrUsed, s.clrUsed);
    for (size_t i = 0; i < s.table.size(); ++i)
        PutLe32(b, int(54 + 4 * i), s.table[i] & 0xFFFFFFu); // blue, green, red, 0
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint8_t*>(b.data() + offBits + (s.height < 0 ? y : h - 1 - y) * stride);
        for (int x = 0; x < w; ++x) {
            const uint32_t v = s.pixel(x, y);
            if (s.bitCount < 8) {
                const int perByte = 8 / s.bitCount;
                row[x / perByte] |= uint8_t((v & ((1u << s.bitCount) - 1)) << (s.bitCount * (perByte - 1 - x % perByte)));
            } else {
                const int n = s.bitCount / 8;
                for (int k = 0; k < n; ++k) // a 32-bit reserved byte must not leak into the colour
                    row[n * x + k] = k < 3 ? uint8_t(v >> (8 * k)) : uint8_t(0x5A);
            }
        }
    }
    return b;
}

// A table of n distinct colours.
inline std::vector<QRgb> Ramp(int n)
{
    std::vector<QRgb> t;
    for (int i = 0; i < n; ++i)
        t.push_back(qRgb((i * 37) & 255, (i * 91 + 11) & 255, 255 - i));
    return t;
}

} // namespace bmptest
