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
    for (bool black : { true, false })
        for (const KeyArea& a : kKeyAreas)
            if (a.black == black && x >= a.left && x <= a.right && y >= a.top && y <= a.bottom)
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
    ASSERT_EQ(map.GetSize(), QSize(174, 124) * s.factor);
    EXPECT_EQ(map.GetDib()->GetBitCount(), 8u);
    for (int y = 0; y < 124 * s.factor; ++y)
        for (int x = 0; x < 174 * s.factor; ++x)
            ASSERT_EQ(map.GetPixelIndex(x, y), ExpectedIndex(x / s.factor, y / s.factor)) << x << "," << y;
}

TEST_P(KeyboardArtwork, EveryBitmapHasItsSize)
{
    const Scale s = GetParam();
    const std::pair<unsigned, QSize> sizes[] = {
        { s.picture, QSize(174, 124) }, { s.whiteDown, QSize(22, 44) },   { s.whiteUp, QSize(22, 44) },
        { s.whiteUpRight, QSize(22, 44) }, { s.whiteUpBoth, QSize(22, 44) }, { s.whiteUpLeft, QSize(22, 44) },
        { s.blackDown, QSize(12, 68) },  { s.blackUp, QSize(12, 68) },
    };
    for (const auto& [id, size] : sizes) {
        CDibPicture picture;
        ASSERT_TRUE(picture.LoadBitmap(id)) << id;
        EXPECT_EQ(picture.GetSize(), size * s.factor) << id;
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

    Pane& White(int w, unsigned id) { return Draw(id, QPoint(6 + 20 * w, 78) * m_s.factor); }
    Pane& Black(int b, unsigned id) { return Draw(id, QPoint(20 + 20 * b, 2) * m_s.factor); }
    const QImage& Image() const { return m_image; }

private:
    Pane& Draw(unsigned id, QPoint at)
    {
        const QRect r(at, m_pictures[id].GetSize());
        QPainter dc(&m_image);
        m_pictures[id].Draw(dc, r, r);
        return *this;
    }

    Scale m_s;
    std::map<unsigned, CDibPicture> m_pictures;
    QImage m_image;
};

constexpr int kBlackPositions[] = { 0, 1, 3, 4, 5 };

TEST_P(KeyboardArtwork, ReleasedOverlaysGiveBackThePlainPicture)
{
    const Scale s = GetParam();
    Pane released(s);
    for (int w = 0; w < 8; ++w)
        released.White(w, s.whiteUp);
    for (int b : kBlackPositions)
        released.Black(b, s.blackUp);
    EXPECT_EQ(released.Image(), Pane(s).Image());
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
        const QRect key(QPoint(6 + 20 * w, 78) * s.factor, QSize(22, 44) * s.factor);
        EXPECT_GT(redPixels(Pane(s).White(w, s.whiteDown).Image(), key), 20 * s.factor * s.factor) << w;
        EXPECT_EQ(redPixels(plain.Image(), key), 0);
    }
    for (int b : kBlackPositions) {
        const QRect key(QPoint(20 + 20 * b, 2) * s.factor, QSize(12, 68) * s.factor);
        EXPECT_GT(redPixels(Pane(s).Black(b, s.blackDown).Image(), key), 12 * s.factor * s.factor) << b;
    }
}

// Releasing D (white key 1) next to a held C (0) and/or E (2) must leave the
// held keys looking held: the neighbour variants carry the held key's edge.
TEST_P(KeyboardArtwork, NeighbourVariantsKeepHeldNeighboursIntact)
{
    const Scale s = GetParam();
    const struct {
        std::vector<int> held;
        unsigned variant;
    } cases[] = { { { 2 }, s.whiteUpRight }, { { 0 }, s.whiteUpLeft }, { { 0, 2 }, s.whiteUpBoth } };
    for (const auto& c : cases) {
        Pane onlyHeld(s), pane(s);
        for (int w : c.held) {
            onlyHeld.White(w, s.whiteDown);
            pane.White(w, s.whiteDown);
        }
        pane.White(1, s.whiteDown).White(1, c.variant);
        EXPECT_EQ(pane.Image(), onlyHeld.Image()) << c.variant;
    }
}

INSTANTIATE_TEST_SUITE_P(BothScales, KeyboardArtwork, ::testing::Values(kNormal, kLarge),
                         [](const auto& info) { return info.param.factor == 1 ? "Normal" : "Large"; });

} // namespace
