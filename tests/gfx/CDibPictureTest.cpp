// CDibPicture: loading by id, drawing 1:1 and stretched, the pixmap for a
// label, and what an empty picture does.
#include "gfx/CDibPicture.h"

#include "gfx/BmpBuilder.h"
#include "gfx/CDib.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace bmptest;

namespace {

constexpr QRgb kUntouched = 0xFF123456;

QRgb SmallPixel(int x, int y) { return qRgb(40 + 50 * x, 30 + 60 * y, 99); }

// 4 x 3, every pixel its own colour.
QByteArray SmallPicture()
{
    BmpLayout s;
    s.width = 4;
    s.height = 3;
    s.bitCount = 24;
    s.pixel = [](int x, int y) { return SmallPixel(x, y) & 0xFFFFFFu; };
    return MakeBmp(s);
}

// A 20 x 16 target after drawing picture from source into dest.
QImage Drawn(const CDibPicture& picture, const QRect& dest, const QRect& source)
{
    QImage image(20, 16, QImage::Format_RGB32);
    image.fill(kUntouched);
    QPainter dc(&image);
    picture.Draw(dc, dest, source);
    return image;
}

// Counts pixels outside r that were painted.
int PaintedOutside(const QImage& image, const QRect& r)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += !r.contains(x, y) && image.pixel(x, y) != kUntouched;
    return n;
}

TEST(DibPicture, LoadsProgramBitmapsAndForgetsOnFailure)
{
    CDibPicture picture;
    ASSERT_TRUE(picture.LoadBitmap(301u));
    ASSERT_TRUE(picture.LoadBitmap(307u)); // reloading switches scale
    EXPECT_EQ(picture.GetSize(), QSize(348, 248));
    // An id that is no bitmap of ours, or a damaged block: false, and the old picture is gone.
    for (bool byId : { true, false }) {
        ASSERT_TRUE(picture.LoadBitmap(SmallPicture()));
        EXPECT_FALSE(byId ? picture.LoadBitmap(4242u) : picture.LoadBitmap(SmallPicture().left(60)));
        EXPECT_TRUE(picture.IsEmpty());
    }
    ASSERT_TRUE(picture.LoadBitmap(SmallPicture()));
    EXPECT_TRUE(picture.Free());
    EXPECT_TRUE(picture.IsEmpty());
}

TEST(DibPicture, DrawsOneToOneOrStretched)
{
    CDibPicture picture;
    ASSERT_TRUE(picture.LoadBitmap(SmallPicture()));
    // The picture's size, or twice it: every picture pixel becomes f x f, and nothing is painted outside.
    for (int f : { 1, 2 }) {
        const QRect dest(5, 7, 4 * f, 3 * f);
        const QImage target = Drawn(picture, dest, dest);
        for (int y = 0; y < dest.height(); ++y)
            for (int x = 0; x < dest.width(); ++x)
                EXPECT_EQ(target.pixel(5 + x, 7 + y), SmallPixel(x / f, y / f)) << x << "," << y << " x" << f;
        EXPECT_EQ(PaintedOutside(target, dest), 0);
    }

    // Only the source's size is copied, from the picture's own corner,
    // wherever the source rectangle lies; never more than the picture.
    const QRect dest(5, 7, 4, 3);
    QImage target = Drawn(picture, dest, QRect(100, 100, 2, 1));
    EXPECT_EQ(target.pixel(6, 7), SmallPixel(1, 0));
    EXPECT_EQ(PaintedOutside(target, QRect(5, 7, 2, 1)), 0);
    EXPECT_EQ(PaintedOutside(Drawn(picture, dest, QRect(0, 0, 12, 12)), dest), 0);

    // One pixel wider: the whole picture is stretched to fill it.
    const QRect wider(2, 2, 5, 3);
    target = Drawn(picture, wider, wider);
    EXPECT_EQ(PaintedOutside(target, wider), 0);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(target.pixel(2, 2 + y), SmallPixel(0, y));
        EXPECT_EQ(target.pixel(6, 2 + y), SmallPixel(3, y)); // the last column reaches the edge
        for (int x = 0; x < 5; ++x)
            EXPECT_NE(target.pixel(2 + x, 2 + y), kUntouched);
    }
    // Stretched, then only source's size of the result reaches the target.
    target = Drawn(picture, QRect(1, 1, 8, 6), QRect(0, 0, 3, 2));
    EXPECT_EQ(PaintedOutside(target, QRect(1, 1, 3, 2)), 0);
    EXPECT_EQ(target.pixel(3, 2), SmallPixel(1, 0));
}

// Nothing is drawn by an empty picture or into a degenerate rectangle; the
// pixmap for a label keeps colour pictures and makes 1-bit ones black and white.
TEST(DibPicture, EmptyDegenerateAndLabelPixmaps)
{
    CDibPicture picture;
    EXPECT_EQ(PaintedOutside(Drawn(picture, QRect(0, 0, 20, 16), QRect(0, 0, 20, 16)), QRect()), 0);
    EXPECT_TRUE(picture.GetBitmapHandle().isNull());
    EXPECT_EQ(picture.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(picture.GetNearestIndex(qRgb(0, 0, 0)), 0);

    ASSERT_TRUE(picture.LoadBitmap(SmallPicture()));
    for (auto [dest, source] : { std::pair{ QRect(3, 3, 0, 5), QRect(0, 0, 4, 3) },
                                 { QRect(3, 3, 4, 3), QRect(0, 0, 0, 0) }, { QRect(3, 3, -4, 3), QRect(0, 0, 4, 3) } })
        EXPECT_EQ(PaintedOutside(Drawn(picture, dest, source), QRect()), 0);
    const QImage colour = picture.GetBitmapHandle().toImage();
    ASSERT_EQ(colour.size(), QSize(4, 3));
    EXPECT_EQ(colour.pixel(3, 2), SmallPixel(3, 2));

    // Black for index 0 and white for index 1, whatever two colours the table holds.
    BmpLayout mono;
    mono.width = 3;
    mono.bitCount = 1;
    mono.table = { qRgb(0, 160, 0), qRgb(0, 0, 160) };
    mono.pixel = [](int x, int) { return uint32_t(x == 1); };
    ASSERT_TRUE(picture.LoadBitmap(MakeBmp(mono)));
    const QImage bw = picture.GetBitmapHandle().toImage().convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(bw.pixel(x, 0), x == 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) << x;
}

} // namespace
