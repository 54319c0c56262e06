#include "about/CVersionInfo.h"

#include "about/AboutTestFiles.h"

#include <QStringList>
#include <QVersionNumber>

#include <gtest/gtest.h>

#include <map>

using namespace AboutTestFiles;

namespace {

const std::map<QString, QString> kStrings = {{"ProductName", "Kelvora"},
                                             {"FileDescription", QString::fromUtf8("Déjà vu")},
                                             {"FileVersion", "1.2.3"}};

// Where the UTF-16 text `key` starts in the block.
qsizetype KeyAt(const QByteArray& block, const QString& key)
{
    return block.indexOf(Utf16(key, false));
}

QString Get(const CVersionInfo& v, const char* key)
{
    QString out = QStringLiteral("untouched");
    return v.GetString(QString::fromLatin1(key), &out) ? out : QStringLiteral("<missing:%1>").arg(out);
}

} // namespace

TEST(CVersionInfo, ReadsFlagsTranslationAndStringsOfThatTranslation)
{
    BlockContents s;
    s.flags = VS_FF_DEBUG | VS_FF_PRERELEASE;
    s.translation = {{0x0407, 0x04e4}};
    s.tables = {{"040904b0", {{"ProductName", "Wrong table"}}}, {"040704e4", kStrings}};
    CVersionInfo v;
    QString out;
    EXPECT_FALSE(v.GetString(QStringLiteral("ProductName"), &out)); // nothing read yet
    ASSERT_TRUE(v.ReadBlock(Block(s)));
    EXPECT_EQ(v.GetFixedFileInfo().dwFileFlags, VS_FF_DEBUG | VS_FF_PRERELEASE);
    EXPECT_EQ(v.GetFixedFileInfo().dwFileVersionLS, 0x30004u);
    EXPECT_EQ(v.GetLanguage(), 0x0407);
    EXPECT_EQ(v.GetCodePage(), 0x04e4);
    EXPECT_EQ(Get(v, "ProductName"), "Kelvora");
    EXPECT_EQ(Get(v, "productname"), "Kelvora"); // keys compare without case
    EXPECT_EQ(Get(v, "FileDescription"), QString::fromUtf8("Déjà vu"));
    EXPECT_EQ(Get(v, "LegalCopyright"), "<missing:>"); // cleared, not left as it was
    EXPECT_EQ(Get(v, ""), "<missing:>");
    EXPECT_FALSE(v.GetString(QStringLiteral("ProductName"), nullptr));

    // No translation: code page 1252, US English.
    BlockContents none;
    none.translation.reset();
    none.tables = {{"040904e4", kStrings}};
    ASSERT_TRUE(v.ReadBlock(Block(none)));
    EXPECT_EQ(v.GetCodePage(), 1252);
    EXPECT_EQ(v.GetLanguage(), 0x0409);
    EXPECT_EQ(Get(v, "FileVersion"), "1.2.3");
}

