// The toolbar pictures, 16 x 15 each. At that size every pixel counts, so
// they are drawn as pixel maps, one character per pixel; a layer drawn over
// another leaves the pixels it marks '.' as they were.
#include "res/artgen/ArtGen.h"

#include "res/artgen/ArtColours.h"
#include "res/artgen/ImageFiles.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace artgen {

namespace {

constexpr int kWidth = 16, kHeight = 15;

QRgb Colour(char c)
{
    switch (c) {
    case 'k': return 0xFF1E1E1E; // outline
    case 'w': return 0xFFFFFFFF;
    case 'g': return 0xFFC8C8C8;
    case 'd': return 0xFF7A7A7A;
    case 'b': return 0xFF2F6DB5;
    case 'n': return 0xFFA8733A; // clipboard board
    case 'r': return 0xFFD9362B;
    case 'y': return 0xFFF2C94C;
    case 's': return kSkin;
    case 'S': return kSkinShade;
    default: return 0;
    }
}

using PixelMap = std::initializer_list<const char*>;

void Paint(QImage& image, PixelMap rows)
{
    // A mistyped map is a bug in this file, not something to draw around.
    if (rows.size() != size_t(kHeight)) {
        std::fprintf(stderr, "toolbar picture: %zu rows\n", rows.size());
        std::abort();
    }
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; x < kWidth; ++x) {
            if (row[x] == '\0') {
                std::fprintf(stderr, "toolbar picture: short row %d\n", y);
                std::abort();
            }
            if (row[x] != '.')
                image.setPixel(x, y, Colour(row[x]));
        }
        if (row[kWidth] != '\0') {
            std::fprintf(stderr, "toolbar picture: long row %d\n", y);
            std::abort();
        }
        ++y;
    }
}

ArtFile Picture(const char* name, std::initializer_list<PixelMap> layers)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(0);
    for (const PixelMap& layer : layers)
        Paint(image, layer);
    return { QStringLiteral("toolbar-%1.png").arg(QLatin1String(name)), EncodePng(image) };
}

} // namespace

