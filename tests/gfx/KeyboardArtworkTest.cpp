// The keyboard pane's bitmaps as the view uses them: the hit maps find every
// key where the key-area table says and nothing in the gaps, and a released
// white key's neighbour variants leave its held neighbours looking held. The
// sizes, the pressed and released overlays are checked through the pane
// itself (tests/view/KeyboardPaneTest.cpp).
#include "gfx/CDibPicture.h"

#include "gfx/CDib.h"
#include "res/ResourceIds.h"

#include <QPainter>

#include <gtest/gtest.h>

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
    unsigned picture, map, whiteDown, whiteUpRight, whiteUpBoth, whiteUpLeft;
};

class KeyboardArtwork : public ::testing::TestWithParam<Scale> {};

TEST_P(KeyboardArtwork, HitMapFindsEveryKeyAndNothingBetween)
{
    const Scale s = GetParam();
    CDibPicture map;
    ASSERT_TRUE(map.LoadBitmap(s.map));
    ASSERT_EQ(map.GetSize(), QSize(174, 124) * s.factor);
    for (int y = 0; y < 124 * s.factor; ++y)
        for (int x = 0; x < 174 * s.factor; ++x)
            ASSERT_EQ(map.GetPixelIndex(x, y), ExpectedIndex(x / s.factor, y / s.factor)) << x << "," << y;
}

// Releasing D (white key 1) next to a held C (0) and/or E (2), as the view
// paints it: the plain picture, the held keys, D down and then its variant.
TEST_P(KeyboardArtwork, NeighbourVariantsKeepHeldNeighboursIntact)
{
    const Scale s = GetParam();
    auto paint = [&](const std::vector<std::pair<int, unsigned>>& whites) {
        CDibPicture plain;
        EXPECT_TRUE(plain.LoadBitmap(s.picture));
        QImage image(plain.GetSize(), QImage::Format_RGB32);
        QPainter dc(&image);
        plain.Draw(dc, image.rect(), image.rect());
        for (const auto& [w, id] : whites) {
            CDibPicture key;
            EXPECT_TRUE(key.LoadBitmap(id)) << id;
            const QRect r(QPoint(6 + 20 * w, 78) * s.factor, key.GetSize());
            key.Draw(dc, r, r);
        }
        return image;
    };
    const struct {
        std::vector<int> held;
        unsigned variant;
    } cases[] = { { { 2 }, s.whiteUpRight }, { { 0 }, s.whiteUpLeft }, { { 0, 2 }, s.whiteUpBoth } };
    for (const auto& c : cases) {
        std::vector<std::pair<int, unsigned>> held;
        for (int w : c.held)
            held.push_back({ w, s.whiteDown });
        std::vector<std::pair<int, unsigned>> released = held;
        released.push_back({ 1, s.whiteDown });
        released.push_back({ 1, c.variant });
        EXPECT_EQ(paint(released), paint(held)) << c.variant;
    }
}

INSTANTIATE_TEST_SUITE_P(BothScales, KeyboardArtwork,
                         ::testing::Values(Scale{ 1, IDB_KEYBOARD, IDB_KEYBOARD_MAP, IDB_WHITE_DOWN, IDB_WHITE_UP_R,
                                                  IDB_WHITE_UP_LR, IDB_WHITE_UP_LEFT },
                                           Scale{ 2, IDB_KEYBOARD_L, IDB_KEYBOARD_MAP_L, IDB_WHITE_DOWN_L,
                                                  IDB_WHITE_UP_R_L, IDB_WHITE_UP_LR_L, IDB_WHITE_UP_LEFT_L }),
                         [](const auto& info) { return info.param.factor == 1 ? "Normal" : "Large"; });

} // namespace
