// CDib: reading BMP blocks of every depth and layout, refusing damaged ones,
// the stored form, hit-test indexes and the monochrome export.
#include "gfx/CDib.h"

#include "gfx/BmpBuilder.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>

#include <gtest/gtest.h>

#include <array>
#include <climits>

using namespace bmptest;

namespace {

// A pattern that uses every colour-table entry of a 1- or 4-bit picture and
// changes when the rows are turned upside down.
uint32_t Pattern(int x, int y, int bitCount)
{
    if (bitCount <= 8)
        return uint32_t(x * 3 + y * 5 + (y >= 3)) % (1u << bitCount);
    return uint32_t(x * 19 + 1) << 16 | uint32_t(y * 41 + 3) << 8 | uint32_t(x * y + 7);
}

BmpSpec PatternSpec(int bitCount, bool topDown)
{
    BmpSpec s;
    s.width = 13; // pads every row, at every depth
    s.height = topDown ? -5 : 5;
    s.bitCount = bitCount;
    if (bitCount <= 8)
        s.table = Ramp(1 << bitCount);
    s.pixel = [bitCount](int x, int y) { return Pattern(x, y, bitCount); };
    return s;
}

QRgb Expected(const BmpSpec& s, int x, int y)
{
    const uint32_t v = s.pixel(x, y);
    return s.bitCount <= 8 ? s.table[v] : (0xFF000000u | v);
}

class DibDepths : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(DibDepths, EveryPixelReadsBackInPlace)
{
    const auto [bitCount, topDown] = GetParam();
    const BmpSpec picture = PatternSpec(bitCount, topDown);
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(picture)));
    EXPECT_EQ(dib.GetSize(), QSize(13, 5));
    EXPECT_EQ(dib.GetBitCount(), uint32_t(bitCount));
    EXPECT_EQ(dib.NumColors(), bitCount <= 8 ? 1 << bitCount : 0);
    int32_t w = 0, h = 0;
    dib.GetDimensions(w, h);
    EXPECT_EQ(w, 13);
    EXPECT_EQ(h, topDown ? -5 : 5);

    const QImage& image = dib.GetImage();
    ASSERT_EQ(image.size(), QSize(13, 5));
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 13; ++x) {
            QRgb c = 0;
            ASSERT_TRUE(dib.GetPixelColor(x, y, c));
            EXPECT_EQ(c, Expected(picture, x, y)) << x << "," << y;
            EXPECT_EQ(image.pixel(x, y), Expected(picture, x, y)) << x << "," << y;
            if (bitCount <= 8) { // the table is all distinct colours
                EXPECT_EQ(dib.GetPixelIndex(x, y), picture.pixel(x, y)) << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, DibDepths,
                         ::testing::Combine(::testing::Values(1, 4, 8, 24, 32), ::testing::Bool()));

TEST(Dib, PixelIndexIsTheNearestPaletteEntry)
{
    BmpSpec s;
    s.width = 4;
    s.height = 1;
    s.table = Ramp(256);
    s.table[7] = s.table[3];            // 7 repeats 3: a hit on 7 reads as 3
    s.table[9] = qRgb(200, 10, 10);
    s.table[10] = qRgb(203, 12, 9);     // close to 9, but its own colour
    s.pixel = [](int x, int) { return std::array<uint32_t, 4>{ 7, 3, 10, 9 }[size_t(x)]; };
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(s)));
    EXPECT_EQ(dib.GetPixelIndex(0, 0), 3);
    EXPECT_EQ(dib.GetPixelIndex(1, 0), 3);
    EXPECT_EQ(dib.GetPixelIndex(2, 0), 10);
    EXPECT_EQ(dib.GetPixelIndex(3, 0), 9);
    // Outside the picture there is no pixel.
    EXPECT_EQ(dib.GetPixelIndex(-1, 0), 0);
    EXPECT_EQ(dib.GetPixelIndex(4, 0), 0);
    EXPECT_EQ(dib.GetPixelIndex(0, 1), 0);
    EXPECT_EQ(dib.GetNearestIndex(qRgb(201, 11, 10)), 9);
}

