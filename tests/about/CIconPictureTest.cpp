// CIconPicture: which sources are icons, counts and sizes, loading at a size
// (mask, alpha and PNG images) and drawing over what is beneath, damaged files
// (fuzz/IconFuzz.cpp throws more at it) and the program's own icon group.
#include "about/CIconPicture.h"

#include "about/ModuleResources.h"
#include "gfx/ArtworkResources.h"
#include "gfx/BmpBuilder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace bmptest;

namespace {

constexpr QRgb kBeneath = 0xFF123456;

QByteArray ProgramIcon()
{
    EnsureArtworkResources();
    QFile file(QStringLiteral(":/res/bitmaps/kelvora.ico"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An icon image: the colour rows of s with the height doubled and the AND
// mask rows after them; a 32-bit image gets alpha(x, y) as its fourth bytes.
QByteArray IconImage(const BmpLayout& s, const std::function<bool(int, int)>& masked,
                     const std::function<uint8_t(int, int)>& alpha = [](int, int) { return uint8_t(0); })
{
    QByteArray dib = MakeBmp(s).mid(14);
    const int w = s.width, h = s.height;
    const int stride = ((w * s.bitCount + 31) / 32) * 4;
    const int rows = 40 + 4 * int(s.table.size());
    if (s.bitCount == 32)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                dib[rows + (h - 1 - y) * stride + 4 * x + 3] = char(alpha(x, y));
    PutLe32(dib, 8, uint32_t(2 * h));
    const int maskStride = ((w + 31) / 32) * 4;
    QByteArray mask(maskStride * h, '\0');
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (masked(x, y))
                mask[(h - 1 - y) * maskStride + x / 8] = char(uint8_t(mask[(h - 1 - y) * maskStride + x / 8]) | (0x80 >> (x % 8)));
    return dib + mask;
}

// An .ico file of the given images; every entry says 1 plane, 32 bits.
QByteArray IcoFile(const std::vector<QByteArray>& images)
{
    QByteArray out(6 + 16 * int(images.size()), '\0');
    PutLe16(out, 2, 1);
    PutLe16(out, 4, uint16_t(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const int at = 6 + 16 * int(i);
        PutLe16(out, at + 4, 1);
        PutLe16(out, at + 6, 32);
        PutLe32(out, at + 8, uint32_t(images[i].size()));
        PutLe32(out, at + 12, uint32_t(out.size()));
        out += images[i];
    }
    return out;
}

// 64 x 64, red, with the top-left 8 x 8 square masked out.
QByteArray Red64()
{
    BmpLayout s;
    s.width = s.height = 64;
    s.bitCount = 4;
    s.table = { qRgb(0, 0, 0), qRgb(255, 0, 0) };
    s.clrUsed = 2;
    s.pixel = [](int x, int y) { return uint32_t(x >= 8 || y >= 8); };
    return IconImage(s, [](int x, int y) { return x < 8 && y < 8; });
}

// A monochrome 32 x 32: white with a black left half, transparent bottom row.
QByteArray Mono32()
{
    BmpLayout s;
    s.width = s.height = 32;
    s.bitCount = 1;
    s.table = { qRgb(0, 0, 0), qRgb(255, 255, 255) };
    s.pixel = [](int x, int) { return uint32_t(x >= 16); };
    return IconImage(s, [](int, int y) { return y == 31; });
}

QByteArray Png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage Rendered(const CIconPicture& picture, const QRect& bounds, const QRect& wndBounds)
{
    QImage target(100, 100, QImage::Format_ARGB32_Premultiplied);
    target.fill(kBeneath);
    QPainter dc(&target);
    picture.Render(&dc, bounds, wndBounds);
    dc.end();
    return target;
}

TEST(IconPicture, IcoFilesAreTakenByNameAndHeader)
{
    const QByteArray ico = ProgramIcon();
    ASSERT_FALSE(ico.isEmpty());
    QTemporaryDir dir;
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    };
    QByteArray cursor = ico;
    PutLe16(cursor, 2, 2);
    QByteArray none = ico;
    PutLe16(none, 4, 0);
    QDir(dir.path()).mkdir("folder.ico");

    CIconPicture picture;
    EXPECT_EQ(picture.GetImageCount(write("kelvora.ico", ico), QString()), 3);
    EXPECT_EQ(picture.GetImageCount("  " + write("UPPER.ICO", ico), "\t"), 3); // leading space ignored
    EXPECT_EQ(picture.GetImageCount(write("kelvora.cur", ico), QString()), 0);
    EXPECT_EQ(picture.GetImageCount(write("ico", ico), QString()), 0);
    EXPECT_EQ(picture.GetImageCount(write("cursor.ico", cursor), QString()), 0);
    EXPECT_EQ(picture.GetImageCount(write("none.ico", none), QString()), 0);
    EXPECT_EQ(picture.GetImageCount(write("short.ico", ico.left(5)), QString()), 0);
    EXPECT_EQ(picture.GetImageCount(dir.filePath("folder.ico"), QString()), 0);
    EXPECT_EQ(picture.GetImageCount(dir.filePath("missing.ico"), QString()), 0);
    EXPECT_EQ(picture.GetImageCount(QString(), QString()), 0);
    EXPECT_FALSE(picture.Load(0, dir.filePath("kelvora.cur"), QString()));

    // The program's icon as the artwork generator made it: 16, 32 and 64
    // pixels, each the same picture as its PNG.
    const QString path = dir.filePath("kelvora.ico");
    for (int i = 0; i < 3; ++i) {
        const int side = 16 << i;
        EXPECT_EQ(picture.GetImageSize(i, path, QString()), QSize(side, side));
        ASSERT_TRUE(picture.Load(i, path, QString()));
        EXPECT_EQ(picture.GetIconSize(), QSize(side, side));
        const QImage art = QImage(QStringLiteral(":/res/bitmaps/kelvora-%1.png").arg(side))
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage over(100, 100, QImage::Format_ARGB32_Premultiplied);
        over.fill(kBeneath);
        QPainter(&over).drawImage(0, 0, art);
        EXPECT_EQ(Rendered(picture, QRect(0, 0, side, side), QRect(0, 0, side, side)), over) << side;
    }
}

TEST(IconPicture, ImagesLoadAtTheirOwnOrARequestedSize)
{
    // Entry 0: mask-only 64; 1: monochrome 32; 2: 32-bit whose alpha wins over
    // its mask; 3: 32-bit without alpha, so its mask counts; 4: a PNG of 256.
    BmpLayout argb;
    argb.width = argb.height = 4;
    argb.bitCount = 32;
    argb.pixel = [](int, int) { return 0x00FF00u; };
    QImage big(256, 256, QImage::Format_ARGB32);
    big.fill(qRgba(0, 0, 255, 255));
    const QByteArray ico = IcoFile({ Red64(), Mono32(),
                                     IconImage(argb, [](int, int) { return true; },
                                               [](int x, int) { return uint8_t(x < 2 ? 255 : 0); }),
                                     IconImage(argb, [](int x, int) { return x >= 2; }), Png(big) });
    ASSERT_EQ(CIconPicture::GetFileImageCount(ico), 5);
    const QSize own[] = { { 64, 64 }, { 32, 32 }, { 4, 4 }, { 4, 4 }, { 256, 256 } };
    CIconPicture picture;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(CIconPicture::GetFileImageSize(i, ico), own[i]) << i;
        ASSERT_TRUE(picture.LoadFromFileImage(i, ico, 0, 0)) << i;
        EXPECT_EQ(picture.GetIconSize(), own[i]) << i; // the monochrome mask's 64 rows are not the size
        ASSERT_TRUE(picture.LoadFromFileImage(i, ico, 24, 40)) << i;
        EXPECT_EQ(picture.GetIconSize(), QSize(24, 40)) << i;
        ASSERT_TRUE(picture.LoadFromFileImage(i, ico, 0, 20)) << i;
        EXPECT_EQ(picture.GetIconSize(), QSize(own[i].width(), 20)) << i;
    }

    ASSERT_TRUE(picture.LoadFromFileImage(1, ico));
    QImage shown = Rendered(picture, QRect(0, 0, 32, 32), QRect(0, 0, 32, 32));
    EXPECT_EQ(shown.pixel(3, 3), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(20, 3), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(20, 31), kBeneath);
    for (int i : { 2, 3 }) {
        ASSERT_TRUE(picture.LoadFromFileImage(i, ico));
        shown = Rendered(picture, QRect(0, 0, 4, 4), QRect(0, 0, 4, 4));
        EXPECT_EQ(shown.pixel(1, 1), qRgb(0, 255, 0)) << i;
        EXPECT_EQ(shown.pixel(3, 1), kBeneath) << i;
    }
    ASSERT_TRUE(picture.LoadFromFileImage(4, ico, 64, 64));
    EXPECT_EQ(Rendered(picture, QRect(0, 0, 64, 64), QRect(0, 0, 64, 64)).pixel(30, 30), qRgb(0, 0, 255));

    // Drawn over what is beneath: an empty picture draws nothing; at its own
    // size the masked corner shows what was there.
    QImage untouched(100, 100, QImage::Format_ARGB32_Premultiplied);
    untouched.fill(kBeneath);
    EXPECT_EQ(Rendered(CIconPicture(), QRect(10, 10, 64, 64), QRect(10, 10, 64, 64)), untouched);
    ASSERT_TRUE(picture.LoadFromFileImage(0, ico));
    const QRgb red = qRgb(255, 0, 0);
    shown = Rendered(picture, QRect(10, 10, 64, 64), QRect(10, 10, 64, 64));
    EXPECT_EQ(shown.pixel(12, 12), kBeneath);
    EXPECT_EQ(shown.pixel(73, 73), red);
    EXPECT_EQ(shown.pixel(74, 74), kBeneath);
    // Bounds of 48 x 48: stretched, at the window bounds' corner.
    shown = Rendered(picture, QRect(0, 0, 48, 48), QRect(10, 10, 64, 64));
    EXPECT_EQ(shown.pixel(55, 55), red);
    EXPECT_EQ(shown.pixel(60, 60), kBeneath);
    EXPECT_EQ(shown.pixel(12, 12), kBeneath);
    // Nothing outside the window bounds.
    shown = Rendered(picture, QRect(10, 10, 64, 64), QRect(10, 10, 32, 32));
    EXPECT_EQ(shown.pixel(40, 40), red);
    EXPECT_EQ(shown.pixel(45, 45), kBeneath);
    EXPECT_EQ(Rendered(picture, QRect(10, 10, 64, 64), QRect()), untouched);
}

// Each damage on its own: the load fails and empties the picture, the size
// and count say nothing, and nothing is read outside the file.
TEST(IconPicture, DamagedIconsLoadNothing)
{
    const QByteArray good = IcoFile({ Red64(), Mono32() });
    const int entry1 = 6 + 16;
    auto damaged = [&](const std::function<void(QByteArray&)>& harm) {
        QByteArray b = good;
        harm(b);
        return b;
    };
    QImage wide(CIconPicture::kMaxIconSide + 1, 8, QImage::Format_ARGB32);
    wide.fill(0);
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        { "byte count 0", damaged([&](QByteArray& b) { PutLe32(b, entry1 + 8, 0); }) },
        { "mask cut short", damaged([&](QByteArray& b) { PutLe32(b, entry1 + 8, Le32(b, entry1 + 8) - 4); }) },
        { "byte count of 4 GB", damaged([&](QByteArray& b) { PutLe32(b, entry1 + 8, 0xFFFFFFFFu); }) },
        { "offset past the end", damaged([&](QByteArray& b) { PutLe32(b, entry1 + 12, uint32_t(b.size())); }) },
        { "offset wraps", damaged([&](QByteArray& b) { PutLe32(b, entry1 + 12, 0xFFFFFFF0u); }) },
        { "huge width", damaged([&](QByteArray& b) { PutLe32(b, int(Le32(b, entry1 + 12)) + 4, 0x7FFFFFFF); }) },
        { "negative height", damaged([&](QByteArray& b) { PutLe32(b, int(Le32(b, entry1 + 12)) + 8, uint32_t(-64)); }) },
        { "PNG wider than any icon", IcoFile({ Red64(), Png(wide) }) },
    };
    CIconPicture picture;
    for (const auto& [what, bytes] : cases) {
        ASSERT_TRUE(picture.LoadFromFileImage(0, good)) << what;
        EXPECT_FALSE(picture.LoadFromFileImage(1, bytes)) << what;
        EXPECT_FALSE(picture.IsIcon()) << what;
        EXPECT_EQ(picture.GetIconSize(), QSize(0, 0)) << what;
    }
    // Beyond the count, or a count larger than the directory holds.
    const QByteArray tooMany = damaged([](QByteArray& b) { PutLe16(b, 4, 40); });
    for (const auto& [index, bytes] : { std::pair{ 2, good }, { -1, good }, { 39, tooMany } }) {
        EXPECT_FALSE(picture.LoadFromFileImage(index, bytes)) << index;
        EXPECT_EQ(CIconPicture::GetFileImageSize(index, bytes), QSize(0, 0)) << index;
    }
    EXPECT_EQ(CIconPicture::GetFileImageSize(1, cases[0].second), QSize(0, 0));
    // Requested sizes beyond any icon, or negative.
    for (auto [w, h] : { std::pair{ 100000, 64 }, { 64, CIconPicture::kMaxIconSide + 1 }, { -1, 0 } })
        EXPECT_FALSE(picture.LoadFromFileImage(0, good, w, h)) << w << "x" << h;
    // Every truncation of a good file fails cleanly until the whole last image is there.
    for (int n = 0; n < good.size(); ++n)
        EXPECT_FALSE(picture.LoadFromFileImage(1, good.left(n))) << n;
}

// The program's icon group 127 in a program file of ours, named or not (the
// about box shows this program's own: tests/about/CAboutDlgTest.cpp).
TEST(IconPicture, OwnIconGroupReadsFromTheProgramFile)
{
    CIconPicture picture;
    const QString self = QCoreApplication::applicationFilePath();
    EXPECT_EQ(picture.GetImageCount(self, " #127"), 3);
    EXPECT_EQ(picture.GetImageSize(2, self, "#127"), QSize(64, 64));
    EXPECT_FALSE(picture.Load(3, QString(), "#127"));
    for (const auto& [file, group] : {std::pair{QString(), "#999"}, {self + ".missing", "#127"}})
        EXPECT_EQ(picture.GetImageCount(file, group), 0) << group;
}

} // namespace
