// The committed artwork: it is exactly what the generator makes today, and
// every file has the size and form the program relies on.
#include "res/artgen/ArtGen.h"

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
        {{166, 167, 168, 169, 170, 171, 172, 173, 174}, {280, 240}},
        {{149, 150, 151, 152, 153, 154, 155, 156, 157}, {560, 480}},
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
    for (unsigned id = 149; id <= 174; ++id) {
        if (id > 157 && id < 166)
            continue;
        const QByteArray bmp = Resource(QStringLiteral("%1.bmp").arg(id));
        EXPECT_EQ(bmp.mid(54, 1024), table) << id;
        pictures.insert(bmp.mid(54 + 1024));
    }
    EXPECT_EQ(pictures.size(), 18u);

    // The hand of a higher degree sits higher: the topmost skin-coloured row
    // rises from do to high do.
    auto topOfHand = [](unsigned id) {
        const QImage image = QImage::fromData(Resource(QStringLiteral("%1.bmp").arg(id)), "BMP");
        for (int y = 0; y < image.height(); ++y)
            for (int x = 40; x < image.width() - 80; ++x) { // clear of the ladder and the syllable
                const QRgb c = image.pixel(x, y);
                if (qRed(c) > 220 && qGreen(c) > 160 && qGreen(c) < 210 && qBlue(c) < 170)
                    return y;
            }
        return image.height();
    };
    for (auto [higher, lower] : {std::pair{173u, 170u}, {170u, 168u}, {168u, 166u}}) // high do, so, mi, do
        EXPECT_LT(topOfHand(higher), topOfHand(lower)) << higher;
    EXPECT_EQ(topOfHand(174), 240); // the blank picture has no hand
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
