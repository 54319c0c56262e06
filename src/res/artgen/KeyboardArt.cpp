// The keyboard pane's pictures: one octave from middle C to the C above, its
// hit map, and the key overlays painted over it when a key goes down or up.
//
// The view paints one overlay bitmap per key state at fixed places (white key
// w at x = 6 + 20w, 22 wide, y 78..121; black key b at x = 20 + 20b, 12 wide,
// y 2..69; all doubled at the large scale), and a released overlay must give
// back exactly what the plain picture has there. So the picture is drawn with
// a period of 20: the two columns where neighbouring white-key rectangles
// overlap are the dark gap between the keys, the same for every key, and the
// overlays are cut out of whole-keyboard renderings with chosen keys held.
#include "res/artgen/ArtGen.h"

#include "res/artgen/ArtColours.h"
#include "res/artgen/ArtPalette.h"
#include "res/artgen/ImageFiles.h"
#include "res/artgen/SuperCanvas.h"

#include <QColor>
#include <QPainter>

#include <array>

namespace artgen {

namespace {

// Drawing units are pixels of the normal scale.
constexpr int kWidth = 174, kHeight = 124;
constexpr int kLeft = 6, kStep = 20, kGap = 2;
constexpr int kFeltTop = 2, kWhiteTop = 6, kWhiteFaceBottom = 117, kWhiteBottom = 121;
constexpr int kOverlayTop = 78, kWhiteKeyWidth = 22, kWhiteKeyHeight = 44;
constexpr int kBlackLeft = 20, kBlackTop = 2, kBlackWidth = 12, kBlackHeight = 68;
constexpr int kWhiteSlots[8] = { 0, 2, 4, 5, 7, 9, 11, 12 };
constexpr int kBlackPositions[5] = { 0, 1, 3, 4, 5 };
constexpr int kBlackSlots[5] = { 1, 3, 6, 8, 10 };

using Held = std::array<bool, 13>; // by key slot, 0 = C 60 ... 12 = C 72

void Box(QPainter& p, int x, int y, int w, int h, QRgb colour)
{
    p.fillRect(QRect(x, y, w, h), QColor(colour));
}

void Dot(QPainter& p, QPointF centre, double radius)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kDotRim));
    p.drawEllipse(centre, radius, radius);
    p.setBrush(QColor(kDot));
    p.drawEllipse(centre, radius - 1.25, radius - 1.25);
}

bool WhiteHeld(const Held& held, int w)
{
    return w >= 0 && w < 8 && held[size_t(kWhiteSlots[w])];
}

void DrawWhiteKey(QPainter& p, int w, bool down)
{
    const int x = kLeft + kStep * w + kGap; // first column of the key's face
    const int faceWidth = kStep - kGap;
    Box(p, x, kWhiteTop, faceWidth, kWhiteFaceBottom - kWhiteTop + 1, kKeyWhite);
    Box(p, x, kWhiteTop, faceWidth, 1, kKeyShade);                        // shadow of the felt
    Box(p, x + faceWidth - 1, kWhiteTop + 1, 1, kWhiteBottom - kWhiteTop - 4, kKeyShadeLight);
    // A key that is down shows its face two rows lower and less of its front.
    const int edge = down ? kWhiteFaceBottom + 1 : kWhiteFaceBottom - 1;
    Box(p, x, edge, faceWidth - 1, 1, kKeyShadeLight);
    Box(p, x, edge + 1, faceWidth - 1, 1, kKeyShade);
    if (down) {
        Box(p, x, kWhiteBottom - 1, faceWidth, 1, kKeyStripPressed);
        Box(p, x, kWhiteBottom, faceWidth, 1, kKeyStripPressedLow);
        Dot(p, QPointF(x + faceWidth / 2.0, 100.0), 5.0);
    } else {
        Box(p, x, kWhiteFaceBottom + 1, faceWidth, 1, kKeyStripTop);
        Box(p, x, kWhiteFaceBottom + 2, faceWidth, 2, kKeyStrip);
        Box(p, x, kWhiteBottom, faceWidth, 1, kKeyStripLow);
    }
}

// The gap left of white key j (j = 8 is right of the last key). Where a key
// that is up meets one that is down, the side of the raised key shows in its
// front strip: that is what the neighbour variants of the overlays carry.
void DrawGap(QPainter& p, int j, bool leftDown, bool rightDown)
{
    const int x = kLeft + kStep * j;
    Box(p, x, kWhiteTop, kGap, kWhiteBottom - kWhiteTop + 1, kKeyGap);
    const int strip = kWhiteFaceBottom + 1, stripRows = kWhiteBottom - kWhiteFaceBottom;
    if (!leftDown && rightDown)
        Box(p, x, strip, 1, stripRows, kKeySide);
    else if (leftDown && !rightDown)
        Box(p, x + 1, strip, 1, stripRows, kKeySide);
}

void DrawBlackKey(QPainter& p, int b, bool down)
{
    const int x = kBlackLeft + kStep * b, y = kBlackTop;
    Box(p, x, y, kBlackWidth, kBlackHeight, kBlackKeyEdge);
    // Down, the top of the key slides further under the eye and its front
    // slope shows less.
    const int front = down ? 63 : 60; // first row of the front slope, from the key's top
    Box(p, x + 1, y, kBlackWidth - 2, front, kBlackKey);
    Box(p, x + 2, y + 1, 2, front - 4, kBlackKeyShine);
    Box(p, x + 1, y + front, kBlackWidth - 2, (kBlackHeight - 1 - front) / 2, kBlackKeyFront);
    Box(p, x + 1, y + front + (kBlackHeight - 1 - front) / 2, kBlackWidth - 2,
        kBlackHeight - 1 - front - (kBlackHeight - 1 - front) / 2, kBlackKeyFrontLow);
    if (down)
        Dot(p, QPointF(x + kBlackWidth / 2.0, y + 50.0), 4.0);
}