TEST(Dib, ShortTableAndTrueColourHitTests)
{
    // An 8-bit picture with a table of 4: a pixel value past the table shows
    // black and matches the entry nearest to black, never memory after it.
    BmpSpec shortTable;
    shortTable.width = 2;
    shortTable.table = { qRgb(250, 250, 250), qRgb(10, 10, 12), qRgb(0, 200, 0), qRgb(0, 0, 200) };
    shortTable.clrUsed = 4;
    shortTable.pixel = [](int x, int) { return x ? 200u : 2u; };
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(shortTable)));
    EXPECT_EQ(dib.NumColors(), 4);
    EXPECT_EQ(dib.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(dib.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(dib.GetImage().pixel(1, 0), qRgb(0, 0, 0));

    // 24 bits with a colour table given by biClrUsed: matched against it.
    BmpSpec rgb;
    rgb.width = 2;
    rgb.bitCount = 24;
    rgb.table = { qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255) };
    rgb.clrUsed = 3;
    rgb.pixel = [](int x, int) { return x ? 0x1010E0u : 0xF02020u; };
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(rgb)));
    EXPECT_EQ(dib.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(dib.GetPixelIndex(1, 0), 2);

    // Without a table there is nothing to match: 0.
    rgb.table.clear();
    rgb.clrUsed = 0;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(rgb)));
    EXPECT_EQ(dib.NumColors(), 0);
    EXPECT_EQ(dib.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(dib.GetNearestIndex(qRgb(1, 2, 3)), 0);
}

// Every way a block can lie about itself must end in an empty object.
TEST(Dib, DamagedBlocksLoadNothing)
{
    const QByteArray good = MakeBmp(PatternSpec(8, false));
    auto damaged = [&](const std::function<void(QByteArray&)>& harm) {
        QByteArray b = good;
        harm(b);
        return b;
    };
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        { "empty", QByteArray() },
        { "not BM", damaged([](QByteArray& b) { b[0] = 'X'; }) },
        { "zero width", damaged([](QByteArray& b) { PutLe32(b, kBiWidth, 0); }) },
        { "negative width", damaged([](QByteArray& b) { PutLe32(b, kBiWidth, uint32_t(-13)); }) },
        { "zero height", damaged([](QByteArray& b) { PutLe32(b, kBiHeight, 0); }) },
        { "most negative height", damaged([](QByteArray& b) { PutLe32(b, kBiHeight, uint32_t(INT_MIN)); }) },
        { "huge width", damaged([](QByteArray& b) { PutLe32(b, kBiWidth, 0x7FFFFFFF); }) },
        { "huge both", damaged([](QByteArray& b) { PutLe32(b, kBiWidth, 65535); PutLe32(b, kBiHeight, 65535); }) },
        { "rows past the end", damaged([](QByteArray& b) { PutLe32(b, kBiHeight, 6); }) },
        { "offset past the end", damaged([](QByteArray& b) { PutLe32(b, kBfOffBits, uint32_t(b.size() + 1)); }) },
        { "offset into the table", damaged([](QByteArray& b) { PutLe32(b, kBfOffBits, 60); }) },
        { "offset wraps", damaged([](QByteArray& b) { PutLe32(b, kBfOffBits, 0xFFFFFFF0u); }) },
        { "info size past the end", damaged([](QByteArray& b) { PutLe32(b, kBiSize, 0x10028); }) },
        { "info size too small", damaged([](QByteArray& b) { PutLe32(b, kBiSize, 12); }) },
        { "257 colours", damaged([](QByteArray& b) { PutLe32(b, kBiClrUsed, 257); }) },
        { "65536 colours (a 16-bit count of 0)", damaged([](QByteArray& b) { PutLe32(b, kBiClrUsed, 65536); }) },
        { "table larger than the block", damaged([](QByteArray& b) { PutLe16(b, kBiBitCount, 8); b.truncate(54 + 500); }) },
        { "16 bits per pixel", damaged([](QByteArray& b) { PutLe16(b, kBiBitCount, 16); }) },
        { "0 bits per pixel", damaged([](QByteArray& b) { PutLe16(b, kBiBitCount, 0); }) },
        { "run-length encoded", damaged([](QByteArray& b) { PutLe32(b, kBiCompression, 1); }) },
        { "two planes", damaged([](QByteArray& b) { PutLe16(b, kBiPlanes, 2); }) },
    };
    CDib dib;
    for (const auto& [what, bytes] : cases) {
        ASSERT_TRUE(dib.LoadFromFileImage(good)) << what;
        EXPECT_FALSE(dib.LoadFromFileImage(bytes)) << what;
        EXPECT_TRUE(dib.IsEmpty()) << what;
        EXPECT_EQ(dib.GetSize(), QSize(0, 0)) << what;
        EXPECT_TRUE(dib.GetImage().isNull()) << what;
        EXPECT_EQ(dib.GetPixelIndex(0, 0), 0) << what;
    }
    // Every truncation of a good file fails cleanly.
    for (int n = 0; n < good.size(); ++n)
        EXPECT_FALSE(dib.LoadFromFileImage(good.left(n))) << n;
}