std::vector<ArtFile> MakeToolbarArt()
{
    std::vector<ArtFile> files;
    files.push_back(Picture("new", { {
        "................",
        "..kkkkkkkk......",
        "..kwwwwwwkk.....",
        "..kwwwwwwkgk....",
        "..kwwwwwwkggk...",
        "..kwwwwwwkkkkk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
    } }));
    files.push_back(Picture("save", { {
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kbbkwwwwwwkbbk.",
        ".kbbkwddddwkbbk.",
        ".kbbkwwwwwwkbbk.",
        ".kbbkwddddwkbbk.",
        ".kbbkkkkkkkkbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbkkkkkkkkbbk.",
        ".kbbkggggkgkbbk.",
        ".kbbkggggkgkbbk.",
        ".kbbkggggkgkbbk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    } }));
    files.push_back(Picture("print", { {
        "................",
        "....kkkkkkkk....",
        "....kwwwwwwk....",
        "....kwddddwk....",
        "..kkkkkkkkkkkk..",
        ".kggggggggggggk.",
        ".kgggggggggyygk.",
        ".kggggggggggggk.",
        ".kddddddddddddk.",
        ".kdkkkkkkkkkkdk.",
        ".kdkwwwwwwwwkdk.",
        "..kkwddddddwkk..",
        "....kwwwwwwk....",
        "....kkkkkkkk....",
        "................",
    } }));
    files.push_back(Picture("cut", { {
        "...k.......k....",
        "...kk.....kk....",
        "....k.....k.....",
        "....kk...kk.....",
        ".....k...k......",
        ".....kk.kk......",
        "......kkk.......",
        ".......k........",
        "......k.k.......",
        ".....r...r......",
        "...rrrr.rrrr....",
        "..r...r.r...r...",
        "..r...r.r...r...",
        "..r...r.r...r...",
        "...rrr...rrr....",
    } }));
    files.push_back(Picture("copy", { {
        "kkkkkkkkk.......",
        "kwwwwwwwk.......",
        "kwddddwwk.......",
        "kwwwwwwwk.......",
        "kwddkkkkkkkkkk..",
        "kwwwkwwwwwwwwk..",
        "kwddkwddddddwk..",
        "kwwwkwwwwwwwwk..",
        "kwddkwddddwwwk..",
        "kkkkkwwwwwwwwk..",
        "....kwddddddwk..",
        "....kwwwwwwwwk..",
        "....kwddddwwwk..",
        "....kwwwwwwwwk..",
        "....kkkkkkkkkk..",
    } }));
    files.push_back(Picture("paste", { {
        ".....kkkkk......",
        "..kkkkgggkkkk...",
        ".knnkgggggknnk..",
        ".knnkkkkkkknnk..",
        ".knnnnnnnnnnnk..",
        ".knnnnkkkkkkkkk.",
        ".knnnnkwwwwwwwk.",
        ".knnnnkwddddwwk.",
        ".knnnnkwwwwwwwk.",
        ".knnnnkwdddddwk.",
        ".knnnnkwwwwwwwk.",
        ".knnnnkwddddwwk.",
        ".knnnnkwwwwwwwk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    } }));
    // The MIDI log: lines of a log with a five-pin MIDI socket in front.
    files.push_back(Picture("midi-input", {
        {
            "....kkkkkkkkkkk.",
            "....kwwwwwwwwwk.",
            "....kwbbbbbbbwk.",
            "....kwwwwwwwwwk.",
            "....kwbbbbbwwwk.",
            "....kwwwwwwwwwk.",
            "....kwbbbbbbbwk.",
            "....kwwwwwwwwwk.",
            "....kwbbbbwwwwk.",
            "....kwwwwwwwwwk.",
            "....kwbbbbbbbwk.",
            "....kwwwwwwwwwk.",
            "....kwbbbbbwwwk.",
            "....kwwwwwwwwwk.",
            "....kkkkkkkkkkk.",
        },
        {
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
            "...kkk..........",
            ".kkgggkk........",
            ".kggkggk........",
            "kgkgggkgk.......",
            "kgggggggk.......",
            "kgkgggkgk.......",
            ".kgggggk........",
            ".kkgkgkk........",
            "...kkk..........",
        },
    }));
    // The keyboard display: a little octave with one key marked as held.
    files.push_back(Picture("keyboard", { {
        "................",
        "kkkkkkkkkkkkkkkk",
        "kwkkwkkwwkwkkwwk",
        "kwkkwkkwwkwkkwwk",
        "kwkkwkkwwkwkkwwk",
        "kwkkwkkwwkwkkwwk",
        "kwkkwkkwwkwkkwwk",
        "kwwkwwkwwkwwkwwk",
        "kwwkwwkwwkwwkwwk",
        "kwwkwwkrrkwwkwwk",
        "kwwkwwkrrkwwkwwk",
        "kwwkwwkwwkwwkwwk",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
    } }));
    // The hand-sign display: an open hand.
    files.push_back(Picture("hand-sign", { {
        ".......kk.......",
        "....kkksskkk....",
        "...kssksskssk...",
        "...ksskssksskkk.",
        "...ksskssksskssk",
        "kk.ksskssksskssk",
        "kssksskssksskssk",
        "kssksskssksskssk",
        ".ksssssssssssssk",
        "..kssssssssssssk",
        "...ksssssssssssk",
        "...ksssssssssSSk",
        "....ksssssssSSk.",
        ".....ksssssssk..",
        ".....kkkkkkkkk..",
    } }));
    files.push_back(Picture("about", { {
        "......kkkk......",
        "....kkbbbbkk....",
        "...kbbbbbbbbk...",
        "..kbbbbwwbbbbk..",
        "..kbbbbwwbbbbk..",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbwwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        ".kbbbbbwwbbbbbk.",
        "..kbbbbwwbbbbk..",
        "..kbbbwwwwbbbk..",
        "...kbbbbbbbbk...",
        "....kkbbbbkk....",
        "......kkkk......",
    } }));
    return files;
}

} // namespace artgen