// The keyboard with the keys of held down, or only the rows of cut (target
// pixels) of it: an overlay needs just its own band, which at the large
// scales is most of the set's time saved.
QImage RenderKeyboard(int scale, const Held& held, QRect cut = {})
{
    auto draw = [&](SuperCanvas& canvas) {
        QPainter p;
        canvas.Begin(p);
        Box(p, 0, 0, kWidth, 1, kCaseEdge);
        Box(p, 0, kHeight - 1, kWidth, 1, kCaseEdge);
        Box(p, 0, 0, 1, kHeight, kCaseEdge);
        Box(p, kWidth - 1, 0, 1, kHeight, kCaseEdge);
        Box(p, kLeft, kFeltTop, 8 * kStep + kGap, kWhiteTop - kFeltTop, kFelt);
        for (int w = 0; w < 8; ++w)
            DrawWhiteKey(p, w, WhiteHeld(held, w));
        for (int j = 0; j <= 8; ++j)
            DrawGap(p, j, WhiteHeld(held, j - 1), WhiteHeld(held, j));
        for (int i = 0; i < 5; ++i)
            DrawBlackKey(p, kBlackPositions[i], held[size_t(kBlackSlots[i])]);
        p.end();
    };
    if (cut.isNull())
        return RenderSupersampled(kWidth * scale, kHeight * scale, scale, kCase, SuperFactorForScale(scale), draw);
    SuperCanvas canvas(kWidth * scale, kHeight * scale, scale, kCase, SuperFactorForScale(scale), cut.top(),
                       cut.height());
    draw(canvas);
    return canvas.Resolve().copy(cut.left(), 0, cut.width(), cut.height());
}

// The hit map: palette index 13 + k on the area of key slot k, 0 elsewhere.
// White keys are painted first and the black keys over them, so a white key's
// area is its full-height strip plus its wide lower part.
QByteArray HitMap(int scale)
{
    struct Area { int index, left, top, right, bottom; };
    static constexpr Area kAreas[] = {
        { 13, 6, 6, 25, 117 },    { 15, 26, 6, 45, 117 },   { 17, 46, 6, 65, 117 },
        { 18, 66, 6, 85, 117 },   { 20, 86, 6, 105, 117 },  { 22, 106, 6, 125, 117 },
        { 24, 126, 6, 145, 117 }, { 25, 146, 6, 167, 117 },
        { 14, 20, 2, 31, 69 },    { 16, 40, 2, 51, 69 },    { 19, 80, 2, 91, 69 },
        { 21, 100, 2, 111, 69 },  { 23, 120, 2, 131, 69 },
    };
    const int w = kWidth * scale, h = kHeight * scale;
    std::vector<uint8_t> pixels(size_t(w) * size_t(h), 0);
    for (const Area& a : kAreas)
        for (int y = a.top * scale; y < (a.bottom + 1) * scale; ++y)
            for (int x = a.left * scale; x < (a.right + 1) * scale; ++x)
                pixels[size_t(y) * size_t(w) + size_t(x)] = uint8_t(a.index);

    // Entry 0 black; the keys in thirteen hues no other entry has; the rest
    // greys, which no key colour is near.
    std::vector<QRgb> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = qRgb(i, i, i);
    for (int k = 0; k < 13; ++k)
        palette[size_t(13 + k)] = QColor::fromHsv(k * 360 / 13, 255, 230).rgb();
    return EncodeBmp8(w, h, pixels, palette);
}

QRect WhiteKeyCut(int scale)
{
    return QRect((kLeft + kStep) * scale, kOverlayTop * scale, kWhiteKeyWidth * scale, kWhiteKeyHeight * scale);
}

QRect BlackKeyCut(int scale)
{
    return QRect(kBlackLeft * scale, kBlackTop * scale, kBlackWidth * scale, kBlackHeight * scale);
}

} // namespace

std::vector<QByteArray> KeyboardSet(int scale)
{
    // The white-key overlays are all cut at D (slot 2), the black ones at C#.
    auto with = [](std::initializer_list<int> keys) {
        Held held{};
        for (int s : keys)
            held[size_t(s)] = true;
        return held;
    };
    const QImage plain = RenderKeyboard(scale, Held{});
    const QRect white = WhiteKeyCut(scale), black = BlackKeyCut(scale);
    return {
        EncodeArtBitmap(plain),
        HitMap(scale),
        EncodeArtBitmap(RenderKeyboard(scale, with({ 2 }), white)),
        EncodeArtBitmap(plain.copy(white)),
        EncodeArtBitmap(RenderKeyboard(scale, with({ 4 }), white)),
        EncodeArtBitmap(RenderKeyboard(scale, with({ 0, 4 }), white)),
        EncodeArtBitmap(RenderKeyboard(scale, with({ 0 }), white)),
        EncodeArtBitmap(RenderKeyboard(scale, with({ 1 }), black)),
        EncodeArtBitmap(plain.copy(black)),
    };
}

std::vector<ArtFile> MakeKeyboardArt()
{
    // In the order of KeyboardSet.
    const unsigned ids[2][9] = { { 301, 302, 303, 304, 352, 353, 354, 305, 306 },
                                 { 307, 308, 309, 310, 348, 349, 350, 311, 312 } };
    std::vector<ArtFile> files;
    for (int scale = 1; scale <= 2; ++scale) {
        std::vector<QByteArray> set = KeyboardSet(scale);
        for (size_t i = 0; i < set.size(); ++i)
            files.push_back({ QStringLiteral("%1.bmp").arg(ids[scale - 1][i]), std::move(set[i]) });
    }
    return files;
}

} // namespace artgen
