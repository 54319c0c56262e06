#include "res/artgen/ArtPalette.h"

#include "res/artgen/ArtColours.h"
#include "res/artgen/ImageFiles.h"

#include <limits>
#include <unordered_map>
#include <utility>

namespace artgen {

namespace {

QRgb Mix(QRgb a, QRgb b, int num, int den)
{
    auto mix = [&](int ca, int cb) { return (ca * (den - num) + cb * num + den / 2) / den; };
    return qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}

std::vector<QRgb> BuildPalette()
{
    std::vector<QRgb> p;
    p.push_back(qRgb(0, 0, 0));

    const QRgb bases[] = {
        kPaper, kInk, kSkin, kSkinShade, kSkinLight, kSleeve, kSleeveShade, kLabel, kLadder,
        kAccent, kCase, kCaseEdge, kFelt, kKeyWhite, kKeyShadeLight, kKeyShade, kKeyStripTop,
        kKeyStrip, kKeyStripLow, kKeyStripPressed, kKeyStripPressedLow, kKeySide, kKeyGap,
        kBlackKey, kBlackKeyEdge, kBlackKeyShine, kBlackKeyFront, kBlackKeyFrontLow, kDot, kDotRim,
    };
    for (QRgb c : bases)
        p.push_back(c);

    // Greys in steps of about 8, for the keyboard's shades and its edges.
    for (int i = 1; i < 32; ++i)
        p.push_back(qRgb(i * 255 / 31, i * 255 / 31, i * 255 / 31));

    // Fifteen steps between the pairs of colours that meet at antialiased
    // edges: the 4x4 supersampled rendering gives sixteen coverage levels.
    const std::pair<QRgb, QRgb> ramps[] = {
        { kPaper, kInk },   { kSkin, kInk },         { kSkinShade, kInk }, { kSkinLight, kInk },
        { kSkin, kSkinShade }, { kSkin, kSkinLight }, { kSleeve, kInk },   { kSleeveShade, kInk },
        { kPaper, kLabel }, { kPaper, kAccent },    { kDot, kDotRim },    { kKeyWhite, kDotRim },
    };
    for (const auto& [a, b] : ramps)
        for (int k = 1; k < 16; ++k)
            p.push_back(Mix(a, b, k, 16));

    // The rest: a coarse colour cube, for anything the named colours miss.
    for (int r = 0; r < 3 && p.size() < 256; ++r)
        for (int g = 0; g < 3 && p.size() < 256; ++g)
            for (int b = 0; b < 3 && p.size() < 256; ++b)
                p.push_back(qRgb(r * 127 + r / 2, g * 127 + g / 2, b * 127 + b / 2));
    while (p.size() < 256)
        p.push_back(qRgb(0, 0, 0));
    p.resize(256);
    return p;
}

} // namespace

const std::vector<QRgb>& ArtPalette()
{
    static const std::vector<QRgb> palette = BuildPalette();
    return palette;
}

uint8_t NearestEntry(const std::vector<QRgb>& palette, QRgb colour)
{
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < palette.size() && i < 256; ++i) {
        const int dr = qRed(colour) - qRed(palette[i]);
        const int dg = qGreen(colour) - qGreen(palette[i]);
        const int db = qBlue(colour) - qBlue(palette[i]);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return uint8_t(best);
}

std::vector<uint8_t> Quantize(const QImage& image, const std::vector<QRgb>& palette)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<uint8_t> out(size_t(rgb.width()) * size_t(rgb.height()));
    std::unordered_map<QRgb, uint8_t> memo;
    size_t n = 0;
    // Most pixels repeat their left neighbour (the ground, the fills), so the
    // last answer is kept at hand: the large pictures are made at run time.
    QRgb last = 0xFFFFFFFFu;
    uint8_t lastIndex = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = line[x] & 0xFFFFFFu;
            if (c != last) {
                auto it = memo.find(c);
                if (it == memo.end())
                    it = memo.emplace(c, NearestEntry(palette, c)).first;
                last = c;
                lastIndex = it->second;
            }
            out[n++] = lastIndex;
        }
    }
    return out;
}

QByteArray EncodeArtBitmap(const QImage& image)
{
    const std::vector<QRgb>& palette = ArtPalette();
    return EncodeBmp8(image.width(), image.height(), Quantize(image, palette), palette);
}

} // namespace artgen