TEST(CVersionInfo, DamagedBlocksFailOrLoseTheirStrings)
{
    BlockContents s;
    s.tables = {{"040904b0", kStrings}};
    const QByteArray good = Block(s);
    CVersionInfo v;
    ASSERT_TRUE(v.ReadBlock(good));

    // The root's length says more than is there.
    for (qsizetype n = 0; n < good.size(); ++n)
        ASSERT_FALSE(v.ReadBlock(good.left(n))) << n;
    // Trailing bytes past the root do no harm.
    EXPECT_TRUE(v.ReadBlock(good + '\x7f'));

    BlockContents wrong = s;
    wrong.signature = 0xFEEF04BC;
    EXPECT_FALSE(v.ReadBlock(Block(wrong)));

    // A node header is 6 bytes before its key: damage one node at a time.
    const qsizetype product = KeyAt(good, "ProductName") - 6;
    const qsizetype table = KeyAt(good, "040904b0") - 6;
    const qsizetype version = KeyAt(good, "FileVersion") - 6;
    const qsizetype versionEnd = version + uint8_t(good[version]) - 2; // its value's terminator
    struct Damage {
        const char* what;
        qsizetype at;
        uint16_t word;
        QStringList lost;
    } damages[] = {
        {"zero-length string", product, 0, {"ProductName"}},
        {"string past its table", product, 0xFFF0, {"ProductName"}},
        {"zero-length table", table, 0, {"ProductName", "FileDescription", "FileVersion"}},
        {"odd table length", table, 7, {"ProductName", "FileDescription", "FileVersion"}},
        {"unknown node type", product + 4, 9, {"ProductName"}},
        // Texts without their terminator.
        {"key ending inside its node", product, 6 + 8, {"ProductName"}},
        {"value without its terminator", versionEnd, 'x', {"FileVersion"}},
    };
    for (const Damage& d : damages) {
        QByteArray b = good;
        Put16(b, d.at, d.word);
        ASSERT_TRUE(v.ReadBlock(b)) << d.what;
        for (const auto& [key, value] : kStrings)
            EXPECT_EQ(Get(v, key.toLatin1().constData()), d.lost.contains(key) ? "<missing:>" : value) << d.what;
    }

    // Every word set to a hostile value: under the sanitizers this proves no
    // read leaves the block, whatever the read and lookups answer.
    for (qsizetype at = 0; at + 1 < good.size(); at += 2) {
        for (uint16_t word : {0, 1, 6, 0x8000, 0xFFFF}) {
            QByteArray b = good;
            Put16(b, at, word);
            v.ReadBlock(b);
            for (const auto& kv : kStrings)
                (void)Get(v, kv.first.toLatin1().constData());
        }
    }
}

TEST(CVersionInfo, ReadsTheBlockTheBuildMade)
{
    const QVersionNumber project = QVersionNumber::fromString(QStringLiteral(PROJECT_VERSION));
    for (const QString& file : {QString(), QStringLiteral(KELVORA_EXE)}) {
        CVersionInfo v;
        ASSERT_TRUE(v.Read(file)) << qPrintable(file);
        const VS_FIXEDFILEINFO& f = v.GetFixedFileInfo();
        EXPECT_EQ(f.dwFileVersionMS, uint32_t(project.majorVersion() << 16 | project.minorVersion()));
        EXPECT_EQ(f.dwFileVersionLS >> 16, uint32_t(project.microVersion()));
        EXPECT_EQ(bool(f.dwFileFlags & VS_FF_DEBUG), bool(KELVORA_EXPECT_DEBUG_FLAG));
        EXPECT_EQ(v.GetLanguage(), 0x0409);
        EXPECT_EQ(v.GetCodePage(), 0x04b0);
        EXPECT_EQ(Get(v, "ProductName"), "Kelvora");
        EXPECT_EQ(Get(v, "CompanyName"), "Morvessa");
        EXPECT_TRUE(Get(v, "LegalCopyright").contains("Morvessa"));
        EXPECT_FALSE(Get(v, "Comments").startsWith("<missing"));
        const QString version = Get(v, "FileVersion");
        EXPECT_TRUE(version.startsWith(QStringLiteral(PROJECT_VERSION))) << qPrintable(version);
        // A build that is not exactly the release names its git description
        // and is a prerelease.
        if (KELVORA_PRERELEASE_AUTO) {
            EXPECT_EQ(bool(f.dwFileFlags & VS_FF_PRERELEASE), version.contains("(git ")) << qPrintable(version);
        }
    }

    // A failed read leaves nothing of the last one behind.
    CVersionInfo v;
    ASSERT_TRUE(v.Read(QString()));
    EXPECT_FALSE(v.Read(QStringLiteral("/no/such/file")));
    EXPECT_EQ(Get(v, "ProductName"), "<missing:>");
    EXPECT_EQ(v.GetFixedFileInfo().dwSignature, 0u);
}
