// The committed artwork: it is exactly what the generator makes today, and
// every file has the size and form the program relies on.
#include "res/artgen/ArtGen.h"
#include "res/artgen/ScaledArt.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <set>
#include <tuple>

// The artwork is compiled into the static res library; referencing its
// registration function is what links it in.
static void RegisterArtwork()
{
    Q_INIT_RESOURCE(artwork);
}

namespace {

QByteArray Resource(const QString& name)
{
    QFile file(QStringLiteral(":/res/bitmaps/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

uint32_t Le32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
uint16_t Le16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

class Artwork : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { RegisterArtwork(); }
};

TEST_F(Artwork, CommittedFilesAreWhatTheGeneratorMakes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    ASSERT_TRUE(artgen::WriteAllArtwork(dir.path(), &error)) << error.toStdString();

    const QStringList generated = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    const QStringList committed = QDir(QStringLiteral(":/res/bitmaps")).entryList(QDir::Files, QDir::Name);
    // Regenerate with `ninja artwork` and list new files in artwork.qrc.
    EXPECT_EQ(generated, committed);
    for (const QString& name : generated) {
        QFile file(QDir(dir.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == Resource(name)) << name.toStdString() << " differs from a fresh run";
    }
}

TEST_F(Artwork, BitmapsAreEightBitBottomUpWithAFullTable)
{
    // The keyboard sets at both scales (picture and hit map, the white and
    // black keys with the white key's neighbour variants), then the hand signs.
    const struct {
        std::vector<unsigned> ids;
        QSize size;
    } sets[] = {
        {{301, 302}, {174, 124}}, {{303, 304, 352, 353, 354}, {22, 44}}, {{305, 306}, {12, 68}},
        {{307, 308}, {348, 248}}, {{309, 310, 348, 349, 350}, {44, 88}}, {{311, 312}, {24, 136}},
        {{166, 167, 168, 169, 170, 171, 172, 173, 174, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189}, {280, 240}},
        {{149, 150, 151, 152, 153, 154, 155, 156, 157, 190, 191, 192, 193, 194, 195, 196, 197, 198, 199}, {560, 480}},
    };
    for (const auto& set : sets)
        for (unsigned id : set.ids) {
            const QByteArray bmp = Resource(QStringLiteral("%1.bmp").arg(id));
            ASSERT_GE(bmp.size(), 54 + 1024) << id;
            // "BM", width, height (positive: bottom-up), 8 bits, uncompressed,
            // the pixels after a full table, and nothing after them.
            const int w = set.size.width(), h = set.size.height();
            EXPECT_EQ(std::tuple(bmp.left(2), Le32(bmp, 18), Le32(bmp, 22), Le16(bmp, 28), Le32(bmp, 30), Le32(bmp, 10)),
                      std::tuple(QByteArray("BM"), uint32_t(w), uint32_t(h), uint16_t(8), 0u, 54u + 1024u)) << id;
            EXPECT_EQ(bmp.size(), 54 + 1024 + ((w + 3) & ~3) * h) << id;
        }
}

TEST_F(Artwork, HandSignsShareOnePaletteAndDifferFromEachOther)
{
    const QByteArray table = Resource(QStringLiteral("174.bmp")).mid(54, 1024);
    std::set<QByteArray> pictures;
    for (unsigned id = 149; id <= 199; ++id) {
        if ((id > 157 && id < 166) || (id > 174 && id < 180))
            continue;
        const QByteArray bmp = Resource(QStringLiteral("%1.bmp").arg(id));
        EXPECT_EQ(bmp.mid(54, 1024), table) << id;
        pictures.insert(bmp.mid(54 + 1024));
    }
    EXPECT_EQ(pictures.size(), 38u);

    // The height alone tells the order: the mean row of the skin-coloured
    // pixels (hand and bare wrist, clear of the ladder and the syllable)
    // rises at every step of do di/ra re ri/me mi fa fi/se so si/le la li/te
    // ti do', by a clear margin, at both sizes.
    auto skinRow = [](unsigned id) {
        const QImage image = QImage::fromData(Resource(QStringLiteral("%1.bmp").arg(id)), "BMP");
        double sum = 0, count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() * 6 / 7; ++x) {
                const QRgb c = image.pixel(x, y);
                if (qRed(c) > 200 && qRed(c) > qGreen(c) + 25 && qGreen(c) > qBlue(c) + 20 && qBlue(c) > 80)
                    sum += y, ++count; // skin, lit or shaded
            }
        return count ? sum / count / image.height() : 1.0;
    };
    const std::vector<std::vector<unsigned>> ladder = {
        { 166 }, { 180, 185 }, { 167 }, { 181, 186 }, { 168 }, { 169 }, { 182, 187 }, { 170 },
        { 183, 188 }, { 171 }, { 184, 189 }, { 172 }, { 173 },
    };
    for (unsigned large : { 0u, 1u }) {
        auto id = [&](unsigned normal) { return large ? normal < 180 ? normal - 16 : normal + 10 : normal; };
        for (size_t i = 1; i < ladder.size(); ++i)
            for (unsigned lower : ladder[i - 1])
                for (unsigned higher : ladder[i])
                    EXPECT_LT(skinRow(id(higher)), skinRow(id(lower)) - 0.012) << id(higher) << " over " << id(lower);
    }
    EXPECT_EQ(skinRow(174), 1.0); // the blank picture has no hand
}

// The pictures drawn at run time: scales 1 and 2 are the committed files, and
// a larger scale is the same design at that size, down to the hit map's key
// areas (index 13 + k).
TEST_F(Artwork, PicturesAtAnyScale)
{
    const unsigned signIds[] = { 174, 166, 167, 168, 169, 170, 171, 172, 173, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189 };
    const unsigned keyboardIds[] = { 301, 302, 303, 304, 352, 353, 354, 305, 306 };
    for (int scale : { 1, 2 }) {
        for (int sign = 0; sign < 19; ++sign) {
            const unsigned id = scale == 1 ? signIds[sign] : sign == 0 ? 149 : signIds[sign] < 180 ? signIds[sign] - 16 : signIds[sign] + 10;
            EXPECT_TRUE(artgen::HandSignBitmapAt(sign, scale) == Resource(QStringLiteral("%1.bmp").arg(id))) << sign;
        }
        const std::vector<QByteArray> keyboard = artgen::KeyboardBitmapsAt(scale);
        ASSERT_EQ(keyboard.size(), 9u);
        const unsigned largeIds[] = { 307, 308, 309, 310, 348, 349, 350, 311, 312 };
        for (size_t i = 0; i < 9; ++i)
            EXPECT_TRUE(keyboard[i] == Resource(QStringLiteral("%1.bmp").arg(scale == 1 ? keyboardIds[i] : largeIds[i]))) << i;
    }
    EXPECT_TRUE(artgen::HandSignBitmapAt(19, 1).isEmpty() && artgen::KeyboardBitmapsAt(artgen::kMaxArtScale + 1).empty());

    const std::vector<QByteArray> keyboard = artgen::KeyboardBitmapsAt(3);
    ASSERT_EQ(keyboard.size(), 9u);
    const QSize sizes[] = { { 174, 124 }, { 174, 124 }, { 22, 44 }, { 22, 44 }, { 22, 44 }, { 22, 44 }, { 22, 44 }, { 12, 68 }, { 12, 68 } };
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(QImage::fromData(keyboard[i], "BMP").size(), sizes[i] * 3) << i;
    EXPECT_EQ(QImage::fromData(artgen::HandSignBitmapAt(14, 3), "BMP").size(), QSize(840, 720));
    // Each key's corners and middle (its narrow strip for a white key), and
    // just outside the keyboard.
    const QImage map = QImage::fromData(keyboard[1], "BMP");
    const struct { int index, left, top, right, bottom; } keys[] = {
        { 13, 6, 6, 19, 117 }, { 14, 20, 2, 31, 69 }, { 16, 40, 2, 51, 69 }, { 17, 52, 6, 65, 117 },
        { 18, 66, 6, 79, 117 }, { 22, 106, 71, 125, 117 }, { 23, 120, 2, 131, 69 }, { 25, 146, 6, 167, 117 },
    };
    for (const auto& k : keys)
        for (QPoint p : { QPoint(k.left, k.top), QPoint(k.right, k.bottom), QPoint((k.left + k.right) / 2, (k.top + k.bottom) / 2) }) {
            EXPECT_EQ(map.pixelIndex(p * 3), k.index) << k.index;
            EXPECT_EQ(map.pixelIndex(p * 3 + QPoint(2, 2)), k.index) << k.index;
        }
    EXPECT_EQ(map.pixelIndex(5 * 3 + 2, 60 * 3), 0);
    EXPECT_EQ(map.pixelIndex(168 * 3, 60 * 3), 0);
}

// The program's icon is read, and compared with its PNGs, in
// tests/about/CIconPictureTest.cpp.
TEST_F(Artwork, ToolbarAndCursorPictures)
{
    const auto png = [](const QString& name) { return QImage::fromData(Resource(name + ".png"), "PNG"); };
    for (const char* name : { "new", "save", "print", "cut", "copy", "paste", "midi-input", "keyboard",
                              "hand-sign", "about" }) {
        const QImage image = png(QStringLiteral("toolbar-") + name);
        ASSERT_EQ(image.size(), QSize(16, 15)) << name;
        int clear = 0;
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 16; ++x)
                clear += qAlpha(image.pixel(x, y)) == 0;
        EXPECT_GT(clear, 0) << name << ": the toolbar's own colour shows around the picture";
    }

    // The large pointer: its hot spot, the tip, is pixel (0, 0); the rest of
    // the top row and left column beyond the outline is clear.
    for (int size : { 32, 64 }) {
        const QImage cursor = png(QStringLiteral("178-%1").arg(size));
        ASSERT_EQ(cursor.size(), QSize(size, size));
        EXPECT_GT(qAlpha(cursor.pixel(0, 0)), 64);
        EXPECT_EQ(qAlpha(cursor.pixel(size / 8, 0)), 0);
        EXPECT_EQ(qAlpha(cursor.pixel(size - 1, size - 1)), 0);
        EXPECT_EQ(cursor.pixel(size / 8, size / 3), qRgba(255, 255, 255, 255)); // white inside
    }
}

} // namespace
