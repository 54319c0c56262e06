// The keyboard pane's bitmaps as the view uses them: the hit maps find every
// key where the key-area table says and nothing in the gaps, and the key
// overlays drawn at their places give back the right pictures.
#include "gfx/CDibPicture.h"

#include "gfx/CDib.h"
#include "res/ResourceIds.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <map>

namespace {

struct KeyArea {
    int index, left, top, right, bottom; // inclusive, normal scale
    bool black;
};

// Index 13 + (note - 60) on each key; a white key is its box less the black
// keys' boxes that cut into it.
constexpr KeyArea kKeyAreas[] = {
    { 13, 6, 6, 25, 117, false },   { 14, 20, 2, 31, 69, true },   { 15, 26, 6, 45, 117, false },
    { 16, 40, 2, 51, 69, true },    { 17, 46, 6, 65, 117, false }, { 18, 66, 6, 85, 117, false },
    { 19, 80, 2, 91, 69, true },    { 20, 86, 6, 105, 117, false }, { 21, 100, 2, 111, 69, true },
    { 22, 106, 6, 125, 117, false }, { 23, 120, 2, 131, 69, true }, { 24, 126, 6, 145, 117, false },
    { 25, 146, 6, 167, 117, false },
};

int ExpectedIndex(int x, int y)
{
    for (const KeyArea& a : kKeyAreas)
        if (a.black && x >= a.left && x <= a.right && y >= a.top && y <= a.bottom)
            return a.index;
    for (const KeyArea& a : kKeyAreas)
        if (!a.black && x >= a.left && x <= a.right && y >= a.top && y <= a.bottom)
            return a.index;
    return 0;
}

struct Scale {
    int factor;
    unsigned picture, map, whiteDown, whiteUp, whiteUpRight, whiteUpBoth, whiteUpLeft, blackDown, blackUp;
};

const Scale kNormal{ 1, IDB_KEYBOARD, IDB_KEYBOARD_MAP, IDB_WHITE_DOWN, IDB_WHITE_UP, IDB_WHITE_UP_R,
                     IDB_WHITE_UP_LR, IDB_WHITE_UP_LEFT, IDB_BLACK_DOWN, IDB_BLACK_UP };
const Scale kLarge{ 2, IDB_KEYBOARD_L, IDB_KEYBOARD_MAP_L, IDB_WHITE_DOWN_L, IDB_WHITE_UP_L, IDB_WHITE_UP_R_L,
                    IDB_WHITE_UP_LR_L, IDB_WHITE_UP_LEFT_L, IDB_BLACK_DOWN_L, IDB_BLACK_UP_L };

class KeyboardArtwork : public ::testing::TestWithParam<Scale> {};

TEST_P(KeyboardArtwork, HitMapFindsEveryKeyAndNothingBetween)
{
    const Scale s = GetParam();
    CDibPicture map;
    ASSERT_TRUE(map.LoadBitmap(s.map));
    ASSERT_EQ(map.GetSize(), QSize(174 * s.factor, 124 * s.factor));
    for (int y = 0; y < 124 * s.factor; ++y)
        for (int x = 0; x < 174 * s.factor; ++x)
            ASSERT_EQ(map.GetPixelIndex(x, y), ExpectedIndex(x / s.factor, y / s.factor)) << x << "," << y;
}

TEST_P(KeyboardArtwork, HitMapSpotChecks)
{
    const Scale s = GetParam();
    CDibPicture map;
    ASSERT_TRUE(map.LoadBitmap(s.map));
    auto at = [&](int x, int y) { return map.GetPixelIndex(x * s.factor, y * s.factor); };
    // Corners of the listed areas, and just outside them.
    EXPECT_EQ(at(6, 117), 13);   // C, lower left
    EXPECT_EQ(at(25, 117), 13);  // C, lower right
    EXPECT_EQ(at(6, 6), 13);     // C, top left (left of C#)
    EXPECT_EQ(at(25, 6), 14);    // C's box top right lies under C#
    EXPECT_EQ(at(26, 70), 15);   // D just below C#
    EXPECT_EQ(at(20, 2), 14);    // C# corners
    EXPECT_EQ(at(31, 69), 14);
    EXPECT_EQ(at(167, 117), 25); // C 72, lower right
    EXPECT_EQ(at(5, 60), 0);     // left of the keys
    EXPECT_EQ(at(168, 60), 0);   // right of them
    EXPECT_EQ(at(30, 118), 0);   // below them
    EXPECT_EQ(at(35, 3), 0);     // the gap between C# and D# above the white keys
    EXPECT_EQ(at(19, 2), 0);     // just left of C#
    EXPECT_EQ(at(60, 5), 0);     // above E
}

TEST_P(KeyboardArtwork, HitMapPaletteMarksKeysUniquely)
{
    CDibPicture map;
    ASSERT_TRUE(map.LoadBitmap(GetParam().map));
    const std::vector<QRgb>& palette = map.GetDib()->GetPalette();
    ASSERT_EQ(palette.size(), 256u);
    EXPECT_EQ(palette[0], qRgb(0, 0, 0));
    for (int k = 13; k <= 25; ++k) {
        for (int i = 0; i < 256; ++i) {
            if (i != k) {
                EXPECT_NE(palette[size_t(i)], palette[size_t(k)]) << k << " repeated at " << i;
            }
        }
        EXPECT_EQ(map.GetNearestIndex(palette[size_t(k)]), k);
    }
    EXPECT_EQ(map.GetDib()->GetBitCount(), 8u);
}

TEST_P(KeyboardArtwork, EveryBitmapHasItsSize)
{
    const Scale s = GetParam();
    const int f = s.factor;
    const std::pair<unsigned, QSize> sizes[] = {
        { s.picture, QSize(174, 124) * f }, { s.whiteDown, QSize(22, 44) * f },  { s.whiteUp, QSize(22, 44) * f },
        { s.whiteUpRight, QSize(22, 44) * f }, { s.whiteUpBoth, QSize(22, 44) * f },
        { s.whiteUpLeft, QSize(22, 44) * f }, { s.blackDown, QSize(12, 68) * f }, { s.blackUp, QSize(12, 68) * f },
    };
    for (const auto& [id, size] : sizes) {
        CDibPicture picture;
        ASSERT_TRUE(picture.LoadBitmap(id)) << id;
        EXPECT_EQ(picture.GetSize(), size) << id;
        const uint32_t bits = picture.GetDib()->GetBitCount();
        EXPECT_TRUE(bits == 8 || bits == 4) << id;
    }
}

// The pane as the view paints it: the plain picture, then overlays.
class Pane
{
public:
    explicit Pane(const Scale& s)
        : m_s(s)
    {
        for (unsigned id : { s.picture, s.whiteDown, s.whiteUp, s.whiteUpRight, s.whiteUpBoth, s.whiteUpLeft,
                             s.blackDown, s.blackUp })
            EXPECT_TRUE(m_pictures[id].LoadBitmap(id)) << id;
        m_image = QImage(m_pictures[s.picture].GetSize(), QImage::Format_RGB32);
        m_image.fill(Qt::magenta);
        Draw(s.picture, QPoint(0, 0));
    }

