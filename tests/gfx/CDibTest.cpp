// CDib: reading BMP blocks of every depth and layout, refusing damaged ones
// (fuzz/DibFuzz.cpp throws more at it), the stored form, hit-test indexes
// and the monochrome export.
#include "gfx/CDib.h"

#include "gfx/BmpBuilder.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>

#include <gtest/gtest.h>

#include <climits>

using namespace bmptest;

namespace {

// 13 pixels wide (every row padded, at every depth), with a pattern that uses
// every table entry of a 1- or 4-bit picture and changes when turned upside down.
BmpLayout PatternLayout(int bitCount, bool topDown)
{
    BmpLayout s;
    s.width = 13;
    s.height = topDown ? -5 : 5;
    s.bitCount = bitCount;
    if (bitCount <= 8)
        s.table = Ramp(1 << bitCount);
    s.pixel = [bitCount](int x, int y) {
        if (bitCount <= 8)
            return uint32_t(x * 3 + y * 5 + (y >= 3)) % (1u << bitCount);
        return uint32_t(x * 19 + 1) << 16 | uint32_t(y * 41 + 3) << 8 | uint32_t(x * y + 7);
    };
    return s;
}

class DibDepths : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(DibDepths, EveryPixelReadsBackInPlace)
{
    const auto [bitCount, topDown] = GetParam();
    const BmpLayout s = PatternLayout(bitCount, topDown);
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(s)));
    EXPECT_EQ(dib.GetBitCount(), uint32_t(bitCount));
    ASSERT_EQ(dib.GetImage().size(), QSize(13, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) {
            const QRgb want = bitCount <= 8 ? s.table[s.pixel(x, y)] : (0xFF000000u | s.pixel(x, y));
            EXPECT_EQ(dib.GetImage().pixel(x, y), want) << x << "," << y;
            if (bitCount <= 8) { // the table is all distinct colours
                EXPECT_EQ(dib.GetPixelIndex(x, y), s.pixel(x, y)) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, DibDepths,
                         ::testing::Combine(::testing::Values(1, 4, 8, 24, 32), ::testing::Bool()));

// A row of pixels and the index each hit-tests as: the nearest table entry.
TEST(Dib, PixelIndexIsTheNearestTableEntry)
{
    auto row = [](int bitCount, std::vector<QRgb> table, uint32_t clrUsed, std::vector<uint32_t> pixels) {
        BmpLayout s;
        s.width = int(pixels.size());
        s.bitCount = bitCount;
        s.table = std::move(table);
        s.clrUsed = clrUsed;
        s.pixel = [pixels](int x, int) { return pixels[size_t(x)]; };
        return s;
    };
    std::vector<QRgb> ramp = Ramp(256);
    ramp[7] = ramp[3];             // 7 repeats 3: a hit on 7 reads as 3
    ramp[9] = qRgb(200, 10, 10);
    ramp[10] = qRgb(203, 12, 9);   // close to 9, but its own colour
    const QRgb rgb[] = { qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255) };
    const struct {
        const char* what;
        BmpLayout s;
        std::vector<int> indexes;
    } cases[] = {
        { "repeats and near colours", row(8, ramp, 0, { 7, 3, 10, 9 }), { 3, 3, 10, 9 } },
        // A value past a short table matches the entry nearest black, never memory after it.
        { "short table", row(8, { qRgb(250, 250, 250), qRgb(10, 10, 12), qRgb(0, 200, 0) }, 3, { 2, 200 }), { 2, 1 } },
        { "24 bits with a table", row(24, { rgb, rgb + 3 }, 3, { 0xF02020u, 0x1010E0u }), { 1, 2 } },
        { "24 bits without a table", row(24, {}, 0, { 0xF02020u }), { 0 } },
    };
    for (const auto& c : cases) {
        CDib dib;
        ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(c.s))) << c.what;
        for (size_t x = 0; x < c.indexes.size(); ++x)
            EXPECT_EQ(dib.GetPixelIndex(int(x), 0), c.indexes[x]) << c.what << " " << x;
        // Outside the picture there is no pixel.
        for (auto [x, y] : { std::pair{ -1, 0 }, { int(c.indexes.size()), 0 }, { 0, 1 } })
            EXPECT_EQ(dib.GetPixelIndex(x, y), 0) << c.what;
    }
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(cases[0].s)));
    EXPECT_EQ(dib.GetNearestIndex(qRgb(201, 11, 10)), 9);
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(cases[1].s)));
    EXPECT_EQ(dib.GetImage().pixel(1, 0), qRgb(0, 0, 0)); // past the table shows black
    ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(cases[3].s)));
    EXPECT_EQ(dib.GetNearestIndex(qRgb(1, 2, 3)), 0);
}