TEST(Dib, HeaderIsMadeConsistentOnLoad)
{
    // Writers often leave bfSize 0; the held block says what it really is.
    QByteArray bytes = MakeBmp(PatternSpec(4, false));
    PutLe32(bytes, kBfSize, 0);
    bytes.append("trailing", 8);
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(bytes));
    EXPECT_EQ(Le32(dib.GetBlock(), kBfSize), uint32_t(bytes.size()));
    EXPECT_EQ(dib.GetBlock().size(), bytes.size());
}

TEST(Dib, PackedDibGetsAFileHeader)
{
    const BmpSpec picture = PatternSpec(4, true);
    const QByteArray file = MakeBmp(picture);
    CDib dib;
    ASSERT_TRUE(dib.LoadFromPackedDib(file.mid(14)));
    EXPECT_EQ(dib.GetBlock(), file); // the same bytes as the file it came from
    EXPECT_EQ(dib.GetImage().pixel(12, 4), Expected(picture, 12, 4));
    EXPECT_FALSE(dib.LoadFromPackedDib(file.mid(14, 39)));
    EXPECT_TRUE(dib.IsEmpty());
}

QByteArray Stored(const CDib& dib, QDataStream::ByteOrder order)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream ar(&buffer);
    ar.setByteOrder(order);
    EXPECT_TRUE(const_cast<CDib&>(dib).Serialize(ar, true));
    EXPECT_EQ(ar.byteOrder(), order);
    return bytes;
}

bool LoadStored(CDib& dib, const QByteArray& bytes, QDataStream::Status* status = nullptr)
{
    QDataStream ar(bytes);
    const bool ok = dib.Serialize(ar, false);
    if (status)
        *status = ar.status();
    return ok;
}

TEST(Dib, StoredFormRoundTrip)
{
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(PatternSpec(8, false))));
    // Little-endian whatever the stream's own order (QDataStream's default is big).
    for (auto order : { QDataStream::BigEndian, QDataStream::LittleEndian }) {
        const QByteArray stored = Stored(dib, order);
        ASSERT_EQ(stored.size(), 6 + dib.GetBlock().size());
        EXPECT_EQ(stored.left(2), QByteArray("BA"));
        EXPECT_EQ(Le32(stored, 2), uint32_t(dib.GetBlock().size()));
        EXPECT_EQ(stored.mid(6), dib.GetBlock());

        CDib back;
        ASSERT_TRUE(LoadStored(back, stored));
        EXPECT_EQ(back.GetBlock(), dib.GetBlock());
        EXPECT_EQ(back.GetPixelIndex(3, 2), dib.GetPixelIndex(3, 2));
        EXPECT_EQ(back.GetPalette(), dib.GetPalette());
    }
    // An empty object stores a zero size, which reads back as nothing.
    CDib empty, back;
    EXPECT_FALSE(LoadStored(back, Stored(empty, QDataStream::LittleEndian)));
    EXPECT_TRUE(back.IsEmpty());
}

TEST(Dib, DamagedStoredFormsLoadNothing)
{
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(PatternSpec(1, false))));
    const QByteArray good = Stored(dib, QDataStream::LittleEndian);

    QDataStream::Status status = QDataStream::Ok;
    QByteArray wrongMarker = good;
    wrongMarker[0] = 'M'; // "MA": looks like a BMP type word backwards
    EXPECT_FALSE(LoadStored(dib, wrongMarker, &status));
    EXPECT_EQ(status, QDataStream::ReadCorruptData);
    EXPECT_TRUE(dib.IsEmpty());

    QByteArray huge = good;
    PutLe32(huge, 2, 0xFFFFFFF0u); // refused before anything is allocated
    EXPECT_FALSE(LoadStored(dib, huge, &status));
    EXPECT_EQ(status, QDataStream::ReadCorruptData);

    QByteArray longer = good;
    PutLe32(longer, 2, uint32_t(good.size() + 100000)); // more than the stream holds
    EXPECT_FALSE(LoadStored(dib, longer, &status));
    EXPECT_EQ(status, QDataStream::ReadPastEnd);
    EXPECT_TRUE(dib.IsEmpty());

    QByteArray notABitmap = good;
    notABitmap[6] = 'X';
    EXPECT_FALSE(LoadStored(dib, notABitmap, &status));
    EXPECT_EQ(status, QDataStream::ReadCorruptData);

    EXPECT_FALSE(LoadStored(dib, good.left(5)));
    EXPECT_FALSE(LoadStored(dib, good.left(good.size() - 1)));
    EXPECT_TRUE(dib.IsEmpty());
}