    void White(int w, unsigned id) { Draw(id, QPoint(6 + 20 * w, 78) * m_s.factor); }
    void Black(int b, unsigned id) { Draw(id, QPoint(20 + 20 * b, 2) * m_s.factor); }
    const QImage& Image() const { return m_image; }

private:
    void Draw(unsigned id, QPoint at)
    {
        const CDibPicture& picture = m_pictures[id];
        const QRect r(at, picture.GetSize());
        QPainter dc(&m_image);
        picture.Draw(dc, r, r);
    }

    Scale m_s;
    std::map<unsigned, CDibPicture> m_pictures;
    QImage m_image;
};

constexpr int kBlackPositions[] = { 0, 1, 3, 4, 5 };

TEST_P(KeyboardArtwork, ReleasedOverlaysGiveBackThePlainPicture)
{
    const Scale s = GetParam();
    const Pane plain(s);
    Pane released(s);
    for (int w = 0; w < 8; ++w)
        released.White(w, s.whiteUp);
    for (int b : kBlackPositions)
        released.Black(b, s.blackUp);
    EXPECT_EQ(released.Image(), plain.Image());
}

TEST_P(KeyboardArtwork, PressedKeysShowARedDot)
{
    const Scale s = GetParam();
    const Pane plain(s);
    auto redPixels = [](const QImage& image, QRect r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb c = image.pixel(x, y);
                n += qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80;
            }
        return n;
    };
    for (int w = 0; w < 8; ++w) {
        Pane pane(s);
        pane.White(w, s.whiteDown);
        const QRect key(QPoint(6 + 20 * w, 78) * s.factor, QSize(22, 44) * s.factor);
        EXPECT_GT(redPixels(pane.Image(), key), 20 * s.factor * s.factor) << w;
        EXPECT_EQ(redPixels(plain.Image(), key), 0);
    }
    for (int b : kBlackPositions) {
        Pane pane(s);
        pane.Black(b, s.blackDown);
        const QRect key(QPoint(20 + 20 * b, 2) * s.factor, QSize(12, 68) * s.factor);
        EXPECT_GT(redPixels(pane.Image(), key), 12 * s.factor * s.factor) << b;
    }
}