// Every way a block can lie about itself must end in an empty object.
TEST(Dib, DamagedBlocksLoadNothing)
{
    const QByteArray good = MakeBmp(PatternLayout(8, false));
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
        { "offset past the end", damaged([](QByteArray& b) { PutLe32(b, kBfOffBits, uint32_t(b.size() + 1)); }) },
        { "offset into the table", damaged([](QByteArray& b) { PutLe32(b, kBfOffBits, 60); }) },
        { "offset wraps", damaged([](QByteArray& b) { PutLe32(b, kBfOffBits, 0xFFFFFFF0u); }) },
        { "info size past the end", damaged([](QByteArray& b) { PutLe32(b, kBiSize, 0x10028); }) },
        { "info size too small", damaged([](QByteArray& b) { PutLe32(b, kBiSize, 12); }) },
        { "257 colours", damaged([](QByteArray& b) { PutLe32(b, kBiClrUsed, 257); }) },
        { "65536 colours (a 16-bit count of 0)", damaged([](QByteArray& b) { PutLe32(b, kBiClrUsed, 65536); }) },
        { "16 bits per pixel", damaged([](QByteArray& b) { PutLe16(b, kBiBitCount, 16); }) },
        { "0 bits per pixel", damaged([](QByteArray& b) { PutLe16(b, kBiBitCount, 0); }) },
        { "run-length encoded", damaged([](QByteArray& b) { PutLe32(b, kBiCompression, 1); }) },
        { "two planes", damaged([](QByteArray& b) { PutLe16(b, kBiPlanes, 2); }) },
    };
    CDib dib;
    for (const auto& [what, bytes] : cases) {
        ASSERT_TRUE(dib.LoadFromFileImage(good)) << what;
        EXPECT_FALSE(dib.LoadFromFileImage(bytes)) << what;
        EXPECT_TRUE(dib.IsEmpty() && dib.GetSize().isNull() && dib.GetImage().isNull()) << what;
        EXPECT_EQ(dib.GetPixelIndex(0, 0), 0) << what;
    }
    // Every truncation of a good file fails cleanly: rows or table past the end.
    for (int n = 0; n < good.size(); ++n)
        EXPECT_FALSE(dib.LoadFromFileImage(good.left(n))) << n;
    // What is left answers nothing and draws nothing.
    EXPECT_TRUE(dib.CreateDeviceImage().isNull());
    QRgb first = 0, second = 0;
    EXPECT_FALSE(dib.GetMonoColors(first, second));
    EXPECT_FALSE(dib.LoadFromResource(QString()) || dib.LoadFromResource(99999u));
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter p(&target);
    EXPECT_FALSE(dib.Draw(p, 0, 0) || dib.StretchDraw(p, 0, 0, 4, 4));
}

QByteArray Stored(CDib& dib, QDataStream::ByteOrder order = QDataStream::LittleEndian)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream ar(&buffer);
    ar.setByteOrder(order);
    EXPECT_TRUE(dib.Serialize(ar, true));
    EXPECT_EQ(ar.byteOrder(), order); // the caller's stream is left as it was
    return bytes;
}

QDataStream::Status LoadStored(CDib& dib, const QByteArray& bytes, bool expectOk)
{
    QDataStream ar(bytes);
    EXPECT_EQ(dib.Serialize(ar, false), expectOk);
    EXPECT_EQ(dib.IsEmpty(), !expectOk);
    return ar.status();
}