TEST(Dib, MonochromeExportKeepsIndicesAndTable)
{
    BmpSpec s;
    s.width = 19;
    s.height = 3;
    s.bitCount = 1;
    s.table = { qRgb(255, 255, 255), qRgb(200, 0, 0) }; // index 0 is white here
    s.pixel = [](int x, int y) { return uint32_t((x + y) % 3 == 0); };
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(s)));
    const QByteArray blockBefore = dib.GetBlock();

    const QImage mono = dib.CreateDeviceImage();
    ASSERT_EQ(mono.format(), QImage::Format_Mono);
    ASSERT_EQ(mono.size(), QSize(19, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 19; ++x)
            EXPECT_EQ(uint32_t(mono.pixelIndex(x, y)), s.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(mono.color(0), qRgb(0, 0, 0));
    EXPECT_EQ(mono.color(1), qRgb(255, 255, 255));

    EXPECT_EQ(dib.GetBlock(), blockBefore);
    QRgb first = 0, second = 0;
    ASSERT_TRUE(dib.GetMonoColors(first, second));
    EXPECT_EQ(first, qRgb(255, 255, 255));
    EXPECT_EQ(second, qRgb(200, 0, 0));
}

TEST(Dib, MonoColoursOnlyForTwoColourBitmaps)
{
    BmpSpec s;
    s.width = 2;
    s.bitCount = 1;
    s.table = { qRgb(0, 0, 0), qRgb(255, 255, 255) };
    s.pixel = [](int x, int) { return uint32_t(x); };
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(s)));
    dib.SetMonoColors(qRgb(10, 20, 30), qRgb(40, 50, 60));
    QRgb first = 0, second = 0;
    ASSERT_TRUE(dib.GetMonoColors(first, second));
    EXPECT_EQ(first, qRgb(10, 20, 30));
    EXPECT_EQ(second, qRgb(40, 50, 60));
    // Written to the block as blue, green, red, 0, and seen when drawing.
    EXPECT_EQ(dib.GetBlock().mid(54, 8), QByteArray("\x1e\x14\x0a\x00\x3c\x32\x28\x00", 8));
    EXPECT_EQ(dib.GetImage().pixel(1, 0), qRgb(40, 50, 60));

    // A 1-bit DIB declaring a one-entry table has no second colour to touch.
    s.table = { qRgb(1, 2, 3) };
    s.clrUsed = 1;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(s)));
    EXPECT_FALSE(dib.GetMonoColors(first, second));
    const QByteArray before = dib.GetBlock();
    dib.SetMonoColors(qRgb(9, 9, 9), qRgb(9, 9, 9));
    EXPECT_EQ(dib.GetBlock(), before);

    // Other depths: nothing.
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(PatternSpec(8, false))));
    EXPECT_FALSE(dib.GetMonoColors(first, second));
    const QByteArray eightBit = dib.GetBlock();
    dib.SetMonoColors(qRgb(9, 9, 9), qRgb(9, 9, 9));
    EXPECT_EQ(dib.GetBlock(), eightBit);
}

TEST(Dib, EmptyObjectAnswersNothing)
{
    CDib dib;
    int32_t w = 1, h = 1;
    dib.GetDimensions(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_TRUE(dib.CreateDeviceImage().isNull());
    QRgb a = 0, b = 0;
    EXPECT_FALSE(dib.GetMonoColors(a, b));
    EXPECT_FALSE(dib.LoadFromResource(QString()));
    EXPECT_FALSE(dib.LoadFromResource(99999u));
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter p(&target);
    EXPECT_FALSE(dib.Draw(p, 0, 0));
    EXPECT_FALSE(dib.StretchDraw(p, 0, 0, 4, 4));
}

} // namespace