// Releasing a white key next to a held one must leave the held key looking
// held: the neighbour variants carry the held key's edge.
TEST_P(KeyboardArtwork, NeighbourVariantsKeepHeldNeighboursIntact)
{
    const Scale s = GetParam();
    // D (white key 1) released while E (2) is held.
    Pane onlyE(s);
    onlyE.White(2, s.whiteDown);
    Pane pane(s);
    pane.White(1, s.whiteDown);
    pane.White(2, s.whiteDown);
    pane.White(1, s.whiteUpRight);
    EXPECT_EQ(pane.Image(), onlyE.Image());

    // D released while C (0) is held.
    Pane onlyC(s);
    onlyC.White(0, s.whiteDown);
    Pane pane2(s);
    pane2.White(0, s.whiteDown);
    pane2.White(1, s.whiteDown);
    pane2.White(1, s.whiteUpLeft);
    EXPECT_EQ(pane2.Image(), onlyC.Image());

    // D released while C and E are held.
    Pane cAndE(s);
    cAndE.White(0, s.whiteDown);
    cAndE.White(2, s.whiteDown);
    Pane pane3(s);
    pane3.White(0, s.whiteDown);
    pane3.White(2, s.whiteDown);
    pane3.White(1, s.whiteDown);
    pane3.White(1, s.whiteUpBoth);
    EXPECT_EQ(pane3.Image(), cAndE.Image());
}

TEST_P(KeyboardArtwork, NeighbourVariantsDifferOnlyInTheFrontStrip)
{
    const Scale s = GetParam();
    CDibPicture up;
    ASSERT_TRUE(up.LoadBitmap(s.whiteUp));
    const QImage plain = up.GetBitmapHandle().toImage();
    const int stripTop = 40 * s.factor; // the key's front strip: its bottom four rows
    for (unsigned id : { s.whiteUpRight, s.whiteUpBoth, s.whiteUpLeft }) {
        CDibPicture variant;
        ASSERT_TRUE(variant.LoadBitmap(id));
        const QImage image = variant.GetBitmapHandle().toImage();
        EXPECT_EQ(image.copy(0, 0, image.width(), stripTop), plain.copy(0, 0, plain.width(), stripTop)) << id;
        EXPECT_NE(image, plain) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(BothScales, KeyboardArtwork, ::testing::Values(kNormal, kLarge),
                         [](const auto& info) { return info.param.factor == 1 ? "Normal" : "Large"; });

} // namespace