TEST(Dib, StoredFormRoundTripAndDamage)
{
    // Writers often leave bfSize 0; the held block says what it really is.
    QByteArray file = MakeBmp(PatternLayout(4, false));
    PutLe32(file, kBfSize, 0);
    CDib dib;
    ASSERT_TRUE(dib.LoadFromFileImage(file));
    EXPECT_EQ(Le32(dib.GetBlock(), kBfSize), uint32_t(file.size()));
    // "BA", a 32-bit size, the block: little-endian whatever the stream's own order.
    for (auto order : { QDataStream::BigEndian, QDataStream::LittleEndian }) {
        const QByteArray stored = Stored(dib, order);
        EXPECT_EQ(stored.left(2) + stored.mid(6), "BA" + dib.GetBlock());
        EXPECT_EQ(Le32(stored, 2), uint32_t(dib.GetBlock().size()));
        CDib back;
        LoadStored(back, stored, true);
        EXPECT_EQ(back.GetBlock(), dib.GetBlock());
        EXPECT_EQ(back.GetPalette(), dib.GetPalette());
    }
    // An empty object stores a zero size, which reads back as nothing.
    CDib empty, back;
    LoadStored(back, Stored(empty), false);

    const QByteArray good = Stored(dib);
    QByteArray ma = good, huge = good, long_ = good, notBmp = good;
    ma[0] = 'M'; // "MA": a BMP type word backwards
    PutLe32(huge, 2, 0xFFFFFFF0u); // refused before allocating
    PutLe32(long_, 2, uint32_t(good.size() + 100000));
    notBmp[6] = 'X';
    EXPECT_EQ(LoadStored(dib, ma, false), QDataStream::ReadCorruptData);
    EXPECT_EQ(LoadStored(dib, huge, false), QDataStream::ReadCorruptData);
    EXPECT_EQ(LoadStored(dib, long_, false), QDataStream::ReadPastEnd);
    EXPECT_EQ(LoadStored(dib, notBmp, false), QDataStream::ReadCorruptData);
    LoadStored(dib, good.left(5), false);

    // A packed DIB gets the same header as the file it came from; a cut one loads nothing.
    file = MakeBmp(PatternLayout(4, true));
    ASSERT_TRUE(dib.LoadFromPackedDib(file.mid(14)));
    EXPECT_EQ(dib.GetBlock(), file);
    EXPECT_FALSE(dib.LoadFromPackedDib(file.mid(14, 39)));
    EXPECT_TRUE(dib.IsEmpty());
}

TEST(Dib, MonochromeExportKeepsIndicesAndTable)
{
    BmpLayout s;
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
    EXPECT_EQ(mono.colorTable(), QList<QRgb>({ qRgb(0, 0, 0), qRgb(255, 255, 255) }));
    EXPECT_EQ(dib.GetBlock(), blockBefore);

    // Setting the two colours writes blue, green, red, 0 to the block, seen when drawing.
    dib.SetMonoColors(qRgb(10, 20, 30), qRgb(40, 50, 60));
    QRgb first = 0, second = 0;
    ASSERT_TRUE(dib.GetMonoColors(first, second));
    EXPECT_EQ(std::pair(first, second), std::pair(qRgb(10, 20, 30), qRgb(40, 50, 60)));
    EXPECT_EQ(dib.GetBlock().mid(54, 8), QByteArray("\x1e\x14\x0a\x00\x3c\x32\x28\x00", 8));
    EXPECT_EQ(dib.GetImage().pixel(0, 0), qRgb(40, 50, 60));

    // A one-entry table, or another depth: no mono colours to get or set.
    s.table = { qRgb(1, 2, 3) };
    s.clrUsed = 1;
    for (const BmpLayout& other : { s, PatternLayout(8, false) }) {
        ASSERT_TRUE(dib.LoadFromFileImage(MakeBmp(other)));
        EXPECT_FALSE(dib.GetMonoColors(first, second));
        const QByteArray before = dib.GetBlock();
        dib.SetMonoColors(qRgb(9, 9, 9), qRgb(9, 9, 9));
        EXPECT_EQ(dib.GetBlock(), before);
    }
}

} // namespace
