#include "res/artgen/ImageFiles.h"

#include <QFile>

#include <algorithm>
#include <array>

namespace artgen {

namespace {

void Le16(QByteArray& b, uint16_t v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void Le32(QByteArray& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

void Be32(QByteArray& b, uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

uint32_t Crc32(const QByteArray& data)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (char ch : data)
        c = table[(c ^ uint8_t(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const QByteArray& data)
{
    uint32_t a = 1, b = 0;
    for (char ch : data) {
        a = (a + uint8_t(ch)) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

void PngChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    Be32(out, uint32_t(data.size()));
    QByteArray typed(type, 4);
    typed.append(data);
    out.append(typed);
    Be32(out, Crc32(typed));
}

// A BITMAPINFOHEADER with the fields every one of our images shares.
void InfoHeader(QByteArray& b, int width, int height, uint16_t bitCount, uint32_t imageSize)
{
    Le32(b, 40);
    Le32(b, uint32_t(width));
    Le32(b, uint32_t(height));
    Le16(b, 1);
    Le16(b, bitCount);
    Le32(b, 0);          // uncompressed
    Le32(b, imageSize);
    Le32(b, 2835);       // 72 dpi
    Le32(b, 2835);
    Le32(b, 0);          // colours used: all of the table
    Le32(b, 0);
}

} // namespace

QByteArray EncodeBmp8(int width, int height, const std::vector<uint8_t>& indices,
                      const std::vector<QRgb>& palette)
{
    const int stride = (width + 3) & ~3;
    const uint32_t imageSize = uint32_t(stride) * uint32_t(height);
    const uint32_t offBits = 14 + 40 + 256 * 4;
    QByteArray b;
    b.reserve(int(offBits + imageSize));
    b.append("BM", 2);
    Le32(b, offBits + imageSize);
    Le32(b, 0);
    Le32(b, offBits);
    InfoHeader(b, width, height, 8, imageSize);
    for (int i = 0; i < 256; ++i) {
        const QRgb c = size_t(i) < palette.size() ? palette[size_t(i)] : 0;
        b.append(char(qBlue(c)));
        b.append(char(qGreen(c)));
        b.append(char(qRed(c)));
        b.append('\0');
    }
    for (int y = height - 1; y >= 0; --y) {
        b.append(reinterpret_cast<const char*>(indices.data()) + size_t(y) * size_t(width), width);
        b.append(QByteArray(stride - width, '\0'));
    }
    return b;
}

QByteArray EncodePng(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width(), h = argb.height();

    QByteArray raw;
    raw.reserve(h * (1 + 4 * w));
    for (int y = 0; y < h; ++y) {
        raw.append('\0'); // filter: none
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            raw.append(char(qRed(line[x])));
            raw.append(char(qGreen(line[x])));
            raw.append(char(qBlue(line[x])));
            raw.append(char(qAlpha(line[x])));
        }
    }

    QByteArray z;
    z.append(char(0x78));
    z.append(char(0x01));
    // Stored blocks of at most 65535 bytes; the last one says so.
    int pos = 0;
    do {
        const int len = std::min<int>(65535, int(raw.size()) - pos);
        const bool last = pos + len == raw.size();
        z.append(char(last ? 1 : 0));
        Le16(z, uint16_t(len));
        Le16(z, uint16_t(~len));
        z.append(raw.constData() + pos, len);
        pos += len;
    } while (pos < raw.size());
    Be32(z, Adler32(raw));

    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    Be32(ihdr, uint32_t(w));
    Be32(ihdr, uint32_t(h));
    ihdr.append(char(8));   // bits per channel
    ihdr.append(char(6));   // RGBA
    ihdr.append(char(0));   // deflate
    ihdr.append(char(0));   // adaptive filtering
    ihdr.append(char(0));   // no interlace
    PngChunk(out, "IHDR", ihdr);
    PngChunk(out, "IDAT", z);
    PngChunk(out, "IEND", QByteArray());
    return out;
}

QByteArray EncodeIco(const std::vector<QImage>& images)
{
    std::vector<QByteArray> entries;
    for (const QImage& image : images) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        const int w = argb.width(), h = argb.height();
        const int maskStride = ((w + 31) / 32) * 4;
        QByteArray e;
        InfoHeader(e, w, 2 * h, 32, uint32_t(4 * w * h + maskStride * h)); // colour and mask
        for (int y = h - 1; y >= 0; --y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < w; ++x)
                Le32(e, line[x]); // B, G, R, A in memory order
        }
        for (int y = h - 1; y >= 0; --y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            QByteArray row(maskStride, '\0');
            for (int x = 0; x < w; ++x)
                if (qAlpha(line[x]) == 0)
                    row[x / 8] = char(uint8_t(row[x / 8]) | (0x80 >> (x % 8)));
            e.append(row);
        }
        entries.push_back(e);
    }

    QByteArray out;
    Le16(out, 0);
    Le16(out, 1); // icon
    Le16(out, uint16_t(images.size()));
    uint32_t offset = 6 + 16 * uint32_t(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int w = images[i].width(), h = images[i].height();
        out.append(char(w >= 256 ? 0 : w));
        out.append(char(h >= 256 ? 0 : h));
        out.append('\0'); // no colour table
        out.append('\0');
        Le16(out, 1);     // planes
        Le16(out, 32);    // bits per pixel
        Le32(out, uint32_t(entries[i].size()));
        Le32(out, offset);
        offset += uint32_t(entries[i].size());
    }
    for (const QByteArray& e : entries)
        out.append(e);
    return out;
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace artgen
